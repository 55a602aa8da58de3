// A window procedure that keeps the key and mouse messages it gets, in
// order, for the tests of input on either driver.
#pragma once

#include "message_log.h"

#include <vector>

#include <windows.h>

// What input_logging_proc got, oldest first.
inline std::vector<LoggedMessage> input_log;

inline bool is_input_message(UINT message) {
    return (message >= WM_KEYDOWN && message <= WM_SYSKEYUP) || (message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL);
}

inline LRESULT CALLBACK input_logging_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (is_input_message(message)) input_log.push_back({window, message, wparam, lparam});
    return DefWindowProcA(window, message, wparam, lparam);
}
