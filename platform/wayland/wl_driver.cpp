// The Wayland driver: the connection to the compositor, the outputs, the
// program's windows (handles are the driver's own numbers: Wayland has no
// global window ids), the full-screen window's surfaces, and raw input from
// the seat. layer_wayland_driver() is the table the core uses.
//
// The compositor owns the outputs, their modes and the focus. A full-screen
// window (a topmost popup that covers the screen) is a layer-shell overlay
// on every output where the compositor offers layer-shell, and a fullscreen
// xdg toplevel per output where it does not. Other top-level windows have no
// surface here: they stay in the core's tree only.
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "wayland/wl_private.h"

// The protocol names an argument "namespace".
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "xdg-shell-client-protocol.h"

#include <errno.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <memory>

// Key translation shared with the X11 driver: xkb keysyms are X keysyms,
// and an evdev key code is the X key code less 8.
UINT x11_vk_from_keysym(unsigned long keysym);
UINT x11_scan_from_keycode(unsigned keycode, bool* extended);

namespace {

struct WlWindow {
    HWND handle;
    HWND parent;
    bool full_screen;  // shown on every output
    bool visible;
    int x, y, width, height;
    std::vector<std::unique_ptr<WlSurface>> surfaces;
    int reported_width, reported_height;  // the size the core knows
};

wl_display* display;
wl_registry* registry;
wl_compositor* compositor;
zwlr_layer_shell_v1* layer_shell;
xdg_wm_base* wm_base;
wl_seat* seat;
wl_keyboard* keyboard;
wl_pointer* pointer;
std::vector<std::unique_ptr<WlOutput>> outputs;
// A lock program that runs the saver as its background hands over a
// connection of its own in WAYLAND_SOCKET, may name the one output to draw
// on, and keeps the seat: the run takes no input, and the connection
// closing is its end.
bool handed_over;
std::string only_output;  // SWAYLOCK_PLUGIN_OUTPUT_NAME; empty for all
bool connection_gone;
std::vector<WlWindow> windows;
uintptr_t next_handle = 0x20000;

xkb_context* xkb;
xkb_keymap* keymap;
xkb_state* key_state;
HWND keyboard_window;  // the window whose surface has the keyboard

// The pointer moves by what the compositor reports within a surface; where
// it enters a surface is not a move (Wayland tells no position on the
// desktop), so the position starts at the screen's centre and follows the
// motions.
POINT cursor;
wl_surface* pointer_surface;
wl_fixed_t pointer_x, pointer_y;
uint32_t pointer_serial;
bool app_active;
bool toplevel_activated;  // a fullscreen toplevel of ours has been active

WlWindow* find_window(HWND handle) {
    for (WlWindow& window : windows)
        if (window.handle == handle) return &window;
    return nullptr;
}

HWND toplevel_of(HWND handle) {
    for (WlWindow* window = find_window(handle); window; window = find_window(window->parent)) {
        if (!window->parent || !find_window(window->parent)) return window->handle;
    }
    return nullptr;
}

WlWindow* window_of_surface(wl_surface* surface, WlSurface** which = nullptr) {
    if (!surface) return nullptr;
    for (WlWindow& window : windows) {
        for (auto& shown : window.surfaces) {
            if (shown->surface != surface) continue;
            if (which) *which = shown.get();
            return &window;
        }
    }
    return nullptr;
}

// Whether the picture goes to this output. An output is taken once the
// compositor has told all about it; a compositor that names no output
// has all of them used.
bool shows_on(const WlOutput& output) {
    if (!output.done) return false;
    if (only_output.empty() || output.name == only_output) return true;
    return std::none_of(outputs.begin(), outputs.end(), [](auto& other) { return !other->name.empty(); });
}

void largest_output_size(int* width, int* height) {
    *width = *height = 0;
    for (auto& output : outputs) {
        if (!shows_on(*output)) continue;
        if ((long)output->width * output->height > (long)*width * *height) {
            *width = output->width;
            *height = output->height;
        }
    }
    if (!*width) {  // no output (yet): a size the program can draw at
        *width = 1024;
        *height = 768;
    }
}

// ---- surfaces ----

void destroy_surface(WlSurface* shown) {
    wl_egl_surface_gone(shown);
    if (shown->frame) wl_callback_destroy(shown->frame);
    if (shown->layer) zwlr_layer_surface_v1_destroy(shown->layer);
    if (shown->toplevel) xdg_toplevel_destroy(shown->toplevel);
    if (shown->xdg) xdg_surface_destroy(shown->xdg);
    wl_surface_destroy(shown->surface);
    if (shown->output && shown->output->surface == shown) shown->output->surface = nullptr;
}

void remove_surface(WlWindow* window, WlSurface* shown) {
    destroy_surface(shown);
    auto& list = window->surfaces;
    list.erase(std::remove_if(list.begin(), list.end(), [&](auto& item) { return item.get() == shown; }), list.end());
}

void configured(WlSurface* shown, int width, int height) {
    if (width <= 0 || height <= 0) {
        width = shown->output ? shown->output->width : 0;
        height = shown->output ? shown->output->height : 0;
    }
    if (width <= 0 || height <= 0) return;
    shown->width = width;
    shown->height = height;
    wl_egl_surface_configured(shown);
}

void layer_configure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    configured(static_cast<WlSurface*>(data), (int)width, (int)height);
}

