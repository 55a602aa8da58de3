// Real X input through the layer's X11 driver to a window procedure: the
// key and mouse messages a Win32 program would get for the same input.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "e2e_support.h"
#include "input_log.h"

namespace {

std::string dump() {
    std::string text;
    char line[96];
    for (const LoggedMessage& m : input_log) {
        snprintf(line, sizeof line, "\n  %p %04x %lx %08lx", (void*)m.window, m.message, (unsigned long)m.wparam,
                 (unsigned long)(DWORD)m.lparam);
        text += line;
    }
    return text;
}

void drop_moves() {
    input_log.erase(std::remove_if(input_log.begin(), input_log.end(),
                                   [](const LoggedMessage& m) { return m.message == WM_MOUSEMOVE; }),
                    input_log.end());
}

// Runs the message loop until `wanted` input messages were input_log (or ten
// seconds went by).
void pump_until(size_t wanted, UINT last = 0) {
    auto done = [&] { return input_log.size() >= wanted && (!last || input_log.back().message == last); };
    for (int waited = 0; waited < 10000 && !done(); waited += 5) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        sleep_ms(5);
    }
}

class X11Input : public testing::Test {
protected:
    static void SetUpTestSuite() {
        server = start_xserver();
        WNDCLASSA wc = {};
        wc.style = CS_OWNDC | CS_DBLCLKS;
        wc.lpfnWndProc = input_logging_proc;
        wc.lpszClassName = "X11InputTest";
        RegisterClassA(&wc);
    }
    // The server outlives the suite: the layer's connection to it lasts
    // until the process ends, and the server ends with the process.

    // A topmost popup over the whole screen, with a child at (10, 20): it
    // takes the keyboard and the pointer as the saver's window does.
    void SetUp() override {
        int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        top = CreateWindowExA(WS_EX_TOPMOST, "X11InputTest", "top", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                              nullptr, nullptr, nullptr);
        child = CreateWindowExA(0, "X11InputTest", "child", WS_CHILD | WS_VISIBLE, 10, 20, 200, 100, top, nullptr,
                                nullptr, nullptr);
        ASSERT_TRUE(top && child);
        SetForegroundWindow(top);
        xdotool("mousemove 600 500");
        // Whatever the start produced is dropped: after a round trip to the
        // server (GetCursorPos asks it) all of it has arrived.
        POINT ignored;
        GetCursorPos(&ignored);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        input_log.clear();
    }
    void TearDown() override { DestroyWindow(top); }

    static XServer server;
    HWND top = nullptr, child = nullptr;
};
XServer X11Input::server;

struct KeyCase {
    const char* xdotool_key;
    UINT vk;
    UINT scan;
    bool extended;
};

TEST_F(X11Input, KeysArriveAsVirtualKeysWithWindowsLParams) {
    const KeyCase cases[] = {
        {"Escape", VK_ESCAPE, 0x01, false},
        {"a", 'A', 0x1E, false},
        {"7", '7', 0x08, false},
        {"F5", VK_F1 + 4, 0x3F, false},
        {"space", VK_SPACE, 0x39, false},
        {"Return", VK_RETURN, 0x1C, false},
        {"Tab", VK_TAB, 0x0F, false},
        {"comma", VK_OEM_COMMA, 0x33, false},
        {"slash", VK_OEM_2, 0x35, false},
        {"Shift_L", VK_SHIFT, 0x2A, false},
        {"Control_L", VK_CONTROL, 0x1D, false},
        {"Left", VK_LEFT, 0x4B, true},
        {"Delete", VK_DELETE, 0x53, true},
        {"KP_Enter", VK_RETURN, 0x1C, true},
        {"KP_Add", VK_ADD, 0x4E, false},
    };
    for (const KeyCase& key : cases) {
        SCOPED_TRACE(key.xdotool_key);
        input_log.clear();
        ASSERT_TRUE(xdotool(std::string("key ") + key.xdotool_key));
        pump_until(2);
        ASSERT_EQ(input_log.size(), 2u) << dump();
        DWORD lparam_bits = (key.scan << 16) | (key.extended ? 1u << 24 : 0) | 1;
        EXPECT_EQ(input_log[0].window, top);  // the focus window, not the one under the pointer
        EXPECT_EQ(input_log[0].message, (UINT)WM_KEYDOWN);
        EXPECT_EQ(input_log[0].wparam, key.vk);
        EXPECT_EQ((DWORD)input_log[0].lparam, lparam_bits);
        EXPECT_EQ(input_log[1].message, (UINT)WM_KEYUP);
        EXPECT_EQ(input_log[1].wparam, key.vk);
        EXPECT_EQ((DWORD)input_log[1].lparam, lparam_bits | 0xC0000000u);
    }
}

