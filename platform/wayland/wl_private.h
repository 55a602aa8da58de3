// Shared by the Wayland driver's own files only: the driver's state, one
// record, and what each file gives the others. wl_driver.cpp keeps the
// record, the connection, the registry, the program's full-screen windows
// and the driver table; wl_outputs.cpp the outputs and the display modes
// they give; wl_seats.cpp the seats and their input; wl_surfaces.cpp the
// surfaces that show a full-screen window and their roles; wl_egl.cpp the
// GL table.
//
// A full-screen window of the program (the saver's, or a window inside the
// whole-desktop host of a lock program) is shown on every output through a
// surface of its own per output. The program draws one picture: it goes to
// the surface with the most pixels, whose size in pixels is the window's
// size, and each other output gets a copy of that frame cropped to its
// proportions, so no output shows the desktop or a stretched picture and
// the program needs to know of only one window.
//
// Surfaces are drawn at their output's real pixel size: the compositor's
// sizes are logical, and a surface on a scaled output gets a buffer of
// logical size x scale (an integer buffer scale, or a fractional scale
// shown through a viewport where the compositor offers both).
#pragma once

#include <windows.h>

#include "layer_driver.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <wayland-client.h>
#include <wayland-egl.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <string>
#include <vector>

// The buffer a surface is drawn in and how it is shown: width x height
// pixels, with that integer buffer scale, or at scale 1 through a viewport
// whose destination is the logical size.
struct WlBufferPlan {
    int width, height;
    int scale;
    bool viewport;
    bool operator==(const WlBufferPlan& other) const {
        return width == other.width && height == other.height && scale == other.scale && viewport == other.viewport;
    }
};

// The buffer for a logical width x height surface on an output of that
// integer scale; fraction is the compositor's preferred scale in 120ths
// where it tells one (and a viewport can show it), else 0.
WlBufferPlan wayland_plan_buffer(int width, int height, int output_scale, int fraction);

struct WlSurface {
    struct WlOutput* output;
    wl_surface* surface;
    struct zwlr_layer_surface_v1* layer;  // with layer-shell
    struct xdg_surface* xdg;              // without it: a fullscreen toplevel
    struct xdg_toplevel* toplevel;
    wl_egl_window* egl_window;
    EGLSurface egl_surface;
    int width, height;                          // logical, as the compositor configured it; 0 before
    struct wp_fractional_scale_v1* fractional;  // where the compositor offers it
    struct wp_viewport* viewport;
    int fraction;         // the preferred scale in 120ths; 0 until told
    WlBufferPlan buffer;  // as applied; 0 x 0 before
    wl_callback* frame;   // the frame callback awaited; null when a frame may go
    bool closed;          // the compositor took it away
    bool activated;       // a toplevel's state: it has the keyboard
    bool unpaced;         // its swaps no longer wait for the compositor
    // A configure is acknowledged with the commit of the first buffer drawn
    // at its size, never before: the compositor takes the buffer committed
    // next as the answer to it, and places one of the old size as it would
    // a window that does not fill its output (off-centre, for good).
    uint32_t configure_serial;  // the last configure's, its size not applied yet
    bool configure_pending;
    uint32_t ack_serial;  // the applied one's: the next commit acknowledges it
    bool ack_due;
};

struct WlOutput {
    uint32_t global;
    wl_output* output;
    std::string name;
    int width, height;   // current mode, in pixels
    int scale;           // of its logical size; 1 until told
    bool done;           // the compositor has told its mode and name
    WlSurface* surface;  // the full-screen window's, when one shows
};

// A full-screen window of the program and the surfaces that show it. The
// core keeps the rest of every window (the tree, places, sizes, and what
// is under the pointer): the driver asks it.
struct WlWindow {
    HWND handle;
    bool visible;  // its surfaces follow the outputs
    std::vector<std::unique_ptr<WlSurface>> surfaces;
};

// A seat of the compositor's, with the keyboard and pointer it has now.
// Every seat is bound: input from any of them is the user's.
struct WlSeat {
    uint32_t global;
    wl_seat* seat;
    wl_keyboard* keyboard;
    xkb_keymap* keymap;
    xkb_state* key_state;
    HWND keyboard_window;  // the window whose surface has this keyboard
    wl_pointer* pointer;
    wl_surface* pointer_surface;
    wl_fixed_t pointer_x, pointer_y;
    unsigned buttons_held;  // as layer_button_bit masks
};

// EGL on the compositor's connection (wl_egl.cpp): made at the program's
// first GL call, kept for the process.
struct WlEgl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config;
    PIXELFORMATDESCRIPTOR format;  // the one pixel format, as the core describes it
    bool failed;                   // said once: the program asks again with each call of its GL setup
    EGLContext current_context = EGL_NO_CONTEXT;
    HWND current_window;
    std::vector<EGLContext> placed_contexts;  // those that have been current with a surface
    // glBlitFramebuffer, which copies the picture to the other outputs; null
    // where the GL has none.
    void (*blit_framebuffer)(GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLbitfield, GLenum);
};

