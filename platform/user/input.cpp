// Raw keys, buttons and motion from the driver become Win32's keyboard and
// mouse messages. The rules are Windows' own and hold on every driver:
// which window gets a key, system keys, the key lParam, double clicks,
// where the wheel goes, and the held buttons and keys in wParam.
#include "user/user_internal.h"

#include <stdlib.h>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"

namespace {

const UINT wm_rbuttondblclk = 0x0206, wm_mbuttondblclk = 0x0209;  // WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK
const short wheel_delta = 120;                                    // WHEEL_DELTA: one notch
const DWORD double_click_time = 500;                              // GetDoubleClickTime's default
const int double_click_reach = 2;                                 // half of SM_CXDOUBLECLK and SM_CYDOUBLECLK (4)

bool key_down[256];
bool alt_alone;  // Alt is down and no other key was pressed with it
POINT last_pointer;

// The last button press, for double clicks.
struct Click {
    HWND window;
    unsigned button;
    DWORD time;
    int x, y;
} last_click;

// Windows gives key messages to the focus window, not the one under the
// pointer, and none to a program that is not active. A driver may still
// see keys while none of ours has the focus (focus following the pointer,
// or a preview inside another program's window): those are dropped.
HWND key_target() {
    if (HWND focus = GetFocus(); focus && layer_core_owns(focus)) return focus;
    if (HWND active = GetActiveWindow(); active && layer_core_owns(active)) return active;
    return nullptr;
}

// lParam of a key message, bit for bit as Windows builds it.
LPARAM key_lparam(UINT scan, bool extended, bool alt_down, bool was_down, bool is_up) {
    DWORD bits = 1;  // repeat count
    bits |= (scan & 0xFF) << 16;
    if (extended) bits |= 1u << 24;
    if (alt_down) bits |= 1u << 29;           // context code
    if (was_down || is_up) bits |= 1u << 30;  // previous key state: always 1 on release
    if (is_up) bits |= 1u << 31;              // transition state
    return static_cast<LPARAM>(bits);
}

// MK_* flags as Windows reports them: the buttons held after the event.
WPARAM mouse_keys(unsigned buttons, unsigned modifiers) {
    WPARAM keys = 0;
    if (buttons & layer_button_bit(LAYER_BUTTON_LEFT)) keys |= MK_LBUTTON;
    if (buttons & layer_button_bit(LAYER_BUTTON_MIDDLE)) keys |= MK_MBUTTON;
    if (buttons & layer_button_bit(LAYER_BUTTON_RIGHT)) keys |= MK_RBUTTON;
    if (modifiers & LAYER_MOD_SHIFT) keys |= MK_SHIFT;
    if (modifiers & LAYER_MOD_CONTROL) keys |= MK_CONTROL;
    return keys;
}

bool wants_double_clicks(HWND window) {
    Window* w = user_window(window);
    const WindowClass* cls = w ? user_class_by_atom(w->class_atom) : nullptr;
    return cls && (cls->style & CS_DBLCLKS);
}

// In a window whose class has CS_DBLCLKS, a second press of the same button
// soon after the first and near it is a double click, as Windows makes it.
// The press after a double click starts over.
bool is_double_click(const LayerRawButton* press) {
    bool twice = wants_double_clicks(press->window) && last_click.window == press->window &&
                 last_click.button == press->button && press->time - last_click.time <= double_click_time &&
                 abs(press->x - last_click.x) <= double_click_reach &&
                 abs(press->y - last_click.y) <= double_click_reach;
    if (twice)
        last_click = {};
    else
        last_click = {press->window, press->button, press->time, press->x, press->y};
    return twice;
}

}  // namespace

POINT user_last_pointer() {
    return last_pointer;
}

void user_input_reset() {
    for (bool& down : key_down) down = false;
    alt_alone = false;
    last_pointer = POINT{0, 0};
    last_click = {};
}

void layer_core_raw_key(const LayerRawKey* key) {
    bool alt_held = key->modifiers & LAYER_MOD_ALT;
    bool control = key->modifiers & LAYER_MOD_CONTROL;
    bool was_down = key_down[key->code & 0xFF];
    key_down[key->code & 0xFF] = key->down;
    // Alt with a key (but not Ctrl+Alt, which is AltGr) makes system keys;
    // so does F10 alone. Releasing Alt is a system key only when no other
    // key went with it (Win32 quirks the program may see).
    bool system;
    if (key->vk == VK_MENU) {
        if (key->down && !was_down) alt_alone = true;
        system = !control && (key->down || alt_alone);
    } else {
        if (key->down) alt_alone = false;
        system = !control && (alt_held || key->vk == VK_F1 + 9);
    }
    // The context bit says Alt is down; releasing Alt itself clears it.
    bool context = key->vk == VK_MENU ? key->down : alt_held;
    UINT message = key->down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    if (HWND target = key_target())
        user_queue_input(target, message, key->vk, key_lparam(key->scan, key->extended, context, was_down, !key->down));
}

void layer_core_raw_button(const LayerRawButton* button) {
    last_pointer = POINT{button->screen_x, button->screen_y};
    if (!layer_core_owns(button->window)) return;
    unsigned bit = layer_button_bit(button->button);
    unsigned held = button->down ? button->buttons | bit : button->buttons & ~bit;
    WPARAM keys = mouse_keys(held, button->modifiers);
    LPARAM where = MAKELPARAM(button->x, button->y);
    bool twice = button->down && button->button <= LAYER_BUTTON_RIGHT && is_double_click(button);
    UINT message = 0;
    switch (button->button) {
    case LAYER_BUTTON_LEFT: message = button->down ? (twice ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP; break;
    case LAYER_BUTTON_MIDDLE:
        message = button->down ? (twice ? wm_mbuttondblclk : WM_MBUTTONDOWN) : WM_MBUTTONUP;
        break;
    case LAYER_BUTTON_RIGHT: message = button->down ? (twice ? wm_rbuttondblclk : WM_RBUTTONDOWN) : WM_RBUTTONUP; break;
    case LAYER_BUTTON_WHEEL_UP:
    case LAYER_BUTTON_WHEEL_DOWN:
        // The wheel goes to the focus window, and its lParam holds screen
        // coordinates (both as Win32).
        if (button->down) {
            HWND target = key_target();
            short delta = button->button == LAYER_BUTTON_WHEEL_UP ? wheel_delta : -wheel_delta;
            if (target)
                user_queue_input(target, WM_MOUSEWHEEL, MAKEWPARAM(keys, delta),
                                 MAKELPARAM(button->screen_x, button->screen_y));
        }
        return;
    default:
        if (button->down)
            layer_fixme_once("pointer button %u (horizontal wheel, side buttons) gives no message", button->button);
        return;
    }
    user_queue_input(button->window, message, keys, where);
}

void layer_core_raw_motion(const LayerRawMotion* motion) {
    last_pointer = POINT{motion->screen_x, motion->screen_y};
    if (!layer_core_owns(motion->window)) return;
    user_queue_input(motion->window, WM_MOUSEMOVE, mouse_keys(motion->buttons, motion->modifiers),
                     MAKELPARAM(motion->x, motion->y));
}
