// The X11 driver's connection, for the parts of the layer that draw with X
// (GLX contexts, Xft text, XRandR modes). Everything else goes through the
// LayerDriver table.
#pragma once

#include <windows.h>
#include <X11/Xlib.h>
#include <GL/glx.h>

// The one display connection; null until the driver is open.
Display* x11_display();
int x11_screen();

// The frame-buffer configuration that a CS_OWNDC window was created with
// (its visual can't change later); null for other windows.
GLXFBConfig x11_window_fbconfig(HWND window);

// Calls that may fail (on handles that may name no window, or that the
// server may refuse): from x11_expect_error on, X errors on that connection
// are caught instead of reported. x11_check_error waits until the server
// has answered every request since and returns the first error's code (0:
// none), ending the innermost expectation; those around it catch the
// errors inside it too. No error is ever fatal: one not expected is
// reported on stderr and the run goes on.
void x11_expect_error(Display* display);
int x11_check_error();