void layer_closed(void* data, zwlr_layer_surface_v1*) {
    static_cast<WlSurface*>(data)->closed = true;
}

const zwlr_layer_surface_v1_listener layer_listener = {layer_configure, layer_closed};

void xdg_surface_configure(void* data, xdg_surface* xdg, uint32_t serial) {
    xdg_surface_ack_configure(xdg, serial);
    WlSurface* shown = static_cast<WlSurface*>(data);
    configured(shown, shown->width, shown->height);
}

const xdg_surface_listener xdg_listener = {xdg_surface_configure};

void toplevel_configure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array* states) {
    WlSurface* shown = static_cast<WlSurface*>(data);
    // Kept until the surface's configure applies it; 0 lets the output decide.
    shown->width = width;
    shown->height = height;
    shown->activated = false;
    for (uint32_t* state = (uint32_t*)states->data; (char*)state < (char*)states->data + states->size; ++state)
        if (*state == XDG_TOPLEVEL_STATE_ACTIVATED) shown->activated = true;
}

void toplevel_close(void* data, xdg_toplevel*) {
    WlWindow* window = window_of_surface(static_cast<WlSurface*>(data)->surface);
    if (window) layer_core_post_input(window->handle, WM_CLOSE, 0, 0);
}

void toplevel_bounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void toplevel_capabilities(void*, xdg_toplevel*, wl_array*) {}

const xdg_toplevel_listener toplevel_listener = {toplevel_configure, toplevel_close, toplevel_bounds,
                                                 toplevel_capabilities};

