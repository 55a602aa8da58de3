// Shared by the X11 driver's own files only. What each file gives the
// others: x11_driver.cpp the connection, its atoms and its error policy;
// x11_windows.cpp the window records, the program's windows and other
// processes' windows; x11_focus.cpp focus, grabs and the cursor;
// x11_events.cpp the event translation;
// x11_glx.cpp the configuration of GL windows and the picture of a window
// spread over the monitors; x11_monitors.cpp the monitors; the other files
// their capability tables.
#pragma once

#include "layer_driver.h"
#include "x11/x11.h"

#include <X11/Xft/Xft.h>

#include <vector>

// ---- x11_driver.cpp: the connection and its error policy ----
struct X11Atoms {
    Atom wm_protocols, wm_delete_window, wm_state;
    Atom net_wm_name, utf8_string, net_wm_pid, net_active_window;
    Atom net_wm_state, net_wm_state_above, motif_wm_hints;
    Atom win32_class;    // the Win32 class name, which FindWindowA matches
    Atom win32_message;  // a message posted from another process
};
extern X11Atoms x11_atoms;
// First event number of XRandR; -1 when the server has no XRandR.
extern int x11_randr_event_base;

Window x11_root();

// Whether an X error is one of ours failing because another client
// destroyed the window (with the window it gave us to draw in): what its
// DestroyNotify will say, not a fault of ours.
bool x11_is_window_gone_error(Window id, int code);

// Ends the process as a lost connection does when the server has gone
// (a call that failed may be why); returns when it is still there.
void x11_check_connection();

// ---- x11_monitors.cpp: monitors ----
struct X11Monitor {
    int x, y, width, height;  // on the X screen
    bool primary;
    std::vector<XID> outputs;  // the RandR outputs that show it, when RandR says
};
// The monitors, the primary first; never empty (the X screen at least).
const std::vector<X11Monitor>& x11_monitors();
// The screen's layout changed: the list is read again at its next use.
void x11_forget_monitors();
// The monitors as the server lists them, made fit to show a picture each:
// none empty, none twice, none that holds others whole; the primary first
// (the first one when none is).
std::vector<X11Monitor> x11_tidy_monitors(const std::vector<X11Monitor>& found);

// ---- x11_windows.cpp: windows ----
// What the driver remembers of each window it made.
struct X11Window {
    Window id;
    // The top-level topmost popup that covers the primary monitor: its
    // native window covers the whole X screen, every monitor.
    bool saver;
    // A GL window filling a saver window on several monitors: its native
    // window covers the screen too, and the program draws into a picture of
    // the window's size that each monitor shows (x11_glx.cpp).
    bool spread;
    bool cursor_hidden;
    Colormap colormap;  // own colormap of a GLX visual, else None
    GLXFBConfig fbconfig;
    int native_width, native_height;  // of a saver or spread window: the screen's
};
X11Window* x11_find_window(Window id);
// The size the core gives a window of ours, at least 1 x 1 as X has no
// empty windows: what its native window is when nothing else decides.
struct X11Size {
    int width, height;
};
X11Size x11_core_size(Window id);
// The records of the windows that are there now.
std::vector<X11Window>& x11_windows();
// Whether this connection made the window, also when it is gone since.
bool x11_made_window(Window id);

// A saver window keeps itself above all others and holds the keyboard;
// while a message box is up it stands aside. x11_stand_aside is false for a
// window that is not an own saver window (nothing changes then);
// x11_come_back makes a window that stood aside a saver window again.
bool x11_stand_aside(Window id);
void x11_come_back(Window id);

// The top-level window (own, or a client of the window manager) that
// contains id.
Window x11_toplevel_of(Window id);

// Drops the record of a window that is gone; x11_forget_windows drops
// them all as the connection closes.
void x11_forget_window(Window id);
void x11_forget_windows();

HWND x11_create_window(const LayerWindowDesc* desc);
void x11_destroy_window(HWND window);
void x11_set_title(HWND window, const char* title);
void x11_show_window(HWND window, bool visible);
void x11_set_window_rect(HWND window, int x, int y, int width, int height);

// The X screen changed its size: saver and spread windows follow it.
void x11_follow_screen_size();

// Tells the window manager that the window is a dialog of a fixed size,
// kept above its owner's top-level window when it has one.
void x11_set_dialog_hints(Window window, HWND owner);

// ---- x11_focus.cpp: focus, grabs and cursor ----
void x11_set_foreground(HWND window);
HWND x11_get_foreground();
// The invisible cursor that hidden windows show, made as the connection
// opens and freed as it closes.
void x11_make_blank_cursor();
void x11_free_blank_cursor();

// ---- x11_events.cpp: input ----
bool x11_process_events(int timeout_ms);
// The application's activation as the driver last reported it.
extern bool x11_app_active;

// ---- x11_glx.cpp: GL windows ----
// A frame-buffer configuration for a window that will hold an OpenGL
// context; null when the server has none.
GLXFBConfig x11_choose_window_config();
// The core gave a spread window a new size: its picture takes it.
void x11_resize_picture(Window window);

// ---- x11_display_mode.cpp: display modes ----
// A CRTC that shows something: where on the screen, through which outputs.
struct X11Crtc {
    XID id;
    int x, y, width, height;
    std::vector<XID> outputs;
};
// Which of the CRTCs shows the primary monitor alone, through an output of
// the monitor's own where RandR names them: the one whose mode the
// display-mode switch changes. -1 for none.
int x11_primary_crtc(const X11Monitor& primary, const std::vector<X11Crtc>& crtcs);

// The driver's capability tables (layer_driver.h), which its table points at.
const LayerCursorDriver* x11_cursor_driver();
const LayerForeignDriver* x11_foreign_driver();
const LayerGlDriver* x11_gl_driver();
const LayerModeDriver* x11_mode_driver();
const LayerMessageBoxDriver* x11_message_box_driver();
const LayerDialogDriver* x11_dialog_driver();

// Draws the frame rate into the back buffer of a window whose context is
// current (--fps); called just before each of its buffer swaps.
void x11_draw_fps(Window window, int width, int height);
