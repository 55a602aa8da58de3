// The layer's user core on the null driver: retrieval order with input and
// paint, the fake clock, the cursor, activation and foreign windows.
#include <gtest/gtest.h>
#include <layer_test.h>
#include <windows.h>

#include "layer_driver.h"
#include "message_log.h"

namespace {

class UserLayer : public MessageTest {
protected:
    void SetUp() override {
        layer_reset();
        MessageTest::SetUp();
    }
    void TearDown() override {
        MessageTest::TearDown();
        layer_reset();
    }
};

TEST_F(UserLayer, RetrievalOrderIsPostedInputQuitPaintTimer) {
    layer_set_fake_ticks(5000);
    HWND window = make_window(WS_POPUP | WS_VISIBLE);  // visible: it wants painting
    SetTimer(window, 1, 10, nullptr);
    layer_advance_ticks(50);
    PostQuitMessage(3);
    layer_core_post_input(window, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(window, WM_USER, 0, 0);

    const UINT expected[] = {WM_USER, WM_KEYDOWN, WM_QUIT, WM_PAINT, WM_TIMER};
    for (UINT message : expected) {
        MSG msg;
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << message_name(message);
        EXPECT_EQ(msg.message, message);
        DispatchMessageA(&msg);  // WM_PAINT reaches DefWindowProcA, which validates
    }
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(UserLayer, GetMessageJumpsTheFakeClockToTheNextTimer) {
    const DWORD starts[] = {1000, 0xFFFFFFF0u};  // the second wraps
    for (DWORD start : starts) {
        SCOPED_TRACE(start);
        layer_set_fake_ticks(start);
        HWND window = make_window();
        SetTimer(window, 1, 100, nullptr);
        MSG msg;
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
        EXPECT_EQ(GetTickCount(), start + 100);

        layer_advance_ticks(1000);  // ten periods late: one tick
        ASSERT_TRUE(PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE));
        EXPECT_FALSE(PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE));
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        EXPECT_EQ(GetTickCount(), start + 1200);
        DestroyWindow(window);
    }
}

TEST_F(UserLayer, LoopWithNothingToWaitForStopsInsteadOfHanging) {
    EXPECT_DEATH(
        {
            MSG msg;
            GetMessageA(&msg, nullptr, 0, 0);
        },
        "can never come");
}

TEST_F(UserLayer, MouseInputSettlesTheCursorFirstParentBeforeChild) {
    HWND parent = make_window(WS_POPUP | WS_VISIBLE);
    HWND child = make_window(WS_CHILD | WS_VISIBLE, parent);
    pump();
    reaction = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT* result) {
        *result = TRUE;
        return window == parent && message == WM_SETCURSOR;
    };
    message_log.clear();
    layer_core_post_input(child, WM_MOUSEMOVE, 0, MAKELPARAM(5, 6));
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_MOUSEMOVE));
    DispatchMessageA(&msg);
    EXPECT_TRUE(logged_exactly({expect(child, WM_SETCURSOR, reinterpret_cast<WPARAM>(child)),
                                expect(parent, WM_SETCURSOR), expect(child, WM_MOUSEMOVE)}));
    for (const LoggedMessage& m : message_log) {
        if (m.message == WM_SETCURSOR) {
            EXPECT_EQ(m.lparam, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        }
    }
}

TEST_F(UserLayer, CursorHidesForNoCursorOrNegativeCount) {
    HWND before = make_window(WS_POPUP | WS_VISIBLE);
    EXPECT_FALSE(layer_cursor_hidden(before));
    HCURSOR arrow = SetCursor(nullptr);
    EXPECT_NE(arrow, nullptr);
    HWND after = make_window(WS_POPUP | WS_VISIBLE);
    EXPECT_TRUE(layer_cursor_hidden(before));
    EXPECT_TRUE(layer_cursor_hidden(after));
    EXPECT_EQ(SetCursor(arrow), nullptr);
    EXPECT_FALSE(layer_cursor_hidden(before));

    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_TRUE(layer_cursor_hidden(after));
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_FALSE(layer_cursor_hidden(after));

    layer_set_cursor(300, 200);
    POINT point;
    ASSERT_TRUE(GetCursorPos(&point));
    EXPECT_EQ(point.x, 300);
    EXPECT_EQ(point.y, 200);
}