void show_on_output(WlWindow* window, WlOutput* output) {
    auto shown = std::make_unique<WlSurface>();
    shown->output = output;
    shown->surface = wl_compositor_create_surface(compositor);
    if (layer_shell) {
        shown->layer = zwlr_layer_shell_v1_get_layer_surface(layer_shell, shown->surface, output->output,
                                                             ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "orrelune");
        zwlr_layer_surface_v1_add_listener(shown->layer, &layer_listener, shown.get());
        zwlr_layer_surface_v1_set_anchor(shown->layer,
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                             ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_exclusive_zone(shown->layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(shown->layer, handed_over ? 0 : 1);  // 1: exclusive
    } else {
        shown->xdg = xdg_wm_base_get_xdg_surface(wm_base, shown->surface);
        xdg_surface_add_listener(shown->xdg, &xdg_listener, shown.get());
        shown->toplevel = xdg_surface_get_toplevel(shown->xdg);
        xdg_toplevel_add_listener(shown->toplevel, &toplevel_listener, shown.get());
        xdg_toplevel_set_title(shown->toplevel, "Orrelune");
        xdg_toplevel_set_app_id(shown->toplevel, "orrelune");
        xdg_toplevel_set_fullscreen(shown->toplevel, output->output);
    }
    // The first commit carries no buffer: the compositor answers with the
    // size, and the first frame maps the surface.
    wl_surface_commit(shown->surface);
    output->surface = shown.get();
    window->surfaces.push_back(std::move(shown));
}

void show_everywhere(WlWindow* window) {
    if (!compositor || (!layer_shell && !wm_base)) return;
    for (auto& output : outputs)
        if (!output->surface && shows_on(*output)) show_on_output(window, output.get());
    wl_display_roundtrip(display);  // the sizes, before the program draws
}

void hide(WlWindow* window) {
    for (auto& shown : window->surfaces) destroy_surface(shown.get());
    window->surfaces.clear();
}

// A full-screen window takes the size of its largest surface, which the
// program's picture is drawn at, and so do the windows inside it: the
// compositor owns the modes, whatever size the program asked for.
void resize(WlWindow* window, int width, int height) {
    if (width == window->reported_width && height == window->reported_height) return;
    window->reported_width = window->width = width;
    window->reported_height = window->height = height;
    layer_core_resized(window->handle, width, height);
}

void report_sizes() {
    for (WlWindow& top : windows) {
        WlSurface* primary = top.full_screen ? wl_primary_surface(top.handle) : nullptr;
        if (!primary) continue;
        resize(&top, primary->width, primary->height);
        for (WlWindow& child : windows)
            if (child.parent == top.handle) resize(&child, primary->width, primary->height);
    }
}

// A fullscreen toplevel that loses activation has lost the user to another
// window: the program is deactivated, as on X11. Any of its toplevels being
// active keeps it active, and the toplevels' first configures, before the
// compositor activates one, are no change.
void follow_activation() {
    bool any_toplevel = false, active = false;
    for (WlWindow& window : windows)
        for (auto& shown : window.surfaces) {
            any_toplevel = any_toplevel || shown->toplevel;
            active = active || shown->activated;
        }
    if (!any_toplevel) return;
    if (active) toplevel_activated = true;
    if (!toplevel_activated || active == app_active) return;
    app_active = active;
    layer_core_activate_app(active);
}

// ---- outputs ----

void output_geometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                     int32_t) {}

void output_mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
    WlOutput* output = static_cast<WlOutput*>(data);
    output->width = width;
    output->height = height;
}

void output_done(void* data, wl_output*) {
    static_cast<WlOutput*>(data)->done = true;
}
void output_scale(void*, wl_output*, int32_t) {}
void output_name(void* data, wl_output*, const char* name) {
    static_cast<WlOutput*>(data)->name = name;
}
void output_description(void*, wl_output*, const char*) {}

const wl_output_listener output_listener = {output_geometry, output_mode, output_done,
                                            output_scale,    output_name, output_description};

void output_added(uint32_t global, uint32_t version) {
    auto output = std::make_unique<WlOutput>();
    output->global = global;
    output->output = static_cast<wl_output*>(
        wl_registry_bind(registry, global, &wl_output_interface, std::min<uint32_t>(version, 4)));
    wl_output_add_listener(output->output, &output_listener, output.get());
    outputs.push_back(std::move(output));
}

// An output that comes during the run gets the picture too, once the
// compositor has told its size and name.
void show_on_new_outputs() {
    for (WlWindow& window : windows)
        if (window.full_screen && window.visible)
            for (auto& output : outputs)
                if (!output->surface && shows_on(*output)) show_on_output(&window, output.get());
}

void output_removed(uint32_t global) {
    for (size_t i = 0; i < outputs.size(); ++i) {
        WlOutput* output = outputs[i].get();
        if (output->global != global) continue;
        for (WlWindow& window : windows)
            if (output->surface) {
                for (auto& shown : window.surfaces)
                    if (shown.get() == output->surface) {
                        remove_surface(&window, shown.get());
                        break;
                    }
            }
        if (wl_output_get_version(output->output) >= 3)
            wl_output_release(output->output);
        else
            wl_output_destroy(output->output);
        outputs.erase(outputs.begin() + i);
        return;
    }
}

// ---- input ----

