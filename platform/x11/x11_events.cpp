// Turns X events into the core's messages: keys, buttons and motion become
// posted input, focus changes become activation, and size changes and
// destruction from outside reach the window tree.
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "x11/x11_private.h"

#include <X11/XKBlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>
#include <poll.h>
#include <errno.h>
#include <stdlib.h>

bool x11_app_active;

namespace {

bool key_down[256];
bool alt_alone;  // Alt is down and no other key was pressed with it

bool owns(Window window) {
    return window && layer_core_owns((HWND)(uintptr_t)window);
}

// Windows gives key messages to the focus window, not the one under the
// pointer, and none to a program that is not active. X may still deliver
// keys to a window of ours under the pointer (focus following the pointer,
// or a preview inside another program's window): those are dropped.
HWND key_target(Window) {
    if (HWND focus = GetFocus(); focus && layer_core_owns(focus)) return focus;
    if (HWND active = GetActiveWindow(); active && layer_core_owns(active)) return active;
    return nullptr;
}

// The keypad's digits depend on Num Lock, which X reports as a modifier.
bool num_lock_on(Display* display, unsigned state) {
    unsigned mask = XkbKeysymToModifiers(display, XK_Num_Lock);
    return mask && (state & mask);
}

void translate_key(Display* display, XKeyEvent* event, bool press) {
    KeySym keysym = XkbKeycodeToKeysym(display, (KeyCode)event->keycode, 0, 0);
    if (num_lock_on(display, event->state)) {
        KeySym shifted = XkbKeycodeToKeysym(display, (KeyCode)event->keycode, 0, 1);
        if ((shifted >= XK_KP_0 && shifted <= XK_KP_9) || shifted == XK_KP_Decimal) keysym = shifted;
    }
    UINT vk = x11_vk_from_keysym(keysym);
    bool extended;
    UINT scan = x11_scan_from_keycode(event->keycode, &extended);
    bool alt_held = event->state & Mod1Mask;
    bool control = event->state & ControlMask;
    bool was_down = key_down[event->keycode & 0xFF];
    key_down[event->keycode & 0xFF] = press;
    // Alt with a key (but not Ctrl+Alt, which is AltGr) makes system keys;
    // so does F10 alone. Releasing Alt is a system key only when no other
    // key went with it (Win32 quirks the program may see).
    bool system;
    if (vk == VK_MENU) {
        if (press && !was_down) alt_alone = true;
        system = !control && (press || alt_alone);
    } else {
        if (press) alt_alone = false;
        system = !control && (alt_held || vk == VK_F1 + 9);
    }
    // The context bit says Alt is down; releasing Alt itself clears it.
    bool context = vk == VK_MENU ? press : alt_held;
    UINT message = press ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    HWND target = key_target(event->window);
    if (target) layer_core_post_input(target, message, vk, x11_key_lparam(scan, extended, context, was_down, !press));
}

// MK_* flags as Windows reports them: the state after the event.
WPARAM mouse_keys(unsigned state, unsigned button, bool press) {
    unsigned buttons = state & (Button1Mask | Button2Mask | Button3Mask);
    if (button == 1) buttons = press ? buttons | Button1Mask : buttons & ~Button1Mask;
    if (button == 2) buttons = press ? buttons | Button2Mask : buttons & ~Button2Mask;
    if (button == 3) buttons = press ? buttons | Button3Mask : buttons & ~Button3Mask;
    WPARAM keys = 0;
    if (buttons & Button1Mask) keys |= MK_LBUTTON;
    if (buttons & Button2Mask) keys |= MK_MBUTTON;
    if (buttons & Button3Mask) keys |= MK_RBUTTON;
    if (state & ShiftMask) keys |= MK_SHIFT;
    if (state & ControlMask) keys |= MK_CONTROL;
    return keys;
}

// The last button press, for double clicks.
struct Click {
    Window window;
    unsigned button;
    Time time;
    int x, y;
} last_click;

// In a window whose class has CS_DBLCLKS, a second press of the same button
// soon after the first and near it is a double click, as Windows makes
// it: within the double-click time (500 ms) and a 4-pixel square. The press
// after a double click starts over.
bool is_double_click(XButtonEvent* event) {
    X11Window* record = x11_find_window(event->window);
    bool twice = record && record->double_clicks && last_click.window == event->window &&
                 last_click.button == event->button && event->time - last_click.time <= 500 &&
                 abs(event->x - last_click.x) <= 2 && abs(event->y - last_click.y) <= 2;
    if (twice)
        last_click = {};
    else
        last_click = {event->window, event->button, event->time, event->x, event->y};
    return twice;
}

void translate_button(XButtonEvent* event, bool press) {
    if (!owns(event->window)) return;
    HWND window = (HWND)(uintptr_t)event->window;
    WPARAM keys = mouse_keys(event->state, event->button, press);
    LPARAM where = MAKELPARAM(event->x, event->y);
    const UINT rbuttondblclk = 0x0206, mbuttondblclk = 0x0209;  // WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK
    bool twice = press && event->button <= 3 && is_double_click(event);
    switch (event->button) {
    case 1:
        layer_core_post_input(window, press ? (twice ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP, keys, where);
        break;
    case 2:
        layer_core_post_input(window, press ? (twice ? mbuttondblclk : WM_MBUTTONDOWN) : WM_MBUTTONUP, keys, where);
        break;
    case 3:
        layer_core_post_input(window, press ? (twice ? rbuttondblclk : WM_RBUTTONDOWN) : WM_RBUTTONUP, keys, where);
        break;
    case 4:
    case 5:
        // The wheel: one notch is WHEEL_DELTA (120); it goes to the focus
        // window, and its lParam holds screen coordinates (both as Win32).
        if (press) {
            HWND target = key_target(event->window);
            short delta = event->button == 4 ? 120 : -120;
            if (target)
                layer_core_post_input(target, WM_MOUSEWHEEL, MAKEWPARAM(keys, delta),
                                      MAKELPARAM(event->x_root, event->y_root));
        }
        break;
    default:
        if (press) layer_fixme_once("X button %u (horizontal wheel, side buttons) gives no message", event->button);
        break;
    }
}

// Windows keeps one mouse move at a time in the queue; so do we, by
// skipping a motion that the next queued event makes stale.
void translate_motion(Display* display, XMotionEvent* event) {
    if (!owns(event->window)) return;
    if (XEventsQueued(display, QueuedAlready)) {
        XEvent next;
        XPeekEvent(display, &next);
        if (next.type == MotionNotify && next.xmotion.window == event->window) return;
    }
    layer_core_post_input((HWND)(uintptr_t)event->window, WM_MOUSEMOVE, mouse_keys(event->state, 0, false),
                          MAKELPARAM(event->x, event->y));
}

bool focus_is_ours(Display* display) {
    Window focus;
    int revert;
    XGetInputFocus(display, &focus, &revert);
    x11_trap_errors();
    bool ours = focus != None && focus != PointerRoot && x11_find_window(x11_toplevel_of(focus));
    x11_untrap_errors();
    return ours;
}

void translate_focus(Display* display, XFocusChangeEvent* event) {
    // Grabs move the focus for a moment and give it back: that is not a
    // change of activation. Nor is the focus moving within our own windows.
    if (event->mode == NotifyGrab || event->mode == NotifyUngrab) return;
    if (event->detail == NotifyInferior || event->detail == NotifyPointer) return;
    if (!owns(event->window)) return;
    bool active = event->type == FocusIn || focus_is_ours(display);
    if (active == x11_app_active) return;
    x11_app_active = active;
    layer_core_activate_app(active);
}

// One of our windows went without the program destroying it: its foreign
// parent (the preview's) was destroyed, or another client destroyed it.
// X destroys inner windows first; the core wants the outermost of ours that
// is gone, so that its procedures see WM_DESTROY parent first.
void native_destroyed(Display* display, Window window) {
    if (!owns(window)) return;  // the program destroyed it itself
    HWND gone = (HWND)(uintptr_t)window;
    for (HWND parent = GetParent(gone); parent && layer_core_owns(parent); parent = GetParent(parent)) {
        XWindowAttributes attributes;
        x11_trap_errors();
        Status alive = XGetWindowAttributes(display, (Window)(uintptr_t)parent, &attributes);
        if (!x11_untrap_errors() && alive) break;
        gone = parent;
    }
    layer_core_native_destroyed(gone);
}

void translate_configure(XConfigureEvent* event) {
    HWND host = layer_hosted_window();
    if (host && event->window == (Window)(uintptr_t)host && event->event == event->window) {
        layer_core_host_resized(host, event->width, event->height);
        return;
    }
    X11Window* record = x11_find_window(event->window);
    if (!record || !owns(event->window)) return;
    if (record->width == event->width && record->height == event->height) return;
    record->width = event->width;
    record->height = event->height;
    layer_core_resized((HWND)(uintptr_t)event->window, event->width, event->height);
}

void translate_client_message(XClientMessageEvent* event) {
    if (!owns(event->window) || event->format != 32) return;
    HWND window = (HWND)(uintptr_t)event->window;
    if (event->message_type == x11_atoms.win32_message) {
        layer_core_post_input(window, (UINT)event->data.l[0], (WPARAM)event->data.l[1], (LPARAM)event->data.l[2]);
    } else if (event->message_type == x11_atoms.wm_protocols && (Atom)event->data.l[0] == x11_atoms.wm_delete_window) {
        // The window manager's close button.
        layer_core_post_input(window, WM_CLOSE, 0, 0);
    }
}

void translate(Display* display, XEvent* event) {
    switch (event->type) {
    case KeyPress:
    case KeyRelease: translate_key(display, &event->xkey, event->type == KeyPress); break;
    case ButtonPress:
    case ButtonRelease: translate_button(&event->xbutton, event->type == ButtonPress); break;
    case MotionNotify: translate_motion(display, &event->xmotion); break;
    case FocusIn:
    case FocusOut: translate_focus(display, &event->xfocus); break;
    case ConfigureNotify: translate_configure(&event->xconfigure); break;
    case DestroyNotify:
        if (event->xdestroywindow.event == event->xdestroywindow.window) {
            native_destroyed(display, event->xdestroywindow.window);
            x11_forget_window(event->xdestroywindow.window);
        }
        break;
    case VisibilityNotify:
        // The saver stays above everything: another window put over it
        // goes under again.
        if (event->xvisibility.state != VisibilityUnobscured) {
            X11Window* record = x11_find_window(event->xvisibility.window);
            if (record && record->saver) XRaiseWindow(display, record->id);
        }
        break;
    case Expose:
        if (event->xexpose.count == 0 && owns(event->xexpose.window))
            layer_core_invalidate((HWND)(uintptr_t)event->xexpose.window);
        break;
    case ClientMessage: translate_client_message(&event->xclient); break;
    default:
        if (x11_randr_event_base >= 0 && event->type == x11_randr_event_base + RRScreenChangeNotify)
            XRRUpdateConfiguration(event);
        break;
    }
}

}  // namespace

bool x11_process_events(int timeout_ms) {
    Display* display = x11_display();
    if (!display) return false;
    if (!XPending(display)) {  // XPending flushes our requests first
        pollfd connection = {ConnectionNumber(display), POLLIN, 0};
        int ready = poll(&connection, 1, timeout_ms < 0 ? -1 : timeout_ms);
        if (ready < 0 && errno != EINTR) return false;
    }
    // Reading a closed connection ends in the IO error handler, which leaves.
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        translate(display, &event);
    }
    XFlush(display);
    return true;
}
