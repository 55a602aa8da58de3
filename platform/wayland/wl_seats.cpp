// The Wayland driver's seat: its keyboard and pointer as they come and go,
// their events as the core's raw input, and the pointer's position, which
// GetCursorPos tells.
#include "wayland/wl_private.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

// Key translation shared with the X11 driver: xkb keysyms are X keysyms,
// and an evdev key code is the X key code less 8.
UINT x11_vk_from_keysym(unsigned long keysym);
UINT x11_scan_from_keycode(unsigned keycode, bool* extended);

namespace {

unsigned held_modifiers() {
    xkb_state* key_state = wl_state.key_state;
    if (!key_state) return 0;
    unsigned modifiers = 0;
    if (xkb_state_mod_name_is_active(key_state, XKB_MOD_NAME_SHIFT, XKB_STATE_MODS_EFFECTIVE) > 0)
        modifiers |= LAYER_MOD_SHIFT;
    if (xkb_state_mod_name_is_active(key_state, XKB_MOD_NAME_CTRL, XKB_STATE_MODS_EFFECTIVE) > 0)
        modifiers |= LAYER_MOD_CONTROL;
    if (xkb_state_mod_name_is_active(key_state, XKB_MOD_NAME_ALT, XKB_STATE_MODS_EFFECTIVE) > 0)
        modifiers |= LAYER_MOD_ALT;
    return modifiers;
}

void keyboard_keymap(void*, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        close(fd);
        return;
    }
    char* text = static_cast<char*>(mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
    close(fd);
    if (text == MAP_FAILED) return;
    xkb_keymap* made =
        xkb_keymap_new_from_string(wl_state.xkb, text, XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (!made) return;
    if (wl_state.key_state) xkb_state_unref(wl_state.key_state);
    if (wl_state.keymap) xkb_keymap_unref(wl_state.keymap);
    wl_state.keymap = made;
    wl_state.key_state = xkb_state_new(made);
}

void keyboard_enter(void*, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*) {
    if (WlWindow* window = wl_window_of_surface(surface)) wl_state.keyboard_window = window->handle;
}

// A layer surface with exclusive keyboard interactivity loses the keyboard
// only when the keyboard itself goes (a virtual keyboard's client ends, a
// device is unplugged) or a lock screen takes the seat: neither is the user
// turning to another window. A fullscreen toplevel's activation comes with
// its configure instead.
void keyboard_leave(void*, wl_keyboard*, uint32_t, wl_surface*) {
    wl_state.keyboard_window = nullptr;
}

void keyboard_key(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    if (!wl_state.key_state) return;
    LayerRawKey raw = {};
    raw.code = (key + 8) & 0xFF;
    raw.vk = x11_vk_from_keysym(xkb_state_key_get_one_sym(wl_state.key_state, key + 8));
    raw.scan = x11_scan_from_keycode(key + 8, &raw.extended);
    raw.down = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    raw.modifiers = held_modifiers();
    layer_core_raw_key(&raw);
}

void keyboard_modifiers(void*, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                        uint32_t group) {
    if (wl_state.key_state) xkb_state_update_mask(wl_state.key_state, depressed, latched, locked, 0, 0, group);
}

void keyboard_repeat(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener keyboard_listener = {keyboard_keymap, keyboard_enter,     keyboard_leave,
                                                keyboard_key,    keyboard_modifiers, keyboard_repeat};

// The program's window under the pointer: the last made of the full-screen
// window's children that holds the point, else the window itself.
HWND window_at(HWND top, int x, int y) {
    HWND found = top;
    for (WlWindow& window : wl_state.windows)
        if (window.parent == top && window.visible && x >= window.x && y >= window.y && x < window.x + window.width &&
            y < window.y + window.height)
            found = window.handle;
    return found;
}

// Where the pointer is in the client area of the program's window under
// it. A full-screen window sits at the screen's corner, so its client
// coordinates are the position GetCursorPos tells.
bool pointer_client(HWND* window, int* x, int* y) {
    WlWindow* top = wl_window_of_surface(wl_state.pointer_surface);
    if (!top) return false;
    *x = wl_state.cursor.x;
    *y = wl_state.cursor.y;
    *window = window_at(top->handle, *x, *y);
    if (WlWindow* child = wl_find_window(*window); child && child->parent) {
        *x -= child->x;
        *y -= child->y;
    }
    return true;
}

void pointer_enter(void*, wl_pointer* from, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
    wl_state.pointer_surface = surface;
    wl_state.pointer_x = x;
    wl_state.pointer_y = y;
    // The full-screen windows hide the pointer.
    if (wl_window_of_surface(surface)) wl_pointer_set_cursor(from, serial, nullptr, 0, 0);
}

void pointer_leave(void*, wl_pointer*, uint32_t, wl_surface*) {
    wl_state.pointer_surface = nullptr;
}

void pointer_motion(void*, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    wl_state.cursor.x += (int)wl_fixed_to_double(x - wl_state.pointer_x);
    wl_state.cursor.y += (int)wl_fixed_to_double(y - wl_state.pointer_y);
    wl_state.pointer_x = x;
    wl_state.pointer_y = y;
    LayerRawMotion motion = {};
    if (!pointer_client(&motion.window, &motion.x, &motion.y)) return;
    motion.screen_x = wl_state.cursor.x;
    motion.screen_y = wl_state.cursor.y;
    motion.buttons = wl_state.buttons_held;
    motion.modifiers = held_modifiers();
    layer_core_raw_motion(&motion);
}

// Wayland's buttons are evdev codes; the layer numbers them as X does, with
// the side buttons past the wheel's.
unsigned layer_button(uint32_t code) {
    switch (code) {
    case BTN_LEFT: return LAYER_BUTTON_LEFT;
    case BTN_MIDDLE: return LAYER_BUTTON_MIDDLE;
    case BTN_RIGHT: return LAYER_BUTTON_RIGHT;
    default: return code - BTN_SIDE + 8;
    }
}

void pointer_press(unsigned button, bool down, uint32_t time) {
    LayerRawButton raw = {};
    if (!pointer_client(&raw.window, &raw.x, &raw.y)) return;
    raw.screen_x = wl_state.cursor.x;
    raw.screen_y = wl_state.cursor.y;
    raw.button = button;
    raw.down = down;
    raw.time = time;
    raw.buttons = wl_state.buttons_held;
    raw.modifiers = held_modifiers();
    layer_core_raw_button(&raw);
}

void pointer_button(void*, wl_pointer*, uint32_t, uint32_t time, uint32_t code, uint32_t state) {
    bool down = state == WL_POINTER_BUTTON_STATE_PRESSED;
    unsigned button = layer_button(code);
    pointer_press(button, down, time);
    unsigned& held = wl_state.buttons_held;
    held = down ? held | layer_button_bit(button) : held & ~layer_button_bit(button);
}

// A notch of the wheel is a press and release of its button, as on X.
void pointer_axis(void*, wl_pointer*, uint32_t time, uint32_t axis, wl_fixed_t value) {
    if (axis != WL_POINTER_AXIS_VERTICAL_SCROLL || !value) return;
    unsigned button = value < 0 ? LAYER_BUTTON_WHEEL_UP : LAYER_BUTTON_WHEEL_DOWN;
    pointer_press(button, true, time);
    pointer_press(button, false, time);
}

void pointer_frame(void*, wl_pointer*) {}
void pointer_axis_source(void*, wl_pointer*, uint32_t) {}
void pointer_axis_stop(void*, wl_pointer*, uint32_t, uint32_t) {}
void pointer_axis_steps(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener pointer_listener = {
    pointer_enter, pointer_leave,       pointer_motion,    pointer_button,     pointer_axis,
    pointer_frame, pointer_axis_source, pointer_axis_stop, pointer_axis_steps, pointer_axis_steps};

void seat_capabilities(void*, wl_seat* seat, uint32_t caps) {
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !wl_state.keyboard) {
        wl_state.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(wl_state.keyboard, &keyboard_listener, nullptr);
    } else if (!(caps & WL_SEAT_CAPABILITY_KEYBOARD) && wl_state.keyboard) {
        wl_keyboard_release(wl_state.keyboard);
        wl_state.keyboard = nullptr;
        wl_state.keyboard_window = nullptr;
    }
    if ((caps & WL_SEAT_CAPABILITY_POINTER) && !wl_state.pointer) {
        wl_state.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(wl_state.pointer, &pointer_listener, nullptr);
    } else if (!(caps & WL_SEAT_CAPABILITY_POINTER) && wl_state.pointer) {
        wl_pointer_release(wl_state.pointer);
        wl_state.pointer = nullptr;
        wl_state.pointer_surface = nullptr;
    }
}

void seat_name(void*, wl_seat*, const char*) {}

const wl_seat_listener seat_listener = {seat_capabilities, seat_name};

bool get_cursor_pos(POINT* point) {
    *point = wl_state.cursor;
    return true;
}

// Clients can't move the pointer on Wayland: only the position the program
// reads moves.
bool set_cursor_pos(int x, int y) {
    wl_state.cursor = {x, y};
    return true;
}

void set_cursor_visible(HWND, bool) {}

const LayerCursorDriver cursor_driver = {get_cursor_pos, set_cursor_pos, set_cursor_visible};

}  // namespace

void wl_seat_added(uint32_t global, uint32_t version) {
    if (wl_state.seat || wl_state.handed_over) return;
    wl_state.seat =
        static_cast<wl_seat*>(wl_registry_bind(wl_state.registry, global, &wl_seat_interface, std::min(version, 5u)));
    wl_seat_add_listener(wl_state.seat, &seat_listener, nullptr);
}

const LayerCursorDriver* wl_cursor_driver() {
    return &cursor_driver;
}