unsigned held_modifiers() {
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
    xkb_keymap* made = xkb_keymap_new_from_string(xkb, text, XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (!made) return;
    if (key_state) xkb_state_unref(key_state);
    if (keymap) xkb_keymap_unref(keymap);
    keymap = made;
    key_state = xkb_state_new(keymap);
}

void keyboard_enter(void*, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*) {
    if (WlWindow* window = window_of_surface(surface)) keyboard_window = window->handle;
}

// A layer surface with exclusive keyboard interactivity loses the keyboard
// only when the keyboard itself goes (a virtual keyboard's client ends, a
// device is unplugged) or a lock screen takes the seat: neither is the user
// turning to another window. A fullscreen toplevel's activation comes with
// its configure instead.
void keyboard_leave(void*, wl_keyboard*, uint32_t, wl_surface*) {
    keyboard_window = nullptr;
}

void keyboard_key(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    if (!key_state) return;
    LayerRawKey raw = {};
    raw.code = (key + 8) & 0xFF;
    raw.vk = x11_vk_from_keysym(xkb_state_key_get_one_sym(key_state, key + 8));
    raw.scan = x11_scan_from_keycode(key + 8, &raw.extended);
    raw.down = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    raw.modifiers = held_modifiers();
    layer_core_raw_key(&raw);
}

void keyboard_modifiers(void*, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                        uint32_t group) {
    if (key_state) xkb_state_update_mask(key_state, depressed, latched, locked, 0, 0, group);
}

void keyboard_repeat(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener keyboard_listener = {keyboard_keymap, keyboard_enter,     keyboard_leave,
                                                keyboard_key,    keyboard_modifiers, keyboard_repeat};

// The program's window under the pointer: the last made of the full-screen
// window's children that holds the point, else the window itself.
HWND window_at(HWND top, int x, int y) {
    HWND found = top;
    for (WlWindow& window : windows)
        if (window.parent == top && window.visible && x >= window.x && y >= window.y && x < window.x + window.width &&
            y < window.y + window.height)
            found = window.handle;
    return found;
}

// Where the pointer is in the client area of the program's window under
// it. A full-screen window sits at the screen's corner, so its client
// coordinates are the position GetCursorPos tells.
bool pointer_client(HWND* window, int* x, int* y) {
    WlWindow* top = window_of_surface(pointer_surface);
    if (!top) return false;
    *x = cursor.x;
    *y = cursor.y;
    *window = window_at(top->handle, *x, *y);
    if (WlWindow* child = find_window(*window); child && child->parent) {
        *x -= child->x;
        *y -= child->y;
    }
    return true;
}

unsigned buttons_held;  // as layer_button_bit masks

void pointer_enter(void*, wl_pointer* from, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
    pointer_surface = surface;
    pointer_x = x;
    pointer_y = y;
    pointer_serial = serial;
    // The full-screen windows hide the pointer.
    if (window_of_surface(surface)) wl_pointer_set_cursor(from, serial, nullptr, 0, 0);
}

void pointer_leave(void*, wl_pointer*, uint32_t, wl_surface*) {
    pointer_surface = nullptr;
}

void pointer_motion(void*, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    cursor.x += (int)wl_fixed_to_double(x - pointer_x);
    cursor.y += (int)wl_fixed_to_double(y - pointer_y);
    pointer_x = x;
    pointer_y = y;
    LayerRawMotion motion = {};
    if (!pointer_client(&motion.window, &motion.x, &motion.y)) return;
    motion.screen_x = cursor.x;
    motion.screen_y = cursor.y;
    motion.buttons = buttons_held;
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
    raw.screen_x = cursor.x;
    raw.screen_y = cursor.y;
    raw.button = button;
    raw.down = down;
    raw.time = time;
    raw.buttons = buttons_held;
    raw.modifiers = held_modifiers();
    layer_core_raw_button(&raw);
}

void pointer_button(void*, wl_pointer*, uint32_t, uint32_t time, uint32_t code, uint32_t state) {
    bool down = state == WL_POINTER_BUTTON_STATE_PRESSED;
    unsigned button = layer_button(code);
    pointer_press(button, down, time);
    buttons_held = down ? buttons_held | layer_button_bit(button) : buttons_held & ~layer_button_bit(button);
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

void seat_capabilities(void*, wl_seat*, uint32_t caps) {
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !keyboard) {
        keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(keyboard, &keyboard_listener, nullptr);
    } else if (!(caps & WL_SEAT_CAPABILITY_KEYBOARD) && keyboard) {
        wl_keyboard_release(keyboard);
        keyboard = nullptr;
        keyboard_window = nullptr;
    }
    if ((caps & WL_SEAT_CAPABILITY_POINTER) && !pointer) {
        pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(pointer, &pointer_listener, nullptr);
    } else if (!(caps & WL_SEAT_CAPABILITY_POINTER) && pointer) {
        wl_pointer_release(pointer);
        pointer = nullptr;
        pointer_surface = nullptr;
    }
}

void seat_name(void*, wl_seat*, const char*) {}

const wl_seat_listener seat_listener = {seat_capabilities, seat_name};

void wm_base_ping(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}

const xdg_wm_base_listener wm_base_listener = {wm_base_ping};

// ---- the registry ----

void global_added(void*, wl_registry*, uint32_t global, const char* interface, uint32_t version) {
    if (strcmp(interface, wl_compositor_interface.name) == 0) {
        compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, global, &wl_compositor_interface, std::min(version, 4u)));
    } else if (strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        layer_shell = static_cast<zwlr_layer_shell_v1*>(
            wl_registry_bind(registry, global, &zwlr_layer_shell_v1_interface, std::min(version, 3u)));
    } else if (strcmp(interface, xdg_wm_base_interface.name) == 0) {
        wm_base = static_cast<xdg_wm_base*>(wl_registry_bind(registry, global, &xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(wm_base, &wm_base_listener, nullptr);
    } else if (strcmp(interface, wl_seat_interface.name) == 0 && !seat && !handed_over) {
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, global, &wl_seat_interface, std::min(version, 5u)));
        wl_seat_add_listener(seat, &seat_listener, nullptr);
    } else if (strcmp(interface, wl_output_interface.name) == 0) {
        output_added(global, version);
    }
}

