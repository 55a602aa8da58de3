// Shared by the X11 driver's own files only: the atoms, the window records,
// the key translation and the event translation.
#pragma once

#include "layer_driver.h"
#include "x11/x11.h"

#include <X11/Xft/Xft.h>

struct X11Atoms {
    Atom wm_protocols, wm_delete_window, wm_state;
    Atom net_wm_name, utf8_string, net_wm_pid, net_active_window;
    Atom net_wm_state, net_wm_state_above, motif_wm_hints;
    Atom win32_class;    // the Win32 class name, which FindWindowA matches
    Atom win32_message;  // a message posted from another process
};
extern X11Atoms x11_atoms;

// What the driver remembers of each window it made.
struct X11Window {
    Window id;
    bool saver;  // top-level topmost popup covering the screen
    bool cursor_hidden;
    Colormap colormap;  // own colormap of a GLX visual, else None
    GLXFBConfig fbconfig;
    int width, height;  // last size the core knows of
};
X11Window* x11_find_window(Window id);

// The top-level window (own, or a client of the window manager) that
// contains id.
Window x11_toplevel_of(Window id);

// Drops the record of a window that is gone.
void x11_forget_window(Window id);

// Whether an X error is one of ours failing because another client
// destroyed the window (with the window it gave us to draw in): what its
// DestroyNotify will say, not a fault of ours.
bool x11_is_window_gone_error(Window id, int code);

// Keyboard: Windows virtual-key code of a keysym (0xFF when there is none,
// as Windows reports keys without a code), and the PC scan code of an X
// key code with whether it is an extended key.
UINT x11_vk_from_keysym(KeySym keysym);
UINT x11_scan_from_keycode(unsigned keycode, bool* extended);

bool x11_process_events(int timeout_ms);
// The driver's capability tables (layer_driver.h), which its table points at.
const LayerGlDriver* x11_gl_driver();
const LayerModeDriver* x11_mode_driver();
const LayerMessageBoxDriver* x11_message_box_driver();
const LayerDialogDriver* x11_dialog_driver();
// First event number of XRandR; -1 when the server has no XRandR.
extern int x11_randr_event_base;
// The application's activation as the driver last reported it.
extern bool x11_app_active;

// Tells the window manager that the window is a dialog of a fixed size,
// kept above its owner's top-level window when it has one.
void x11_set_dialog_hints(Window window, HWND owner);

// An opaque Xft colour of the default visual from 0xRRGGBB, for the
// windows the layer draws itself (message boxes, dialogs).
XftColor x11_colour(unsigned rgb);

// Draws the frame rate into the back buffer of a window whose context is
// current (--fps); called just before each of its buffer swaps.
void x11_draw_fps(Window window, int width, int height);
