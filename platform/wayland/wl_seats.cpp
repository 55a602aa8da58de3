// The Wayland driver's seats: every seat the compositor has, their
// keyboards and pointers as they come and go, their events as the core's
// raw input, and the pointer's position, which GetCursorPos tells.
#include "keys/keys.h"
#include "wayland/wl_private.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace {

unsigned held_modifiers(const WlSeat* seat) {
    xkb_state* key_state = seat->key_state;
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

void keyboard_keymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        close(fd);
        return;
    }
    char* text = static_cast<char*>(mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
    close(fd);
    if (text == MAP_FAILED) return;
    xkb_keymap* made =
        xkb_keymap_new_from_string(wayland_state.xkb, text, XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (!made) return;
    WlSeat* seat = static_cast<WlSeat*>(data);
    if (seat->key_state) xkb_state_unref(seat->key_state);
    if (seat->keymap) xkb_keymap_unref(seat->keymap);
    seat->keymap = made;
    seat->key_state = xkb_state_new(made);
}

void keyboard_enter(void* data, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*) {
    if (WlWindow* window = wayland_window_of_surface(surface))
        static_cast<WlSeat*>(data)->keyboard_window = window->handle;
}

// A layer surface with exclusive keyboard interactivity loses the keyboard
// only when the keyboard itself goes (a virtual keyboard's client ends, a
// device is unplugged) or a lock screen takes the seat: neither is the user
// turning to another window. A fullscreen toplevel's activation comes with
// its configure instead.
void keyboard_leave(void* data, wl_keyboard*, uint32_t, wl_surface*) {
    static_cast<WlSeat*>(data)->keyboard_window = nullptr;
}

void keyboard_key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    const WlSeat* seat = static_cast<WlSeat*>(data);
    if (!seat->key_state) return;
    LayerRawKey raw = {};
    raw.code = (key + 8) & 0xFF;
    raw.vk = layer_vk_from_keysym(xkb_state_key_get_one_sym(seat->key_state, key + 8));
    raw.scan = layer_scan_from_keycode(key + 8, &raw.extended);
    raw.down = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    raw.modifiers = held_modifiers(seat);
    layer_core_raw_key(&raw);
}

void keyboard_modifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                        uint32_t group) {
    WlSeat* seat = static_cast<WlSeat*>(data);
    if (seat->key_state) xkb_state_update_mask(seat->key_state, depressed, latched, locked, 0, 0, group);
}