void global_removed(void*, wl_registry*, uint32_t global) {
    output_removed(global);
}

const wl_registry_listener registry_listener = {global_added, global_removed};

// ---- the table ----

// The compositor's socket as the environment names it, and why there is
// none to try (empty when there is one). libwayland would say the latter in
// a line of its own.
std::string socket_name(std::string* missing) {
    const char* name = getenv("WAYLAND_DISPLAY");
    std::string socket = name && *name ? name : "wayland-0";
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    missing->clear();
    if (!getenv("WAYLAND_SOCKET") && socket[0] != '/' && !(runtime && *runtime))
        *missing = "XDG_RUNTIME_DIR is not set";
    return socket;
}

void connect() {
    handed_over = getenv("WAYLAND_SOCKET");
    const char* output = getenv("SWAYLOCK_PLUGIN_OUTPUT_NAME");
    only_output = handed_over && output ? output : "";
    display = wl_display_connect(nullptr);
}

// A compositor is asked for only where the environment names one: a
// connection handed over in WAYLAND_SOCKET (which connecting takes, so the
// connection is kept for open) or a WAYLAND_DISPLAY.
bool wl_answers() {
    const char* name = getenv("WAYLAND_DISPLAY");
    std::string missing;
    socket_name(&missing);
    if (!display && ((name && *name) || getenv("WAYLAND_SOCKET")) && missing.empty()) connect();
    return display;
}

bool wl_open() {
    if (registry) return true;
    std::string missing, socket = socket_name(&missing);
    if (!display && missing.empty()) connect();
    if (!display) {
        if (getenv("WAYLAND_SOCKET"))
            fprintf(stderr, "%s: the Wayland connection handed over in WAYLAND_SOCKET is not usable\n",
                    program_invocation_short_name);
        else
            fprintf(stderr, "%s: cannot connect to the Wayland compositor \"%s\"%s%s\n", program_invocation_short_name,
                    socket.c_str(), missing.empty() ? "" : ": ", missing.c_str());
        return false;
    }
    xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, nullptr);
    wl_display_roundtrip(display);  // the globals
    wl_display_roundtrip(display);  // the outputs' modes and the seat
    if (!compositor || (!layer_shell && !wm_base)) {
        fprintf(stderr, "%s: the Wayland compositor offers no way to show a full-screen window\n",
                program_invocation_short_name);
        wl_display_disconnect(display);
        display = nullptr;
        registry = nullptr;
        return false;
    }
    int width, height;
    largest_output_size(&width, &height);
    cursor = {width / 2, height / 2};
    return true;
}

