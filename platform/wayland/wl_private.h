// Shared by the Wayland driver's own files: the connection, the outputs and
// the surfaces that show a full-screen window on them.
//
// A full-screen window of the program (the saver's, or a window inside the
// whole-desktop host of a lock program) is shown on every output through a
// surface of its own per output. The program draws one picture: it goes to
// the largest output's surface, whose size is the window's size, and each
// other output gets a scaled copy of that frame, so no output shows the
// desktop and the program needs to know of only one window.
#pragma once

#include <windows.h>

#include "layer_driver.h"

#include <EGL/egl.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <string>
#include <vector>

struct WlSurface {
    struct WlOutput* output;
    wl_surface* surface;
    struct zwlr_layer_surface_v1* layer;  // with layer-shell
    struct xdg_surface* xdg;              // without it: a fullscreen toplevel
    struct xdg_toplevel* toplevel;
    wl_egl_window* egl_window;
    EGLSurface egl_surface;
    int width, height;   // as the compositor configured it; 0 before
    wl_callback* frame;  // the frame callback awaited; null when a frame may go
    bool closed;         // the compositor took it away
    bool activated;      // a toplevel's state: it has the keyboard
    bool unpaced;        // its swaps no longer wait for the compositor
};

struct WlOutput {
    uint32_t global;
    wl_output* output;
    std::string name;
    int width, height;   // current mode
    bool done;           // the compositor has told its mode and name
    WlSurface* surface;  // the full-screen window's, when one shows
};

// The driver's GL table: EGL on the Wayland platform.
const LayerGlDriver* wl_gl_driver();

// The connection; null until the driver is open.
wl_display* wl_driver_display();

// Reads and dispatches what the compositor sent, waiting up to timeout_ms;
// false when the connection broke (the next event pump deals with that).
// Surfaces may go meanwhile, but no window of the program does.
bool wl_read_events(int timeout_ms);

// The surface a window draws into (that of its full-screen ancestor on the
// largest output), and the others that show the same picture; null/empty
// when it shows on no output yet.
WlSurface* wl_primary_surface(HWND window);
std::vector<WlSurface*> wl_other_surfaces(HWND window);

// The EGL side: a surface was configured (make or resize its EGL surface),
// or goes (drop it, and whatever was current on it).
void wl_egl_surface_configured(WlSurface* surface);
void wl_egl_surface_gone(WlSurface* surface);
