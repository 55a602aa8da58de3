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

// Runs calls on handles that may name no window: while a trap is set, X
// errors are recorded instead of reported. x11_untrap_errors syncs and
// returns the error code caught (0: none).
void x11_trap_errors();
int x11_untrap_errors();