void wl_close() {
    if (!display) return;
    for (WlWindow& window : windows) hide(&window);
    windows.clear();
    wl_display_disconnect(display);
    display = nullptr;
    registry = nullptr;
}

bool covers_screen(const LayerWindowDesc* desc) {
    int width, height;
    largest_output_size(&width, &height);
    return desc->x <= 0 && desc->y <= 0 && desc->x + desc->width >= width && desc->y + desc->height >= height;
}

HWND wl_create_window(const LayerWindowDesc* desc) {
    WlWindow window{};
    next_handle += 4;
    window.handle = reinterpret_cast<HWND>(next_handle);
    window.parent = desc->parent;
    window.full_screen =
        !desc->parent && (desc->style & WS_POPUP) && (desc->ex_style & WS_EX_TOPMOST) && covers_screen(desc);
    if (!desc->parent && !window.full_screen)
        layer_fixme_once("a window that does not cover the screen (\"%s\") is not shown on Wayland",
                         desc->class_name ? desc->class_name : "");
    window.x = desc->x;
    window.y = desc->y;
    window.width = window.reported_width = desc->width;
    window.height = window.reported_height = desc->height;
    windows.push_back(std::move(window));
    return windows.back().handle;
}

void wl_destroy_window(HWND handle) {
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i].handle != handle) continue;
        hide(&windows[i]);
        if (keyboard_window == handle) keyboard_window = nullptr;
        windows.erase(windows.begin() + i);
        break;
    }
    wl_display_flush(display);
}

void wl_set_title(HWND, const char*) {}

void wl_show_window(HWND handle, bool visible) {
    WlWindow* window = find_window(handle);
    if (!window || window->visible == visible) return;
    window->visible = visible;
    if (!window->full_screen) return;
    if (visible)
        show_everywhere(window);
    else {
        hide(window);
    }
    wl_display_flush(display);
}

void wl_set_window_rect(HWND handle, int x, int y, int width, int height) {
    if (WlWindow* window = find_window(handle)) {
        window->x = x;
        window->y = y;
        window->width = width;
        window->height = height;
    }
}

// The compositor gives the focus; a layer surface takes the keyboard as it
// maps.
void wl_set_foreground(HWND handle) {
    if (find_window(toplevel_of(handle))) app_active = true;
}

HWND wl_get_foreground() {
    return app_active ? keyboard_window : nullptr;
}

bool wl_get_cursor_pos(POINT* point) {
    *point = cursor;
    return true;
}

// Clients can't move the pointer on Wayland: only the position the program
// reads moves.
bool wl_set_cursor_pos(int x, int y) {
    cursor = {x, y};
    return true;
}

void wl_set_cursor_visible(HWND, bool) {}

void wl_get_screen_size(int* width, int* height) {
    largest_output_size(width, height);
}

// Reads and dispatches what the compositor sent; false when the connection
// broke.
bool read_events(int timeout_ms) {
    while (wl_display_prepare_read(display) != 0)
        if (wl_display_dispatch_pending(display) < 0) return false;
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        return false;
    }
    pollfd connection = {wl_display_get_fd(display), POLLIN, 0};
    int ready = poll(&connection, 1, timeout_ms < 0 ? -1 : timeout_ms);
    if (ready > 0) {
        if (wl_display_read_events(display) < 0) return false;
    } else {
        wl_display_cancel_read(display);
        if (ready < 0 && errno != EINTR) return false;
    }
    return wl_display_dispatch_pending(display) >= 0 && wl_display_get_error(display) == 0;
}

// The compositor went away. The run a lock program hosted ends with its
// connection, quietly: its windows are gone, as when a daemon's window
// goes on X, and the program ends with 0 as after any run.
bool connection_closed() {
    if (!handed_over) return false;
    if (connection_gone) ExitProcess(0);  // the program went on without its windows
    connection_gone = true;
    std::vector<HWND> tops;
    for (WlWindow& window : windows)
        if (!window.parent) tops.push_back(window.handle);
    for (WlWindow& window : windows) hide(&window);
    windows.clear();
    for (HWND top : tops) layer_core_native_destroyed(top);
    return true;
}

