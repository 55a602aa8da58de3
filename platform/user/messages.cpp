// The thread's message queue and timers: posting, sending, retrieval in
// Windows' order, dispatch, and the driver's entries for input.
#include "user/user_internal.h"

#include <stdio.h>

#include <algorithm>
#include <deque>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"

namespace {

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT period;
    TIMERPROC proc;
    DWORD next_due;
};

std::deque<MSG> posted;
std::deque<MSG> input;
bool quit_pending = false;
int quit_code = 0;
std::vector<Timer> timers;
UINT_PTR next_thread_timer_id = 1;

HWND const thread_messages_only = reinterpret_cast<HWND>(-1);

bool window_matches(HWND message_window, HWND filter) {
    if (!filter) return true;
    if (filter == thread_messages_only) return message_window == nullptr;
    // A window filter also takes the messages of the window's children.
    return message_window && (message_window == filter || user_is_descendant(message_window, filter));
}

bool range_matches(UINT message, UINT first, UINT last) {
    if (first == 0 && last == 0) return true;
    return message >= first && message <= last;
}

MSG make_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    MSG msg = {window, message, wparam, lparam, GetTickCount(), {0, 0}};
    GetCursorPos(&msg.pt);
    return msg;
}

bool take_queued(std::deque<MSG>& queue, MSG* msg, HWND filter, UINT first, UINT last, bool remove) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (window_matches(it->hwnd, filter) && range_matches(it->message, first, last)) {
            *msg = *it;
            if (remove) queue.erase(it);
            return true;
        }
    }
    return false;
}

bool is_mouse_message(UINT message) {
    return message >= WM_MOUSEMOVE && message <= 0x020D;
}

bool take_paint(MSG* msg, HWND filter, UINT first, UINT last) {
    if (!range_matches(WM_PAINT, first, last)) return false;
    for (HWND handle : user_window_list()) {
        Window* w = user_window(handle);
        if (w->needs_paint && !w->destroying && window_matches(handle, filter)) {
            // WM_PAINT stays until the window is validated, removed or not.
            *msg = make_message(handle, WM_PAINT, 0, 0);
            return true;
        }
    }
    return false;
}

bool timer_matches(const Timer& timer, HWND filter, UINT first, UINT last) {
    return range_matches(WM_TIMER, first, last) && window_matches(timer.window, filter);
}

bool take_timer(MSG* msg, HWND filter, UINT first, UINT last, bool remove) {
    DWORD now = GetTickCount();
    Timer* due = nullptr;
    for (Timer& timer : timers) {
        if (!timer_matches(timer, filter, first, last)) continue;
        int32_t late = static_cast<int32_t>(now - timer.next_due);
        if (late >= 0 && (!due || static_cast<int32_t>(timer.next_due - due->next_due) < 0)) due = &timer;
    }
    if (!due) return false;
    *msg = make_message(due->window, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc));
    // However late, one tick; the next period counts from its retrieval.
    if (remove) due->next_due = now + due->period;
    return true;
}

// Windows' order: posted messages, input, the quit request, paint, timers.
bool take_message(MSG* msg, HWND filter, UINT first, UINT last, bool remove) {
    if (take_queued(posted, msg, filter, first, last, remove)) return true;
    if (take_queued(input, msg, filter, first, last, remove)) {
        // The cursor shape is settled before the mouse message arrives.
        if (remove && is_mouse_message(msg->message) && user_window(msg->hwnd)) {
            SendMessageA(msg->hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(msg->hwnd),
                         MAKELPARAM(HTCLIENT, msg->message));
        }
        return true;
    }
    // The quit request is a flag, not a queued message: it comes after the
    // queue is empty, and no window filter holds it back.
    if (quit_pending && range_matches(WM_QUIT, first, last)) {
        *msg = make_message(nullptr, WM_QUIT, static_cast<WPARAM>(quit_code), 0);
        if (remove) quit_pending = false;
        return true;
    }
    if (take_paint(msg, filter, first, last)) return true;
    return take_timer(msg, filter, first, last, remove);
}

// Milliseconds until a timer that the caller would take is due; -1 when
// there is none.
int timer_wait(HWND filter, UINT first, UINT last) {
    DWORD now = GetTickCount();
    int wait = -1;
    for (const Timer& timer : timers) {
        if (!timer_matches(timer, filter, first, last)) continue;
        int32_t left = static_cast<int32_t>(timer.next_due - now);
        if (left < 0) left = 0;
        if (wait < 0 || left < wait) wait = left;
    }
    return wait;
}

