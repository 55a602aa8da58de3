// The X11 driver's focus, grabs and cursor: bringing a window to the
// foreground (the saver window takes the keyboard and pointer with it),
// asking which window has the focus, the application's activation as the
// focus moves, and the pointer's position and shape.
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "x11/x11_private.h"

#include <errno.h>
#include <stdio.h>
#include <unistd.h>

namespace {

void send_net_active_window(Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = x11_state.atoms.net_active_window;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // source: an application
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(x11_state.display, x11_state.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

// Keyboard and pointer for the saver window. Another client (a menu, a
// screen locker) may hold a grab for a moment, so try for a short while.
void grab_input(Window window) {
    Display* display = x11_state.display;
    const unsigned pointer_events = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    for (int attempt = 0; attempt < 20; ++attempt) {
        int keyboard = XGrabKeyboard(display, window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
        int pointer =
            XGrabPointer(display, window, True, pointer_events, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (keyboard == GrabSuccess && pointer == GrabSuccess) return;
        usleep(50 * 1000);
    }
    fprintf(stderr, "%s: could not grab the keyboard and pointer\n", program_invocation_short_name);
}

bool x11_get_cursor_pos(POINT* point) {
    Window root_return, child;
    int x, y, wx, wy;
    unsigned state;
    XQueryPointer(x11_state.display, x11_state.root, &root_return, &child, &x, &y, &wx, &wy, &state);
    point->x = x;
    point->y = y;
    return true;
}

bool x11_set_cursor_pos(int x, int y) {
    XWarpPointer(x11_state.display, None, x11_state.root, 0, 0, 0, 0, x, y);
    XFlush(x11_state.display);
    return true;
}

void x11_set_cursor_visible(HWND hwnd, bool visible) {
    Window only = (Window)(uintptr_t)hwnd;
    for (X11Window& window : x11_state.windows) {
        if (only && window.id != only) continue;
        if (window.cursor_hidden == !visible) continue;  // the usual case, asked at every mouse move
        window.cursor_hidden = !visible;
        x11_expect_error(x11_state.display);
        if (visible)
            XUndefineCursor(x11_state.display, window.id);
        else
            XDefineCursor(x11_state.display, window.id, x11_state.blank_cursor);
        x11_check_error();
    }
}

const LayerCursorDriver cursor = {x11_get_cursor_pos, x11_set_cursor_pos, x11_set_cursor_visible};

Window input_focus(Display* display) {
    Window focus;
    int revert;
    XGetInputFocus(display, &focus, &revert);
    return focus;
}

bool focus_is_ours(Display* display) {
    Window focus = input_focus(display);
    x11_expect_error(display);
    bool ours = focus != None && focus != PointerRoot && x11_find_window(x11_toplevel_of(focus));
    x11_check_error();
    return ours;
}

}  // namespace

void x11_focus_changed(XFocusChangeEvent* event) {
    Display* display = x11_state.display;
    // A window manager may put the focus on no window at all as the saver
    // window appears (Xwayland's does, before or after the saver has taken
    // the keyboard): no other program gets the keys, so the user has not
    // gone to one.
    X11Window* record = x11_find_window(event->window);
    if (event->type == FocusOut && record && record->saver && input_focus(display) == None) return;
    // Grabs move the focus for a moment and give it back: that is not a
    // change of activation. Nor is the focus moving within our own windows.
    if (event->mode == NotifyGrab || event->mode == NotifyUngrab) return;
    if (event->detail == NotifyInferior || event->detail == NotifyPointer) return;
    if (!layer_core_owns((HWND)(uintptr_t)event->window)) return;
    bool active = event->type == FocusIn || focus_is_ours(display);
    if (active == x11_state.app_active) return;
    x11_state.app_active = active;
    layer_core_activate_app(active);
}

void x11_set_foreground(HWND hwnd) {
    Display* display = x11_state.display;
    Window window = x11_toplevel_of((Window)(uintptr_t)hwnd);
    X11Window* record = x11_find_window(window);
    x11_expect_error(display);
    XRaiseWindow(display, window);
    if (record && record->saver) {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        grab_input(window);
    } else {
        send_net_active_window(window);
        if (record) XSetInputFocus(display, window, RevertToParent, CurrentTime);
    }
    x11_check_error();
    if (record) x11_state.app_active = true;
}

HWND x11_get_foreground() {
    const Window focus = input_focus(x11_state.display);
    if (focus == None || focus == PointerRoot || focus == x11_state.root) return nullptr;
    x11_expect_error(x11_state.display);
    Window top = x11_toplevel_of(focus);
    x11_check_error();
    return (HWND)(uintptr_t)top;
}

void x11_make_blank_cursor() {
    Display* display = x11_state.display;
    static const char no_bits[1] = {0};
    Pixmap empty = XCreateBitmapFromData(display, x11_state.root, no_bits, 1, 1);
    XColor black{};
    x11_state.blank_cursor = XCreatePixmapCursor(display, empty, empty, &black, &black, 0, 0);
    XFreePixmap(display, empty);
}

void x11_free_blank_cursor() {
    XFreeCursor(x11_state.display, x11_state.blank_cursor);
}

const LayerCursorDriver* x11_cursor_driver() {
    return &cursor;
}