bool wl_process_events(int timeout_ms) {
    if (!display) return false;
    if (connection_gone || !read_events(timeout_ms)) return connection_closed();
    show_on_new_outputs();
    // Surfaces that the compositor closed (their output went) go.
    for (WlWindow& window : windows)
        for (size_t i = window.surfaces.size(); i-- > 0;)
            if (window.surfaces[i]->closed) remove_surface(&window, window.surfaces[i].get());
    report_sizes();
    follow_activation();
    wl_display_flush(display);
    return true;
}

const LayerCursorDriver cursor_driver = {wl_get_cursor_pos, wl_set_cursor_pos, wl_set_cursor_visible};

// The compositor owns the outputs' modes and a full-screen window takes each
// output's size, whatever size the program asked for. So the modes told are
// the largest output's and the usual smaller sizes, and a switch to one is
// granted without a change: no prompt for a mode the program could not get,
// and nothing to restore.
int wl_list_modes(LayerDisplayMode* modes, int max) {
    static const LayerDisplayMode usual[] = {{640, 480, 0},   {800, 600, 0},   {1024, 768, 0},  {1152, 864, 0},
                                             {1280, 720, 0},  {1280, 1024, 0}, {1600, 1200, 0}, {1920, 1080, 0},
                                             {2560, 1440, 0}, {3840, 2160, 0}};
    int width, height, count = 0;
    largest_output_size(&width, &height);
    auto add = [&](const LayerDisplayMode& mode) {
        if (count < max) modes[count] = mode;
        ++count;
    };
    add({width, height, 0});
    for (const LayerDisplayMode& mode : usual)
        if (mode.width <= width && mode.height <= height && (mode.width != width || mode.height != height)) add(mode);
    return count;
}

bool wl_current_mode(LayerDisplayMode* mode, int* bits) {
    largest_output_size(&mode->width, &mode->height);
    mode->refresh = 0;
    *bits = 32;
    return true;
}

bool wl_set_mode(const LayerDisplayMode*) {
    return true;
}

void wl_keep_modes() {}

const LayerModeDriver mode_driver = {wl_list_modes, wl_current_mode, wl_set_mode,
                                     wl_keep_modes, wl_keep_modes,   wl_keep_modes};

}  // namespace

// No client sees another's windows on Wayland: no foreign windows. Nothing
// can show a box or a dialog over the full-screen surfaces, which hold the
// keyboard.
const LayerDriver* layer_wayland_driver() {
    static const LayerDriver driver = {
        "wayland",         wl_answers,         wl_open,           wl_close,           wl_create_window,
        wl_destroy_window, wl_set_title,       wl_show_window,    wl_set_window_rect, wl_set_foreground,
        wl_get_foreground, wl_get_screen_size, wl_process_events,
        nullptr,  // reset: nothing a test sets
        &cursor_driver,
        nullptr,  // foreign
        wl_gl_driver(),    &mode_driver,
        nullptr,  // message_box
        nullptr,  // dialog
    };
    return &driver;
}

wl_display* wl_driver_display() {
    return display;
}

bool wl_read_events(int timeout_ms) {
    return display && !connection_gone && read_events(timeout_ms);
}

WlSurface* wl_primary_surface(HWND handle) {
    WlWindow* top = find_window(toplevel_of(handle));
    if (!top) return nullptr;
    WlSurface* largest = nullptr;
    for (auto& shown : top->surfaces)
        if (shown->egl_surface &&
            (!largest || (long)shown->width * shown->height > (long)largest->width * largest->height))
            largest = shown.get();
    return largest;
}

std::vector<WlSurface*> wl_other_surfaces(HWND handle) {
    std::vector<WlSurface*> others;
    WlSurface* primary = wl_primary_surface(handle);
    if (WlWindow* top = find_window(toplevel_of(handle)))
        for (auto& shown : top->surfaces)
            if (shown.get() != primary && shown->egl_surface) others.push_back(shown.get());
    return others;
}
