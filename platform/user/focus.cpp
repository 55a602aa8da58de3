// Activation and focus: which top-level window of the program is the active
// one, which window has the keyboard focus, and whether the application is
// in front, with the messages Windows sends as they change. The window tree
// (windows.cpp) tells this file when a window shows, hides or goes.
#include "user/user_internal.h"

#include "layer_driver.h"

namespace {

HWND active_window = nullptr;
HWND focus_window = nullptr;
bool app_active = false;

LRESULT send(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendMessageA(handle, message, wparam, lparam);
}

void send_to_top_levels(UINT message, WPARAM wparam, LPARAM lparam) {
    for (HWND handle : user_top_level_windows()) {
        if (user_window(handle)) send(handle, message, wparam, lparam);
    }
}

void set_app_active(bool active) {
    if (app_active == active) return;
    app_active = active;
    send_to_top_levels(WM_ACTIVATEAPP, active, 0);
}

HWND other_visible_top_level(HWND excluded) {
    for (HWND handle : user_top_level_windows()) {
        Window* w = user_window(handle);
        if (handle != excluded && !w->destroying && (w->style & WS_VISIBLE)) return handle;
    }
    return nullptr;
}

}  // namespace

// Makes an own top-level window the active one, with the messages Windows
// sends: WM_ACTIVATEAPP when the application comes to the front, then
// WM_ACTIVATE to the old and the new window (DefWindowProcA focuses it).
void user_activate(HWND handle) {
    layer_driver()->set_foreground(handle);
    set_app_active(true);
    if (active_window == handle) return;
    HWND previous = active_window;
    active_window = handle;
    if (user_window(previous)) send(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(handle));
    if (user_window(handle)) send(handle, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
}

// The active window is going (hidden or destroyed): another window of the
// program takes over, or the application loses activation.
void user_deactivate(HWND handle) {
    if (active_window != handle) return;
    active_window = nullptr;
    user_drop_focus_within(handle);
    HWND next = other_visible_top_level(handle);
    if (next) {
        user_activate(next);
    } else {
        set_app_active(false);
    }
}

void user_drop_focus_within(HWND handle) {
    if (focus_window && (focus_window == handle || user_is_descendant(focus_window, handle))) focus_window = nullptr;
}

void user_forget_focus(HWND handle) {
    if (focus_window == handle) focus_window = nullptr;
    if (active_window == handle) active_window = nullptr;
}

void user_focus_reset() {
    active_window = nullptr;
    focus_window = nullptr;
    app_active = false;
}

void layer_core_activate_app(bool active) {
    if (active == app_active) return;
    if (active) {
        set_app_active(true);
        HWND foreground = layer_core_top_level(layer_driver()->get_foreground());
        if (foreground && !active_window) user_activate(foreground);
        return;
    }
    HWND previous = active_window;
    active_window = nullptr;
    if (user_window(previous)) send(previous, WM_ACTIVATE, WA_INACTIVE, 0);
    set_app_active(false);
    if (HWND lost = focus_window) {
        focus_window = nullptr;
        if (user_window(lost)) send(lost, WM_KILLFOCUS, 0, 0);
    }
}

extern "C" {

BOOL WINAPI SetForegroundWindow(HWND window) {
    if (user_window(window)) {
        HWND top = layer_core_top_level(window);
        user_activate(top);
        return TRUE;
    }
    if (user_is_foreign(window)) {
        layer_driver()->set_foreground(window);
        return TRUE;
    }
    return FALSE;
}

HWND WINAPI GetForegroundWindow(void) {
    // Without a display no window is in the foreground.
    const LayerDriver* driver = layer_open_driver();
    return driver ? driver->get_foreground() : nullptr;
}

HWND WINAPI GetActiveWindow(void) {
    return app_active ? active_window : nullptr;
}

HWND WINAPI SetFocus(HWND window) {
    HWND previous = focus_window;
    if (!window) {
        focus_window = nullptr;
        if (user_window(previous)) send(previous, WM_KILLFOCUS, 0, 0);
        return previous;
    }
    if (!user_window(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND top = layer_core_top_level(window);
    if (top != active_window) user_activate(top);
    if (focus_window == window || !user_window(window)) return previous;
    previous = focus_window;
    focus_window = window;
    if (user_window(previous)) send(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (user_window(window)) send(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

HWND WINAPI GetFocus(void) {
    return focus_window;
}

}  // extern "C"
