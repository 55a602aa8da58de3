// A window class whose procedure records every message it gets, and a
// fixture that makes such windows and compares the record with the messages
// a test expects, in order. Windows sends many messages a test doesn't care
// about, so the expected messages need only appear in that order.
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
};

inline ExpectedMessage expect(HWND window, UINT message) {
    return ExpectedMessage{window, message, false, 0};
}
inline ExpectedMessage expect(HWND window, UINT message, WPARAM wparam) {
    return ExpectedMessage{window, message, true, wparam};
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

::testing::AssertionResult appear_in_order(const std::vector<ExpectedMessage>& expected);
bool was_logged(HWND window, UINT message);
std::string message_name(UINT message);