void pump_events(int timeout_ms) {
    if (!layer_driver()->process_events(timeout_ms)) {
        fprintf(stderr, "The display connection was lost.\n");
        ExitProcess(1);
    }
}

bool valid_filter(HWND filter) {
    return !filter || filter == thread_messages_only || user_window(filter);
}

Timer* find_timer(HWND window, UINT_PTR id) {
    for (Timer& timer : timers) {
        if (timer.window == window && timer.id == id) return &timer;
    }
    return nullptr;
}

WPARAM char_of_key(WPARAM key) {
    if ((key >= '0' && key <= '9') || key == VK_SPACE || key == VK_ESCAPE || key == VK_RETURN || key == VK_BACK ||
        key == VK_TAB) {
        return key;
    }
    if (key >= 'A' && key <= 'Z') return key - 'A' + 'a';
    return 0;
}

}  // namespace

void user_forget_window(HWND handle) {
    auto of_window = [handle](const MSG& msg) { return msg.hwnd == handle; };
    posted.erase(std::remove_if(posted.begin(), posted.end(), of_window), posted.end());
    input.erase(std::remove_if(input.begin(), input.end(), of_window), input.end());
    timers.erase(std::remove_if(timers.begin(), timers.end(), [handle](const Timer& t) { return t.window == handle; }),
                 timers.end());
}

void user_messages_reset() {
    posted.clear();
    input.clear();
    quit_pending = false;
    quit_code = 0;
    timers.clear();
}

void layer_core_post_input(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (user_window(window)) input.push_back(make_message(window, message, wparam, lparam));
}

void user_queue_input(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!user_window(window)) return;
    MSG msg = make_message(window, message, wparam, lparam);
    // Windows keeps one mouse move at a time in the queue: a newer one that
    // follows it with no other input between takes its place.
    bool stale = message == WM_MOUSEMOVE && !input.empty() && input.back().message == WM_MOUSEMOVE &&
                 input.back().hwnd == window;
    if (stale)
        input.back() = msg;
    else
        input.push_back(msg);
}

extern "C" {

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!window) {
        posted.push_back(make_message(nullptr, message, wparam, lparam));
        return TRUE;
    }
    if (user_window(window)) {
        posted.push_back(make_message(window, message, wparam, lparam));
        return TRUE;
    }
    if (user_is_foreign(window)) return layer_driver()->foreign->post(window, message, wparam, lparam);
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* w = user_window(window);
    if (!w) {
        if (window && user_is_foreign(window)) {
            layer_fixme_once("SendMessageA to another process's window (message 0x%04x) is not implemented", message);
        }
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // One thread: the procedure runs at once, nested in the caller.
    return w->proc(window, message, wparam, lparam);
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT remove) {
    if (!valid_filter(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    pump_events(0);
    return take_message(msg, window, first, last, (remove & PM_REMOVE) != 0);
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT first, UINT last) {
    if (!valid_filter(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    pump_events(0);
    while (!take_message(msg, window, first, last, true)) pump_events(timer_wait(window, first, last));
    return msg->message != WM_QUIT;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (!msg->hwnd) return 0;
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return FALSE;
    WPARAM character = char_of_key(msg->wParam);
    if (!character) return FALSE;
    // Without the keyboard layout, letters come out in lower case.
    PostMessageA(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, character, msg->lParam);
    return TRUE;
}

void WINAPI PostQuitMessage(int exit_code) {
    quit_pending = true;
    quit_code = exit_code;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    if (window && !user_window(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // Win32 raises short periods to USER_TIMER_MINIMUM.
    elapse = std::max<UINT>(elapse, USER_TIMER_MINIMUM);
    elapse = std::min<UINT>(elapse, USER_TIMER_MAXIMUM);
    Timer* timer = find_timer(window, id);
    if (!window && !timer) id = next_thread_timer_id++;  // thread timers get their id from the system
    DWORD due = GetTickCount() + elapse;
    if (timer) {
        *timer = Timer{window, id, elapse, proc, due};
    } else {
        timers.push_back(Timer{window, id, elapse, proc, due});
    }
    return window ? (id ? id : 1) : id;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if (it->window == window && it->id == id) {
            timers.erase(it);
            return TRUE;
        }
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

}  // extern "C"
