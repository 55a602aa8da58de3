// The X11 side of message boxes: the capability table, with the layout
// (x11_box_layout.cpp) and drawing (x11_box_paint.cpp) of its own files, and
// here dialog hints for a window manager and keeping the box above
// everything, a full-screen saver window included, with the keyboard and
// pointer while it is up.
//   Others may use: x11_message_box_driver() (x11_private.h), through the driver table.
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "x11/x11_box.h"
#include "x11/x11_paint.h"
#include "x11/x11_private.h"

#include <X11/Xutil.h>
#include <time.h>

#include <vector>

namespace {

Window root_window() {
    return RootWindow(x11_state.display, x11_state.screen);
}

void x11_box_prepare(HWND window_handle, HWND owner, bool can_close) {
    Display* display = x11_state.display;
    Window window = (Window)(uintptr_t)window_handle;
    x11_set_dialog_hints(window, owner);
    // A close button only where Escape works.
    const long functions = 1, decorations = 2, move = 4, close = 32, border = 2, title = 8, menu = 16;
    long motif[5] = {functions | decorations, move | (can_close ? close : 0), border | title | menu, 0, 0};
    XChangeProperty(display, window, x11_state.atoms.motif_wm_hints, x11_state.atoms.motif_wm_hints, 32,
                    PropModeReplace, (const unsigned char*)motif, 5);
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = True;
    XSetWMHints(display, window, &hints);

    // A saver window keeps itself above all other windows and holds the
    // keyboard; while the box is up it stands aside.
    X11HeldBox record{time(nullptr), {}};
    Window root_return, parent;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, root_window(), &root_return, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            if (x11_stand_aside(children[i])) record.savers.push_back(children[i]);
        }
    }
    if (children) XFree(children);
    x11_state.boxes[window] = record;
    XFlush(display);
}

bool x11_box_hold_input(HWND window_handle) {
    Display* display = x11_state.display;
    Window window = (Window)(uintptr_t)window_handle;
    auto it = x11_state.boxes.find(window);
    bool late = it == x11_state.boxes.end() || x11_waited_too_long(it->second.since);
    if (!x11_is_viewable(window)) return late;  // a window manager has not mapped it yet

    // Above everything: the outermost window (the window manager's frame,
    // or the box itself) goes to the top of the stack.
    Window outer = window;
    for (;;) {
        Window root_return, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        x11_expect_error(display);
        if (!XQueryTree(display, outer, &root_return, &parent, &children, &count)) parent = None;
        x11_check_error();
        if (children) XFree(children);
        if (!parent || parent == root_window()) break;
        outer = parent;
    }
    x11_expect_error(display);
    XRaiseWindow(display, outer);
    // A window manager stacks its frames below override-redirect windows
    // such as the saver's, whatever we ask; so the saver, which is ours,
    // goes just below the box instead.
    if (it != x11_state.boxes.end() && outer != window) {
        XWindowChanges below{};
        below.sibling = outer;
        below.stack_mode = Below;
        for (Window saver : it->second.savers) XConfigureWindow(display, saver, CWSibling | CWStackMode, &below);
    }
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    int keyboard = XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    int pointer = XGrabPointer(display, window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                               GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    x11_check_error();
    if (keyboard == GrabSuccess && pointer == GrabSuccess) return true;
    // Another client holds a grab for a moment (a menu); try again, but not forever.
    if (late) layer_fixme_once("message box: could not take the keyboard and pointer; another client holds them");
    return late;
}

void x11_box_release(HWND window_handle) {
    Display* display = x11_state.display;
    Window window = (Window)(uintptr_t)window_handle;
    XUngrabKeyboard(display, CurrentTime);
    XUngrabPointer(display, CurrentTime);
    auto it = x11_state.boxes.find(window);
    if (it != x11_state.boxes.end()) {
        for (Window id : it->second.savers) x11_come_back(id);
        x11_state.boxes.erase(it);
    }
    XFlush(display);
}

const LayerMessageBoxDriver message_box_driver = {
    x11_box_layout, x11_box_prepare, x11_box_hold_input, x11_box_release, x11_box_paint,
};

}  // namespace

const LayerMessageBoxDriver* x11_message_box_driver() {
    return &message_box_driver;
}
