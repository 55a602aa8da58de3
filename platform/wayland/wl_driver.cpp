// The Wayland driver: the connection to the compositor, its registry, the
// program's windows (handles are the driver's own numbers: Wayland has no
// global window ids; the core keeps their tree and sizes) and the event
// pump. layer_wayland_driver() is the table the core uses; the outputs,
// the seats and the surfaces have files of their own.
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
#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/un.h>

#include <algorithm>
#include <chrono>

WlState wayland_state;

namespace {

void wm_base_ping(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}

const xdg_wm_base_listener wm_base_listener = {wm_base_ping};

// ---- the registry ----

void global_added(void*, wl_registry* registry, uint32_t global, const char* interface, uint32_t version) {
    if (strcmp(interface, wl_compositor_interface.name) == 0) {
        wayland_state.compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, global, &wl_compositor_interface, std::min(version, 4u)));
    } else if (strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        wayland_state.layer_shell = static_cast<zwlr_layer_shell_v1*>(
            wl_registry_bind(registry, global, &zwlr_layer_shell_v1_interface, std::min(version, 3u)));
    } else if (strcmp(interface, xdg_wm_base_interface.name) == 0) {
        wayland_state.wm_base =
            static_cast<xdg_wm_base*>(wl_registry_bind(registry, global, &xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(wayland_state.wm_base, &wm_base_listener, nullptr);
    } else if (strcmp(interface, wp_viewporter_interface.name) == 0) {
        wayland_state.viewporter =
            static_cast<wp_viewporter*>(wl_registry_bind(registry, global, &wp_viewporter_interface, 1));
    } else if (strcmp(interface, wp_fractional_scale_manager_v1_interface.name) == 0) {
        wayland_state.fractional_scale_manager = static_cast<wp_fractional_scale_manager_v1*>(
            wl_registry_bind(registry, global, &wp_fractional_scale_manager_v1_interface, 1));
    } else if (strcmp(interface, wl_seat_interface.name) == 0) {
        wayland_seat_added(global, version);
    } else if (strcmp(interface, wl_output_interface.name) == 0) {
        wayland_output_added(global, version);
    }
}

void global_removed(void*, wl_registry*, uint32_t global) {
    if (!wayland_seat_removed(global)) wayland_output_removed(global);
}

const wl_registry_listener registry_listener = {global_added, global_removed};

// ---- the connection ----

// How long start-up waits for the compositor to answer: far longer than
// any compositor takes, even on a loaded machine, and short enough that a
// stopped or hung one is reported rather than waited for.
constexpr int answer_wait_ms = 10000;

// A value from the environment as an error line shows it: quoted, and
// escaped so that nothing in it reaches the terminal raw.
std::string quoted(const std::string& value) {
    return "\"" + layer_printable(value.c_str()) + "\"";
}

// The compositor's socket as the environment names it, and why there is
// none to try (empty when there is one). libwayland would say the latter in
// a line of its own, beside ours.
std::string socket_name(std::string* missing) {
    const char* name = getenv("WAYLAND_DISPLAY");
    std::string socket = name && *name ? name : "wayland-0";
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    missing->clear();
    if (getenv("WAYLAND_SOCKET")) return socket;
    std::string path = socket;
    if (socket[0] != '/') {
        if (!runtime || !*runtime)
            *missing = "XDG_RUNTIME_DIR is not set";
        else if (runtime[0] != '/')
            *missing = "XDG_RUNTIME_DIR=" + quoted(runtime) + " is not an absolute path";
        path = std::string(runtime ? runtime : "") + "/" + socket;
    }
    const size_t longest = sizeof sockaddr_un().sun_path - 1;
    if (missing->empty() && path.size() > longest)
        *missing = "its socket's path is longer than " + std::to_string(longest) + " bytes";
    return socket;
}

void connect() {
    const char* handed = getenv("WAYLAND_SOCKET");
    wayland_state.handed_over = handed;
    const char* output = getenv("SWAYLOCK_PLUGIN_OUTPUT_NAME");
    wayland_state.only_output = wayland_state.handed_over && output ? output : "";
    std::string missing;
    wayland_state.compositor_name = handed ? "the Wayland compositor of WAYLAND_SOCKET=" + quoted(handed)
                                           : "the Wayland compositor " + quoted(socket_name(&missing));
    wayland_state.display = wl_display_connect(nullptr);
}

// A compositor is asked for only where the environment names one: a
// connection handed over in WAYLAND_SOCKET (which connecting takes, so the
// connection is kept for open) or a WAYLAND_DISPLAY.
bool wayland_named() {
    const char* name = getenv("WAYLAND_DISPLAY");
    return (name && *name) || getenv("WAYLAND_SOCKET");
}

bool wayland_answers() {
    std::string missing;
    socket_name(&missing);
    if (!wayland_state.display && wayland_named() && missing.empty()) connect();
    return wayland_state.display;
}

void disconnect() {
    wl_display_disconnect(wayland_state.display);
    wayland_state.display = nullptr;
    wayland_state.registry = nullptr;
}

bool wayland_open() {
    if (wayland_state.registry) return true;
    std::string missing, socket = socket_name(&missing);
    if (!wayland_state.display && missing.empty()) connect();
    if (!wayland_state.display) {
        const char* handed = getenv("WAYLAND_SOCKET");
        if (handed)
            fprintf(stderr, "%s: the Wayland connection handed over in WAYLAND_SOCKET=%s is not usable\n",
                    program_invocation_short_name, quoted(handed).c_str());
        else
            fprintf(stderr, "%s: cannot connect to the Wayland compositor %s: %s\n", program_invocation_short_name,
                    quoted(socket).c_str(), missing.empty() ? strerror(errno) : missing.c_str());
        return false;
    }
    wayland_state.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    wayland_state.registry = wl_display_get_registry(wayland_state.display);
    wl_registry_add_listener(wayland_state.registry, &registry_listener, nullptr);
    for (const char* step : {"for its globals", "for its outputs and seats"})
        if (!wayland_roundtrip(step)) {
            fprintf(stderr, "%s: lost the connection to %s while asking it %s\n", program_invocation_short_name,
                    wayland_state.compositor_name.c_str(), step);
            disconnect();
            return false;
        }
    if (!wayland_state.compositor || (!wayland_state.layer_shell && !wayland_state.wm_base)) {
        fprintf(stderr, "%s: %s offers no way to show a full-screen window\n", program_invocation_short_name,
                wayland_state.compositor_name.c_str());
        disconnect();
        return false;
    }
    int width, height;
    wayland_largest_output_size(&width, &height);
    wayland_state.cursor = {width / 2, height / 2};
    return true;
}

void wayland_close() {
    if (!wayland_state.display) return;
    for (WlWindow& window : wayland_state.full_screen_windows) wayland_hide(&window);
    wayland_state.full_screen_windows.clear();
    disconnect();
}

// Reads and dispatches what the compositor sent; false when the connection
// broke.
bool read_events(int timeout_ms) {
    wl_display* display = wayland_state.display;
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

void sync_done(void* data, wl_callback* callback, uint32_t) {
    wl_callback_destroy(callback);
    *static_cast<wl_callback**>(data) = nullptr;
}

const wl_callback_listener sync_listener = {sync_done};

// The compositor went away. The run a lock program hosted ends with its
// connection, quietly: its windows are gone, as when a daemon's window
// goes on X, and the program ends with 0 as after any run.
bool connection_closed() {
    if (!wayland_state.handed_over) wayland_connection_lost();
    if (wayland_state.connection_gone) ExitProcess(0);  // the program went on without its windows
    wayland_state.connection_gone = true;
    std::vector<HWND> tops = layer_core_children(nullptr);
    for (WlWindow& window : wayland_state.full_screen_windows) wayland_hide(&window);
    wayland_state.full_screen_windows.clear();
    for (HWND top : tops) layer_core_native_destroyed(top);
    return true;
}

bool wayland_process_events(int timeout_ms) {
    if (!wayland_state.display) return false;
    if (wayland_state.connection_gone || !read_events(timeout_ms)) return connection_closed();
    wayland_follow_surfaces();
    wl_display_flush(wayland_state.display);
    return true;
}

// ---- windows ----

bool covers_screen(const LayerWindowDesc* desc) {
    int width, height;
    wayland_largest_output_size(&width, &height);
    return desc->x <= 0 && desc->y <= 0 && desc->x + desc->width >= width && desc->y + desc->height >= height;
}

HWND wayland_create_window(const LayerWindowDesc* desc) {
    wayland_state.next_handle += 4;
    HWND handle = reinterpret_cast<HWND>(wayland_state.next_handle);
    if (!desc->parent && (desc->style & WS_POPUP) && (desc->ex_style & WS_EX_TOPMOST) && covers_screen(desc))
        wayland_state.full_screen_windows.push_back(WlWindow{handle, false, {}});
    else if (!desc->parent)
        layer_fixme_once("a window that does not cover the screen (\"%s\") is not shown on Wayland",
                         desc->class_name ? desc->class_name : "");
    return handle;
}

void wayland_destroy_window(HWND handle) {
    auto& windows = wayland_state.full_screen_windows;
    auto found = std::find_if(windows.begin(), windows.end(), [&](auto& window) { return window.handle == handle; });
    if (found != windows.end()) {
        wayland_hide(&*found);
        windows.erase(found);
    }
    wayland_seats_forget_window(handle);
    wl_display_flush(wayland_state.display);
}

void wayland_set_title(HWND, const char*) {}

void wayland_show_window(HWND handle, bool visible) {
    WlWindow* window = wayland_find_window(handle);
    if (!window || window->visible == visible) return;
    window->visible = visible;
    if (visible)
        wayland_show_everywhere(window);
    else
        wayland_hide(window);
    wl_display_flush(wayland_state.display);
}

// The core keeps the place and size; a full-screen window's surfaces take
// their outputs' sizes whatever it is given.
void wayland_set_window_rect(HWND, int, int, int, int) {}

// The compositor gives the focus; a layer surface takes the keyboard as it
// maps.
void wayland_set_foreground(HWND handle) {
    if (layer_core_owns(handle)) wayland_state.app_active = true;
}

HWND wayland_get_foreground() {
    return wayland_state.app_active ? wayland_keyboard_window() : nullptr;
}

void wayland_get_screen_size(int* width, int* height) {
    wayland_largest_output_size(width, height);
}

}  // namespace

WlWindow* wayland_find_window(HWND handle) {
    for (WlWindow& window : wayland_state.full_screen_windows)
        if (window.handle == handle) return &window;
    return nullptr;
}

WlWindow* wayland_window_of_surface(wl_surface* surface) {
    if (!surface) return nullptr;
    for (WlWindow& window : wayland_state.full_screen_windows)
        for (auto& shown : window.surfaces)
            if (shown->surface == surface) return &window;
    return nullptr;
}

// No client sees another's windows on Wayland: no foreign windows. Nothing
// can show a box or a dialog over the full-screen surfaces, which hold the
// keyboard.
const LayerDriver* layer_wayland_driver() {
    static const LayerDriver driver = {
        "wayland",
        wayland_answers,
        wayland_named,
        wayland_open,
        wayland_close,
        wayland_create_window,
        wayland_destroy_window,
        wayland_set_title,
        wayland_show_window,
        wayland_set_window_rect,
        wayland_set_foreground,
        wayland_get_foreground,
        wayland_get_screen_size,
        wayland_process_events,
        nullptr,  // reset: nothing a test sets
        wayland_cursor_driver(),
        nullptr,  // foreign
        wayland_gl_driver(),
        wayland_mode_driver(),
        nullptr,  // message_box
        nullptr,  // dialog
    };
    return &driver;
}

wl_display* wayland_driver_display() {
    return wayland_state.display;
}

bool wayland_read_events(int timeout_ms) {
    return wayland_state.display && !wayland_state.connection_gone && read_events(timeout_ms);
}

bool wayland_roundtrip(const char* step) {
    wl_callback* sync = wl_display_sync(wayland_state.display);
    wl_callback_add_listener(sync, &sync_listener, &sync);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(answer_wait_ms);
    while (sync) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            fprintf(stderr, "%s: %s did not answer within %d s when asked %s\n", program_invocation_short_name,
                    wayland_state.compositor_name.c_str(), answer_wait_ms / 1000, step);
            ExitProcess(1);
        }
        if (!read_events(static_cast<int>(left.count()))) {
            wl_callback_destroy(sync);
            return false;
        }
    }
    return true;
}

void wayland_connection_lost() {
    if (wayland_state.handed_over) ExitProcess(0);  // a lock program's run ends with its connection
    fprintf(stderr, "%s: lost the connection to %s\n", program_invocation_short_name,
            wayland_state.compositor_name.c_str());
    ExitProcess(1);
}
