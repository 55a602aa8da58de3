// A window class whose procedure records every message it gets, and a
// fixture that makes such windows and compares the record with the messages
// a test expects. The record must be the expected table exactly, in order:
// a message the table does not name fails the test, so an entry Windows
// sends and the layer does not (or the other way round) is marked optional.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

struct LoggedMessage {
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

struct ExpectedMessage {
    HWND window;
    UINT message;
    bool check_wparam;
    WPARAM wparam;
    bool optional;
};

inline ExpectedMessage expect(HWND window, UINT message) {
    return ExpectedMessage{window, message, false, 0, false};
}
inline ExpectedMessage expect(HWND window, UINT message, WPARAM wparam) {
    return ExpectedMessage{window, message, true, wparam, false};
}
// A message that may come here or not: one system sends it, another not.
inline ExpectedMessage optional(HWND window, UINT message) {
    return ExpectedMessage{window, message, false, 0, true};
}
inline ExpectedMessage optional(HWND window, UINT message, WPARAM wparam) {
    return ExpectedMessage{window, message, true, wparam, true};
}

// What a test makes the procedure do with a message; return true when it
// has handled it (its result in *result), false to fall through to
// DefWindowProcA.
using Reaction = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT* result)>;

extern std::vector<LoggedMessage> message_log;
extern Reaction reaction;

const char* logging_class_name();

class MessageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // An invisible top-level popup unless the style says otherwise.
    HWND make_window(DWORD style = WS_POPUP, HWND parent = nullptr, const char* title = "log", LPVOID param = nullptr,
                     int width = 120, int height = 80);
    // Dispatches whatever is queued (timers aside); bounded, never waits.
    void pump();

    std::vector<HWND> made;
};

// What CreateWindowExA sends a window that is made hidden, in order.
std::vector<ExpectedMessage> creation(HWND window);
// What a window that becomes the active one of an inactive program gets
// when it is shown, in order (Windows' repainting of the frame optional).
std::vector<ExpectedMessage> activation(HWND window);
// A table made of several.
inline std::vector<ExpectedMessage> operator+(std::vector<ExpectedMessage> a, const std::vector<ExpectedMessage>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Whether the log is the expected table: each message logged is the table's
// next entry, optional ones aside, and every entry that is not optional came.
::testing::AssertionResult logged_exactly(const std::vector<ExpectedMessage>& expected);
bool was_logged(HWND window, UINT message);
std::string message_name(UINT message);
