// Private to the layer's user part (and the null driver, which searches the
// core's windows): the window and class records and the bookkeeping that the
// user files share.
#pragma once

#include <functional>

#include <windows.h>

#include <string>
#include <vector>

struct WindowClass {
    std::string name;
    ATOM atom;
    UINT style;
    WNDPROC proc;
    HINSTANCE instance;
    HCURSOR cursor;
};

struct Window {
    HWND handle;
    ATOM class_atom;
    WNDPROC proc;
    HWND parent;  // for WS_CHILD windows; may be a foreign window
    HWND owner;   // for top-level windows created with a parent
    std::vector<HWND> children;
    DWORD style;  // WS_VISIBLE follows the window's actual visibility
    DWORD ex_style;
    std::string title;
    int x, y, width, height;
    HINSTANCE instance;
    bool destroying;
    bool needs_paint;
};

// Classes.
const WindowClass* user_find_class(LPCSTR name_or_atom);
const WindowClass* user_class_by_atom(ATOM atom);
void user_classes_reset();

// Windows: a live record (also while being destroyed), or null.
Window* user_window(HWND handle);
// The program's windows in creation order.
std::vector<HWND> user_window_list();
std::vector<HWND> user_top_level_windows();
bool user_is_descendant(HWND window, HWND ancestor);
HWND user_find_top_level(const char* class_name, const char* title);
void user_windows_reset();

// Activation and focus (focus.cpp), as windows show, hide and go: a shown
// top-level window becomes the active one; a hidden or destroyed one hands
// activation to another visible top-level window, or the application loses
// it; a window going takes the focus with it when the focus is inside it.
void user_activate(HWND handle);
void user_deactivate(HWND handle);
void user_drop_focus_within(HWND handle);
// Forgets the window as the active or focus window, without messages.
void user_forget_focus(HWND handle);
void user_focus_reset();

// Windows of other processes, through the driver's table: none when the
// driver has no such table.
bool user_is_foreign(HWND window);

// Messages and timers of a window that is going away.
void user_forget_window(HWND handle);
void user_messages_reset();

// Cursor visibility for a newly made window.
void user_apply_cursor(HWND handle);
void user_cursor_reset();
void user_sysparams_reset();

// ---- monitors.cpp ----
void user_monitors_reset();
// A test set monitors of its own (layer_set_monitors): the layer tells them
// as Windows does and leaves a full-screen picture's copies to the program.
bool user_monitors_left_to_program();
int user_monitor_count();
RECT user_monitor_bounds();  // all monitors, screen coordinates
void user_message_box_reset();

// Where raw pointer input last was, on screen; and forgetting it, the keys
// held and the last click (layer_reset).
POINT user_last_pointer();
void user_input_reset();
// Queues an input message for an own window; a mouse move replaces one of
// the same window that is last in the queue.
void user_queue_input(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Runs a modal loop for `window` until ended() or the window goes; consume
// may take messages for the window (and its children) before they are
// dispatched; hold_input (may be null: held from the start) asks the driver
// to give the window the keyboard and pointer. True when a quit request
// ended it; that request has been posted again.
bool user_modal_loop(HWND window, const std::function<bool()>& ended, bool (*hold_input)(HWND),
                     const std::function<bool(const MSG&)>& consume);
