// Turns X events into the core's calls: keys, buttons and motion become raw
// input (the core makes the Win32 messages), focus changes go to
// x11_focus.cpp, which makes them activation, and size changes and
// destruction from outside reach the window tree.
#include "keys/keys.h"
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "x11/x11_private.h"

#include <X11/XKBlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>
#include <poll.h>
#include <errno.h>

namespace {

bool owns(Window window) {
    return window && layer_core_owns((HWND)(uintptr_t)window);
}

// The keypad's digits depend on Num Lock, which X reports as a modifier.
bool num_lock_on(Display* display, unsigned state) {
    unsigned mask = XkbKeysymToModifiers(display, XK_Num_Lock);
    return mask && (state & mask);
}

unsigned modifiers_of(unsigned state) {
    unsigned modifiers = 0;
    if (state & ShiftMask) modifiers |= LAYER_MOD_SHIFT;
    if (state & ControlMask) modifiers |= LAYER_MOD_CONTROL;
    if (state & Mod1Mask) modifiers |= LAYER_MOD_ALT;
    return modifiers;
}

unsigned buttons_of(unsigned state) {
    unsigned buttons = 0;
    if (state & Button1Mask) buttons |= layer_button_bit(LAYER_BUTTON_LEFT);
    if (state & Button2Mask) buttons |= layer_button_bit(LAYER_BUTTON_MIDDLE);
    if (state & Button3Mask) buttons |= layer_button_bit(LAYER_BUTTON_RIGHT);
    return buttons;
}

void translate_key(Display* display, XKeyEvent* event, bool press) {
    KeySym keysym = XkbKeycodeToKeysym(display, (KeyCode)event->keycode, 0, 0);
    if (num_lock_on(display, event->state)) {
        KeySym shifted = XkbKeycodeToKeysym(display, (KeyCode)event->keycode, 0, 1);
        if ((shifted >= XK_KP_0 && shifted <= XK_KP_9) || shifted == XK_KP_Decimal) keysym = shifted;
    }
    LayerRawKey key = {};
    key.code = event->keycode;
    key.vk = layer_vk_from_keysym((uint32_t)keysym);
    key.scan = layer_scan_from_keycode(event->keycode, &key.extended);
    key.down = press;
    key.modifiers = modifiers_of(event->state);
    layer_core_raw_key(&key);
}

// X numbers the buttons as the layer does: 1 to 3, then the wheel's 4 and 5.
void translate_button(XButtonEvent* event, bool press) {
    LayerRawButton button = {(HWND)(uintptr_t)event->window,
                             event->x,
                             event->y,
                             event->x_root,
                             event->y_root,
                             event->button,
                             press,
                             (DWORD)event->time,
                             buttons_of(event->state),
                             modifiers_of(event->state)};
    layer_core_raw_button(&button);
}

void translate_motion(XMotionEvent* event) {
    LayerRawMotion motion = {
        (HWND)(uintptr_t)event->window, event->x, event->y, event->x_root, event->y_root, buttons_of(event->state),
        modifiers_of(event->state)};
    layer_core_raw_motion(&motion);
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
        x11_expect_error(display);
        Status alive = XGetWindowAttributes(display, (Window)(uintptr_t)parent, &attributes);
        if (!x11_check_error() && alive) break;
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
    // Their native windows cover the screen, whatever size the core gave.
    if (record->saver || record->spread) return;
    const X11Size size = x11_core_size(event->window);
    if (size.width == event->width && size.height == event->height) return;
    layer_core_resized((HWND)(uintptr_t)event->window, event->width, event->height);
}

void translate_client_message(XClientMessageEvent* event) {
    if (!owns(event->window) || event->format != 32) return;
    HWND window = (HWND)(uintptr_t)event->window;
    if (event->message_type == x11_state.atoms.win32_message) {
        layer_core_post_input(window, (UINT)event->data.l[0], (WPARAM)event->data.l[1], (LPARAM)event->data.l[2]);
    } else if (event->message_type == x11_state.atoms.wm_protocols &&
               (Atom)event->data.l[0] == x11_state.atoms.wm_delete_window) {
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
    case MotionNotify: translate_motion(&event->xmotion); break;
    case FocusIn:
    case FocusOut: x11_focus_changed(&event->xfocus); break;
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
        if (x11_state.randr_event_base >= 0 && event->type == x11_state.randr_event_base + RRScreenChangeNotify) {
            XRRUpdateConfiguration(event);
            x11_screen_changed();
        }
        break;
    }
}

}  // namespace

bool x11_process_events(int timeout_ms) {
    Display* display = x11_state.display;
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