struct WlState {
    wl_display* display;          // null until the driver is open
    std::string compositor_name;  // "the Wayland compositor ...", for error lines
    wl_registry* registry;
    wl_compositor* compositor;
    struct zwlr_layer_shell_v1* layer_shell;
    struct xdg_wm_base* wm_base;
    struct wp_viewporter* viewporter;
    struct wp_fractional_scale_manager_v1* fractional_scale_manager;
    std::vector<std::unique_ptr<WlOutput>> outputs;
    // A lock program that runs the saver as its background hands over a
    // connection of its own in WAYLAND_SOCKET, may name the one output to
    // draw on, and keeps the seats: the run takes no input, and the
    // connection closing is its end.
    bool handed_over;
    std::string only_output;  // SWAYLOCK_PLUGIN_OUTPUT_NAME; empty for all
    bool connection_gone;
    std::vector<WlWindow> full_screen_windows;
    uintptr_t next_handle = 0x20000;  // the driver's own window handles

    std::vector<std::unique_ptr<WlSeat>> seats;
    xkb_context* xkb;

    // The pointer moves by what the compositor reports within a surface;
    // where it enters a surface is not a move (Wayland tells no position on
    // the desktop), so the position starts at the screen's centre and
    // follows the motions of every seat's pointer.
    POINT cursor;

    bool app_active;
    bool toplevel_activated;  // a fullscreen toplevel of ours has been active

    WlEgl egl;
};
extern WlState wayland_state;

// ---- wl_driver.cpp: the program's full-screen windows ----
// The record of a full-screen window; null for any other handle.
WlWindow* wayland_find_window(HWND handle);
// The window that a surface of ours shows; null for a surface not ours.
WlWindow* wayland_window_of_surface(wl_surface* surface);

// The connection; null until the driver is open.
wl_display* wayland_driver_display();

// Waits until the compositor has answered what it was asked so far; false
// when the connection broke (the next event pump deals with that). A
// compositor that does not answer within a bound ends the process with exit
// code 1 and one line naming it and the step (asked "for its globals").
bool wayland_roundtrip(const char* step);
// The connection broke where the run cannot go on: one line naming the
// compositor, and the process ends with exit code 1; a connection a lock
// program handed over ends its run quietly, with 0.
[[noreturn]] void wayland_connection_lost();

// Reads and dispatches what the compositor sent, waiting up to timeout_ms;
// false when the connection broke (the next event pump deals with that).
// Surfaces may go meanwhile, but no window of the program does.
bool wayland_read_events(int timeout_ms);

// ---- wl_outputs.cpp: outputs and display modes ----
void wayland_output_added(uint32_t global, uint32_t version);
// Drops the output of that global and the surfaces on it; false when the
// global is not an output.
bool wayland_output_removed(uint32_t global);
// Whether the picture goes to this output.
bool wayland_shows_on(const WlOutput& output);
// The largest output's size, or a size the program can draw at before any.
void wayland_largest_output_size(int* width, int* height);
const LayerModeDriver* wayland_mode_driver();

// ---- wl_seats.cpp: the seats and their input ----
void wayland_seat_added(uint32_t global, uint32_t version);
// Drops the seat of that global; false when the global is not a seat.
bool wayland_seat_removed(uint32_t global);
// The window whose surface has a seat's keyboard; null for none.
HWND wayland_keyboard_window();
// The window goes: no keyboard is on it.
void wayland_seats_forget_window(HWND window);
const LayerCursorDriver* wayland_cursor_driver();

// ---- wl_surfaces.cpp: the surfaces of full-screen windows ----
// Shows the window on every output that takes the picture, or hides it.
void wayland_show_everywhere(WlWindow* window);
void wayland_hide(WlWindow* window);
// After the compositor's events: shows the full-screen windows on outputs
// that came, drops the surfaces it closed, gives the others the buffers
// their sizes and scales now call for (between frames, never while a frame
// drawn at the old size waits to be shown), tells the core the sizes and
// follows the toplevels' activation.
void wayland_follow_surfaces();
// The output goes: so do the surfaces on it.
void wayland_output_surfaces_gone(WlOutput* output);
// Just before a commit of the surface's buffer: acknowledges the configure
// whose size the buffer was drawn at, if that is still to be done.
void wayland_acknowledge_configure(WlSurface* surface);
// Pixels of a surface of ours per logical unit (the compositor's pointer
// positions); 1 for any other.
double wayland_pixels_per_unit(wl_surface* surface);

// The surface a window draws into (that of its full-screen ancestor with the
// most pixels), and the others that show the same picture; null/empty
// when it shows on no output yet.
WlSurface* wayland_primary_surface(HWND window);
std::vector<WlSurface*> wayland_other_surfaces(HWND window);

// ---- wl_egl.cpp: the GL table ----
// EGL on the Wayland platform.
const LayerGlDriver* wayland_gl_driver();

// A surface's buffer was planned (make or resize its EGL window at that
// size), or the surface goes (drop it, and whatever was current on it).
void wayland_egl_surface_configured(WlSurface* surface);
void wayland_egl_surface_gone(WlSurface* surface);