TEST_F(UserLayer, ActivationReachesEveryTopLevelWindowOnChange) {
    HWND first = make_window(WS_POPUP | WS_VISIBLE);
    HWND second = make_window(WS_POPUP);
    EXPECT_TRUE(logged_exactly(creation(first) + std::vector<ExpectedMessage>{expect(first, WM_SHOWWINDOW, TRUE)} +
                               activation(first) + creation(second)));
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetFocus(), first);

    message_log.clear();
    layer_set_app_active(true);  // no change: nothing sent
    layer_set_app_active(false);
    EXPECT_TRUE(logged_exactly({expect(first, WM_ACTIVATE, WA_INACTIVE), expect(first, WM_ACTIVATEAPP, FALSE),
                                expect(second, WM_ACTIVATEAPP, FALSE), expect(first, WM_KILLFOCUS)}));
    for (const LoggedMessage& m : message_log) {
        EXPECT_FALSE(m.message == WM_ACTIVATEAPP && m.wparam == TRUE);
    }
    EXPECT_EQ(GetActiveWindow(), nullptr);

    message_log.clear();
    EXPECT_TRUE(SetForegroundWindow(first));
    EXPECT_TRUE(logged_exactly({expect(first, WM_ACTIVATEAPP, TRUE), expect(second, WM_ACTIVATEAPP, TRUE),
                                expect(first, WM_ACTIVATE, WA_ACTIVE), expect(first, WM_SETFOCUS)}));
    EXPECT_EQ(GetForegroundWindow(), first);
}

TEST_F(UserLayer, ForeignParentHostsAndTakesAwayAChild) {
    HWND foreign = layer_create_foreign_window(200, 100);
    ASSERT_TRUE(IsWindow(foreign));
    RECT rect;
    ASSERT_TRUE(GetClientRect(foreign, &rect));
    EXPECT_EQ(rect.right, 200);
    EXPECT_EQ(rect.bottom, 100);

    HWND child = make_window(WS_CHILD | WS_VISIBLE, foreign, "Preview", nullptr, rect.right, rect.bottom);
    HWND grandchild = make_window(WS_CHILD | WS_VISIBLE, child);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(child), foreign);

    EXPECT_TRUE(PostMessageA(foreign, WM_HELP, reinterpret_cast<WPARAM>(foreign), 9));
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    ASSERT_TRUE(layer_last_foreign_post(foreign, &message, &wparam, &lparam));
    EXPECT_EQ(message, static_cast<UINT>(WM_HELP));
    EXPECT_EQ(lparam, 9);

    message_log.clear();
    layer_destroy_foreign_window(foreign);
    EXPECT_TRUE(logged_exactly({expect(child, WM_DESTROY), expect(grandchild, WM_DESTROY),
                                expect(grandchild, WM_NCDESTROY), expect(child, WM_NCDESTROY)}));
    EXPECT_FALSE(IsWindow(foreign));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(grandchild));
}

// The tree as a driver without a native one asks for it: the window under
// a point is the deepest visible child that holds it, of siblings the last
// made, and the point becomes its client coordinates.
TEST_F(UserLayer, TreeQueriesForADriverWithoutANativeTree) {
    HWND top = make_window(WS_POPUP | WS_VISIBLE, nullptr, "log", nullptr, 200, 200);
    HWND lower = make_window(WS_CHILD | WS_VISIBLE, top);
    HWND upper = make_window(WS_CHILD | WS_VISIBLE, top);
    HWND hidden = make_window(WS_CHILD, top);
    HWND inner = make_window(WS_CHILD | WS_VISIBLE, upper);
    MoveWindow(lower, 10, 10, 100, 100, FALSE);
    MoveWindow(upper, 50, 50, 100, 100, FALSE);
    MoveWindow(hidden, 0, 0, 200, 200, FALSE);
    MoveWindow(inner, 20, 20, 10, 10, FALSE);

    struct Case {
        POINT at;
        HWND window;
        POINT client;
    };
    const Case cases[] = {
        {{5, 5}, top, {5, 5}},                                       // under the hidden child only
        {{20, 30}, lower, {10, 20}},   {{60, 60}, upper, {10, 10}},  // both: the last made is on top
        {{75, 75}, inner, {5, 5}},                                   // a grandchild
        {{149, 149}, upper, {99, 99}},                               // the last pixel inside
        {{150, 150}, top, {150, 150}},                               // the first outside
    };
    for (const Case& c : cases) {
        POINT point = c.at;
        EXPECT_EQ(layer_core_window_at(top, &point), c.window) << c.at.x << "," << c.at.y;
        EXPECT_EQ(point.x, c.client.x);
        EXPECT_EQ(point.y, c.client.y);
    }

    EXPECT_EQ(layer_core_top_level(inner), top);
    EXPECT_EQ(layer_core_children(top), (std::vector<HWND>{lower, upper, hidden}));
    EXPECT_EQ(layer_core_children(nullptr), std::vector<HWND>{top});
    DestroyWindow(upper);
    EXPECT_EQ(layer_core_top_level(inner), nullptr);
    EXPECT_EQ(layer_core_children(top), (std::vector<HWND>{lower, hidden}));
}

TEST_F(UserLayer, ScreenSizeComesFromTheDriver) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
    layer_set_screen_size(640, 480);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);
}

}  // namespace
