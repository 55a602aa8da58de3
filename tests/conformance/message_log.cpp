// The logging window procedure and the ordered comparison.
#include "message_log.h"

#include <stdio.h>

#include <sstream>

std::vector<LoggedMessage> message_log;
Reaction reaction;

namespace {

// Messages the system sends whenever it likes, which no test is about: the
// icon asked for, the input method's, and those registered at run time.
bool ignored(UINT message) {
    return message == WM_GETICON || (message >= WM_IME_SETCONTEXT && message <= WM_IME_KEYUP) || message >= 0xC000;
}

LRESULT CALLBACK logging_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!ignored(message)) message_log.push_back(LoggedMessage{window, message, wparam, lparam});
    LRESULT result = 0;
    if (reaction && reaction(window, message, wparam, lparam, &result)) return result;
    return DefWindowProcA(window, message, wparam, lparam);
}

std::string describe(const LoggedMessage& m) {
    char text[96];
    snprintf(text, sizeof text, "  %p %s w=%llu\n", static_cast<void*>(m.window), message_name(m.message).c_str(),
             static_cast<unsigned long long>(m.wparam));
    return text;
}

}  // namespace

std::string message_name(UINT message) {
    static const struct {
        UINT number;
        const char* name;
    } names[] = {
        {WM_CREATE, "WM_CREATE"},
        {WM_DESTROY, "WM_DESTROY"},
        {WM_MOVE, "WM_MOVE"},
        {WM_SIZE, "WM_SIZE"},
        {WM_ACTIVATE, "WM_ACTIVATE"},
        {WM_SETFOCUS, "WM_SETFOCUS"},
        {WM_KILLFOCUS, "WM_KILLFOCUS"},
        {WM_SETTEXT, "WM_SETTEXT"},
        {WM_PAINT, "WM_PAINT"},
        {WM_CLOSE, "WM_CLOSE"},
        {WM_SHOWWINDOW, "WM_SHOWWINDOW"},
        {WM_ACTIVATEAPP, "WM_ACTIVATEAPP"},
        {WM_NCCREATE, "WM_NCCREATE"},
        {WM_NCDESTROY, "WM_NCDESTROY"},
        {WM_NCCALCSIZE, "WM_NCCALCSIZE"},
        {WM_TIMER, "WM_TIMER"},
        {WM_ERASEBKGND, "WM_ERASEBKGND"},
        {WM_GETMINMAXINFO, "WM_GETMINMAXINFO"},
        {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"},
        {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"},
        {WM_NCPAINT, "WM_NCPAINT"},
        {WM_NCACTIVATE, "WM_NCACTIVATE"},
        {WM_SETCURSOR, "WM_SETCURSOR"},
        {WM_MOUSEMOVE, "WM_MOUSEMOVE"},
        {WM_PARENTNOTIFY, "WM_PARENTNOTIFY"},
        {WM_QUERYNEWPALETTE, "WM_QUERYNEWPALETTE"},
        {WM_USER, "WM_USER"},
    };
    for (const auto& entry : names) {
        if (entry.number == message) return entry.name;
    }
    char text[16];
    snprintf(text, sizeof text, "0x%04x", message);
    return text;
}

const char* logging_class_name() {
    static const char* const name = "ConformanceLogWindow";
    // Registered on each use: a second registration just fails, and the
    // layer's own tests reset the classes between tests.
    WNDCLASSA wc = {};
    wc.lpfnWndProc = logging_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
    return name;
}

void MessageTest::SetUp() {
    logging_class_name();
    pump();
    message_log.clear();
    reaction = nullptr;
}

void MessageTest::TearDown() {
    reaction = nullptr;
    for (HWND window : made) {
        if (IsWindow(window)) DestroyWindow(window);
    }
    pump();
}

HWND MessageTest::make_window(DWORD style, HWND parent, const char* title, LPVOID param, int width, int height) {
    HWND window = CreateWindowExA(0, logging_class_name(), title, style, 0, 0, width, height, parent, nullptr,
                                  GetModuleHandleA(nullptr), param);
    if (window) made.push_back(window);
    return window;
}

void MessageTest::pump() {
    MSG msg;
    for (int i = 0; i < 200; ++i) {
        if (!PeekMessageA(&msg, nullptr, 0, WM_TIMER - 1, PM_REMOVE) &&
            !PeekMessageA(&msg, nullptr, WM_TIMER + 1, 0xFFFF, PM_REMOVE)) {
            return;
        }
        DispatchMessageA(&msg);
    }
}

::testing::AssertionResult logged_exactly(const std::vector<ExpectedMessage>& expected) {
    auto matches = [](const LoggedMessage& m, const ExpectedMessage& e) {
        return m.window == e.window && m.message == e.message && (!e.check_wparam || m.wparam == e.wparam);
    };
    auto failure = [&](const std::string& what) {
        std::string log;
        for (const LoggedMessage& m : message_log) log += describe(m);
        return ::testing::AssertionFailure() << what << "\nlog:\n" << log;
    };
    size_t next = 0;
    for (size_t i = 0; i < message_log.size(); ++i) {
        const LoggedMessage& m = message_log[i];
        while (next < expected.size() && expected[next].optional && !matches(m, expected[next])) ++next;
        if (next == expected.size() || !matches(m, expected[next]))
            return failure("message " + std::to_string(i) + " unexpected:" + describe(m));
        ++next;
    }
    for (; next < expected.size(); ++next) {
        const ExpectedMessage& e = expected[next];
        if (!e.optional) {
            std::ostringstream missing;
            missing << "missing: " << message_name(e.message) << " to " << e.window;
            return failure(missing.str());
        }
    }
    return ::testing::AssertionSuccess();
}

std::vector<ExpectedMessage> creation(HWND window) {
    return {expect(window, WM_NCCREATE), expect(window, WM_NCCALCSIZE), expect(window, WM_CREATE),
            expect(window, WM_SIZE), expect(window, WM_MOVE)};
}

std::vector<ExpectedMessage> activation(HWND window) {
    return {optional(window, WM_WINDOWPOSCHANGING), optional(window, WM_QUERYNEWPALETTE),
            expect(window, WM_ACTIVATEAPP, TRUE),   optional(window, WM_NCACTIVATE, TRUE),
            expect(window, WM_ACTIVATE, WA_ACTIVE), expect(window, WM_SETFOCUS),
            optional(window, WM_NCPAINT),           optional(window, WM_ERASEBKGND),
            optional(window, WM_WINDOWPOSCHANGED)};
}

bool was_logged(HWND window, UINT message) {
    for (const LoggedMessage& m : message_log) {
        if (m.window == window && m.message == message) return true;
    }
    return false;
}