void keyboard_repeat(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener keyboard_listener = {keyboard_keymap, keyboard_enter,     keyboard_leave,
                                                keyboard_key,    keyboard_modifiers, keyboard_repeat};

// Where the pointer is in the client area of the program's window under
// it. A full-screen window sits at the screen's corner, so its client
// coordinates are the position GetCursorPos tells.
bool pointer_client(const WlSeat* seat, HWND* window, int* x, int* y) {
    WlWindow* top = wayland_window_of_surface(seat->pointer_surface);
    if (!top) return false;
    POINT point = wayland_state.cursor;
    *window = layer_core_window_at(top->handle, &point);
    *x = point.x;
    *y = point.y;
    return *window != nullptr;
}

void pointer_enter(void* data, wl_pointer* from, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
    WlSeat* seat = static_cast<WlSeat*>(data);
    seat->pointer_surface = surface;
    seat->pointer_x = x;
    seat->pointer_y = y;
    // The full-screen windows hide the pointer.
    if (wayland_window_of_surface(surface)) wl_pointer_set_cursor(from, serial, nullptr, 0, 0);
}

void pointer_leave(void* data, wl_pointer*, uint32_t, wl_surface*) {
    static_cast<WlSeat*>(data)->pointer_surface = nullptr;
}

void pointer_motion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    WlSeat* seat = static_cast<WlSeat*>(data);
    // The compositor moves in logical units; the program's window counts
    // the output's pixels, as on X and Windows, and so does its threshold.
    const double pixels = wayland_pixels_per_unit(seat->pointer_surface);
    wayland_state.cursor.x += (int)(wl_fixed_to_double(x - seat->pointer_x) * pixels);
    wayland_state.cursor.y += (int)(wl_fixed_to_double(y - seat->pointer_y) * pixels);
    seat->pointer_x = x;
    seat->pointer_y = y;
    LayerRawMotion motion = {};
    if (!pointer_client(seat, &motion.window, &motion.x, &motion.y)) return;
    motion.screen_x = wayland_state.cursor.x;
    motion.screen_y = wayland_state.cursor.y;
    motion.buttons = seat->buttons_held;
    motion.modifiers = held_modifiers(seat);
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

void pointer_press(const WlSeat* seat, unsigned button, bool down, uint32_t time) {
    LayerRawButton raw = {};
    if (!pointer_client(seat, &raw.window, &raw.x, &raw.y)) return;
    raw.screen_x = wayland_state.cursor.x;
    raw.screen_y = wayland_state.cursor.y;
    raw.button = button;
    raw.down = down;
    raw.time = time;
    raw.buttons = seat->buttons_held;
    raw.modifiers = held_modifiers(seat);
    layer_core_raw_button(&raw);
}

void pointer_button(void* data, wl_pointer*, uint32_t, uint32_t time, uint32_t code, uint32_t state) {
    WlSeat* seat = static_cast<WlSeat*>(data);
    bool down = state == WL_POINTER_BUTTON_STATE_PRESSED;
    unsigned button = layer_button(code);
    pointer_press(seat, button, down, time);
    unsigned& held = seat->buttons_held;
    held = down ? held | layer_button_bit(button) : held & ~layer_button_bit(button);
}

// A notch of the wheel is a press and release of its button, as on X.
void pointer_axis(void* data, wl_pointer*, uint32_t time, uint32_t axis, wl_fixed_t value) {
    if (axis != WL_POINTER_AXIS_VERTICAL_SCROLL || !value) return;
    const WlSeat* seat = static_cast<WlSeat*>(data);
    unsigned button = value < 0 ? LAYER_BUTTON_WHEEL_UP : LAYER_BUTTON_WHEEL_DOWN;
    pointer_press(seat, button, true, time);
    pointer_press(seat, button, false, time);
}

void pointer_frame(void*, wl_pointer*) {}
void pointer_axis_source(void*, wl_pointer*, uint32_t) {}
void pointer_axis_stop(void*, wl_pointer*, uint32_t, uint32_t) {}
void pointer_axis_steps(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener pointer_listener = {
    pointer_enter, pointer_leave,       pointer_motion,    pointer_button,     pointer_axis,
    pointer_frame, pointer_axis_source, pointer_axis_stop, pointer_axis_steps, pointer_axis_steps};

// A keyboard or pointer that goes (a device unplugged, a virtual one's
// client ending, the whole seat going) takes what it held with it; it is
// not the user turning to another window.
void drop_keyboard(WlSeat* seat) {
    if (!seat->keyboard) return;
    wl_keyboard_release(seat->keyboard);
    if (seat->key_state) xkb_state_unref(seat->key_state);
    if (seat->keymap) xkb_keymap_unref(seat->keymap);
    seat->keyboard = nullptr;
    seat->key_state = nullptr;
    seat->keymap = nullptr;
    seat->keyboard_window = nullptr;
}

void drop_pointer(WlSeat* seat) {
    if (!seat->pointer) return;
    wl_pointer_release(seat->pointer);
    seat->pointer = nullptr;
    seat->pointer_surface = nullptr;
    seat->buttons_held = 0;
}

void seat_capabilities(void* data, wl_seat*, uint32_t caps) {
    WlSeat* seat = static_cast<WlSeat*>(data);
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !seat->keyboard) {
        seat->keyboard = wl_seat_get_keyboard(seat->seat);
        wl_keyboard_add_listener(seat->keyboard, &keyboard_listener, seat);
    } else if (!(caps & WL_SEAT_CAPABILITY_KEYBOARD)) {
        drop_keyboard(seat);
    }
    if ((caps & WL_SEAT_CAPABILITY_POINTER) && !seat->pointer) {
        seat->pointer = wl_seat_get_pointer(seat->seat);
        wl_pointer_add_listener(seat->pointer, &pointer_listener, seat);
    } else if (!(caps & WL_SEAT_CAPABILITY_POINTER)) {
        drop_pointer(seat);
    }
}

void seat_name(void*, wl_seat*, const char*) {}

const wl_seat_listener seat_listener = {seat_capabilities, seat_name};

bool get_cursor_pos(POINT* point) {
    *point = wayland_state.cursor;
    return true;
}

// Clients can't move the pointer on Wayland: only the position the program
// reads moves.
bool set_cursor_pos(int x, int y) {
    wayland_state.cursor = {x, y};
    return true;
}

void set_cursor_visible(HWND, bool) {}

const LayerCursorDriver cursor_driver = {get_cursor_pos, set_cursor_pos, set_cursor_visible};

}  // namespace

void wayland_seat_added(uint32_t global, uint32_t version) {
    if (wayland_state.handed_over) return;
    auto seat = std::make_unique<WlSeat>();
    seat->global = global;
    seat->seat = static_cast<wl_seat*>(
        wl_registry_bind(wayland_state.registry, global, &wl_seat_interface, std::min(version, 5u)));
    wl_seat_add_listener(seat->seat, &seat_listener, seat.get());
    wayland_state.seats.push_back(std::move(seat));
}

bool wayland_seat_removed(uint32_t global) {
    auto& seats = wayland_state.seats;
    auto found = std::find_if(seats.begin(), seats.end(), [&](auto& seat) { return seat->global == global; });
    if (found == seats.end()) return false;
    WlSeat* seat = found->get();
    drop_keyboard(seat);
    drop_pointer(seat);
    if (wl_seat_get_version(seat->seat) >= WL_SEAT_RELEASE_SINCE_VERSION)
        wl_seat_release(seat->seat);
    else
        wl_seat_destroy(seat->seat);
    seats.erase(found);
    return true;
}

HWND wayland_keyboard_window() {
    for (auto& seat : wayland_state.seats)
        if (seat->keyboard_window) return seat->keyboard_window;
    return nullptr;
}

void wayland_seats_forget_window(HWND window) {
    for (auto& seat : wayland_state.seats)
        if (seat->keyboard_window == window) seat->keyboard_window = nullptr;
}

const LayerCursorDriver* wayland_cursor_driver() {
    return &cursor_driver;
}