TEST_F(X11Input, AltMakesSystemKeysAndAHeldKeyRepeatsAsDownsOnly) {
    // Alt released after another key is an ordinary key-up; alone, a
    // system one.
    ASSERT_TRUE(xdotool("keydown Alt_L keydown x keyup x keyup Alt_L keydown Alt_L keyup Alt_L"));
    pump_until(6);
    ASSERT_EQ(input_log.size(), 6u) << dump();
    const UINT messages[] = {WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP};
    const WPARAM keys[] = {VK_MENU, 'X', 'X', VK_MENU, VK_MENU, VK_MENU};
    const bool context[] = {true, true, true, false, true, false};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(input_log[i].message, messages[i]);
        EXPECT_EQ(input_log[i].wparam, keys[i]);
        EXPECT_EQ(((DWORD)input_log[i].lparam >> 29) & 1, context[i] ? 1u : 0u);
    }

    input_log.clear();
    // Held past the server's repeat delay.
    ASSERT_TRUE(xdotool("keydown b sleep 1 keyup b"));
    pump_until(3, WM_KEYUP);
    ASSERT_GE(input_log.size(), 3u) << dump();
    EXPECT_EQ(((DWORD)input_log[0].lparam >> 30) & 1, 0u);  // a new press
    for (size_t i = 0; i + 1 < input_log.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(input_log[i].message, (UINT)WM_KEYDOWN);
        if (i > 0) {
            EXPECT_EQ(((DWORD)input_log[i].lparam >> 30) & 1, 1u);  // a repeat
        }
    }
    EXPECT_EQ(input_log.back().message, (UINT)WM_KEYUP);
}

TEST_F(X11Input, MouseMessagesGoToTheWindowUnderThePointerInClientCoordinates) {
    struct ButtonCase {
        int button;
        UINT down, up;
        WPARAM down_keys;
    };
    const ButtonCase buttons[] = {{1, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON},
                                  {2, WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON},
                                  {3, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON}};
    for (const ButtonCase& button : buttons) {
        SCOPED_TRACE(button.button);
        ASSERT_TRUE(xdotool("mousemove 110 70"));  // over the child, at (100, 50) in it
        pump_until(1);
        input_log.clear();
        ASSERT_TRUE(xdotool("click " + std::to_string(button.button)));
        pump_until(2);
        drop_moves();
        ASSERT_EQ(input_log.size(), 2u) << dump();
        EXPECT_EQ(input_log[0].window, child);
        EXPECT_EQ(input_log[0].message, button.down);
        EXPECT_EQ(input_log[0].wparam, button.down_keys);
        EXPECT_EQ(input_log[0].lparam, MAKELPARAM(100, 50));
        EXPECT_EQ(input_log[1].message, button.up);
        EXPECT_EQ(input_log[1].wparam, 0u);
    }

    input_log.clear();
    ASSERT_TRUE(xdotool("mousemove 700 300"));
    pump_until(1, WM_MOUSEMOVE);
    ASSERT_FALSE(input_log.empty());
    EXPECT_EQ(input_log.back().window, top);
    EXPECT_EQ(input_log.back().message, (UINT)WM_MOUSEMOVE);
    EXPECT_EQ(input_log.back().lparam, MAKELPARAM(700, 300));
    POINT cursor;
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(cursor.x, 700);
    EXPECT_EQ(cursor.y, 300);
}

TEST_F(X11Input, ASecondQuickClickIsADoubleClickAndAThirdStartsOver) {
    ASSERT_TRUE(xdotool("mousemove 400 300"));
    pump_until(1, WM_MOUSEMOVE);
    input_log.clear();
    ASSERT_TRUE(xdotool("click --repeat 3 --delay 100 1"));
    pump_until(6);
    drop_moves();
    ASSERT_EQ(input_log.size(), 6u) << dump();
    const UINT messages[] = {WM_LBUTTONDOWN, WM_LBUTTONUP,   WM_LBUTTONDBLCLK,
                             WM_LBUTTONUP,   WM_LBUTTONDOWN, WM_LBUTTONUP};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(input_log[i].message, messages[i]) << i;

    input_log.clear();
    ASSERT_TRUE(xdotool("click 3 sleep 0.7 click 3"));  // too slow for a double click
    pump_until(4);
    drop_moves();
    ASSERT_EQ(input_log.size(), 4u) << dump();
    EXPECT_EQ(input_log[2].message, (UINT)WM_RBUTTONDOWN);
}

}  // namespace
