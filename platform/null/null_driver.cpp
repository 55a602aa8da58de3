// The null driver: windows in memory, a settable screen, cursor and
// foreground window, and no display. The program's logic and the layer's
// conformance tests run on it without an X server. Besides layer_null_driver
// it implements the parts of the test seam that stand in for the display.
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <map>
#include <string>
#include <strings.h>
#include <set>

#include <layer_test.h>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "null/null_private.h"
#include "user/user_internal.h"

namespace {

struct NativeWindow {
    HWND parent;  // 0 for a top-level window
    bool cursor_visible;
};

struct ForeignPost {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

struct ForeignWindow {
    int width, height;
    bool posted;
    ForeignPost last_post;
};

std::map<HWND, NativeWindow> natives;
std::map<HWND, ForeignWindow> foreigns;
uintptr_t next_handle = 0x10000;
int screen_width = 1024, screen_height = 768;
POINT cursor = {0, 0};
HWND foreground = nullptr;
HWND desktop = nullptr;
std::string refused_class;  // the next native window of this class fails

HWND new_handle() {
    // Not 0, and never reused within a run, so a stale handle stays dead.
    next_handle += 4;
    return reinterpret_cast<HWND>(next_handle);
}

bool null_open() {
    return true;
}

void null_close() {}

HWND null_create_window(const LayerWindowDesc* desc) {
    if (!refused_class.empty() && strcasecmp(refused_class.c_str(), desc->class_name) == 0) {
        refused_class.clear();
        return nullptr;
    }
    HWND handle = new_handle();
    natives[handle] = NativeWindow{desc->parent, true};
    return handle;
}

// Like an X server: a window takes its native children with it.
void destroy_native(HWND window) {
    std::vector<HWND> children;
    for (const auto& entry : natives) {
        if (entry.second.parent == window) children.push_back(entry.first);
    }
    for (HWND child : children) destroy_native(child);
    natives.erase(window);
    if (foreground == window) foreground = nullptr;
}

void null_destroy_window(HWND window) {
    destroy_native(window);
}

void null_set_title(HWND, const char*) {}
void null_show_window(HWND, bool) {}
void null_set_window_rect(HWND, int, int, int, int) {}

bool null_is_foreign_window(HWND window) {
    return foreigns.count(window) != 0;
}

bool null_get_foreign_client_rect(HWND window, RECT* rect) {
    auto it = foreigns.find(window);
    if (it == foreigns.end()) return false;
    *rect = RECT{0, 0, it->second.width, it->second.height};
    return true;
}

HWND null_find_window(const char* class_name, const char* title) {
    // This process is the only one with named windows.
    return user_find_top_level(class_name, title);
}

bool null_post_foreign(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto it = foreigns.find(window);
    if (it == foreigns.end()) return false;
    it->second.posted = true;
    it->second.last_post = ForeignPost{message, wparam, lparam};
    return true;
}

void null_set_foreground(HWND window) {
    foreground = window;
}

HWND null_get_foreground() {
    return foreground;
}

bool null_get_cursor_pos(POINT* point) {
    *point = cursor;
    return true;
}

bool null_set_cursor_pos(int x, int y) {
    cursor = POINT{x, y};
    return true;
}

void null_set_cursor_visible(HWND window, bool visible) {
    auto it = natives.find(window);
    if (it != natives.end()) it->second.cursor_visible = visible;
}

void null_get_screen_size(int* width, int* height) {
    *width = screen_width;
    *height = screen_height;
}

HWND null_desktop_window() {
    if (!foreigns.count(desktop)) {
        desktop = new_handle();
        foreigns[desktop] = ForeignWindow{screen_width, screen_height, false, {}};
    }
    return desktop;
}

bool null_process_events(int timeout_ms) {
    if (timeout_ms < 0) {
        fprintf(stderr,
                "null driver: the message loop waits for a message that can never come "
                "(nothing queued, no timer, no display); stopping instead of hanging\n");
        abort();
    }
    if (timeout_ms == 0) return true;
    if (layer_fake_clock_active()) {
        // Nothing to do until the next timer: the fake clock jumps there.
        layer_advance_ticks(static_cast<DWORD>(timeout_ms));
    } else {
        struct timespec wait = {timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
        nanosleep(&wait, nullptr);
    }
    return true;
}

// Back to a fresh state for the next test (layer_reset).
void null_reset() {
    natives.clear();
    foreigns.clear();
    screen_width = 1024;
    screen_height = 768;
    cursor = POINT{0, 0};
    foreground = nullptr;
    desktop = nullptr;
    refused_class.clear();
}

}  // namespace

const LayerDriver* layer_null_driver() {
    // Built on first use: the capability tables live in other files.
    static const LayerCursorDriver cursor = {null_get_cursor_pos, null_set_cursor_pos, null_set_cursor_visible};
    static const LayerForeignDriver foreign = {
        null_is_foreign_window, null_get_foreign_client_rect, null_find_window, null_post_foreign, null_desktop_window,
    };
    static const LayerDriver driver = {
        "null",
        nullptr,  // answers: used only when asked for
        nullptr,  // named
        null_open,
        null_close,
        null_create_window,
        null_destroy_window,
        null_set_title,
        null_show_window,
        null_set_window_rect,
        null_set_foreground,
        null_get_foreground,
        null_get_screen_size,
        null_process_events,
        null_reset,
        &cursor,
        &foreign,
        null_gl_driver(),
        null_mode_driver(),
        nullptr,  // message boxes: answered by the test seam or the default button
        nullptr,  // dialogs: run, but drawn nowhere
    };
    return &driver;
}

void layer_refuse_next_window(const char* class_name) {
    refused_class = class_name;
}

void layer_set_screen_size(int width, int height) {
    screen_width = width;
    screen_height = height;
}

void layer_set_cursor(int x, int y) {
    cursor = POINT{x, y};
}

bool layer_cursor_hidden(HWND window) {
    auto it = natives.find(window);
    return it != natives.end() && !it->second.cursor_visible;
}

HWND layer_create_foreign_window(int width, int height) {
    HWND handle = new_handle();
    foreigns[handle] = ForeignWindow{width, height, false, {}};
    return handle;
}

void layer_destroy_foreign_window(HWND window) {
    if (!foreigns.erase(window)) return;
    if (foreground == window) foreground = nullptr;
    // The program's windows inside it go with it, as their owner would see.
    std::vector<HWND> inside;
    for (const auto& entry : natives) {
        if (entry.second.parent == window) inside.push_back(entry.first);
    }
    for (HWND child : inside) {
        destroy_native(child);
        layer_core_native_destroyed(child);
    }
}

void layer_resize_foreign_window(HWND window, int width, int height) {
    auto it = foreigns.find(window);
    if (it == foreigns.end()) return;
    it->second.width = width;
    it->second.height = height;
    if (window == layer_hosted_window()) layer_core_host_resized(window, width, height);
}

bool layer_last_foreign_post(HWND window, UINT* message, WPARAM* wparam, LPARAM* lparam) {
    auto it = foreigns.find(window);
    if (it == foreigns.end() || !it->second.posted) return false;
    *message = it->second.last_post.message;
    *wparam = it->second.last_post.wparam;
    *lparam = it->second.last_post.lparam;
    return true;
}

void layer_set_foreground(HWND window) {
    foreground = window;
}

void layer_set_app_active(bool active) {
    layer_core_activate_app(active);
}
