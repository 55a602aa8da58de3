// The message queue: sending runs the procedure at once, posting queues in
// order, the quit request comes after what is queued, and retrieval filters.
#include "message_log.h"

namespace {

using QueueTest = MessageTest;

TEST_F(QueueTest, SendRunsProcedureAtOnceAndNests) {
    HWND outer = make_window();
    HWND inner = make_window();
    message_log.clear();
    reaction = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT* result) {
        if (window == outer && message == WM_USER) {
            *result = SendMessageA(inner, WM_USER + 1, 0, 0) + 1;
            message_log.push_back(LoggedMessage{outer, WM_USER + 2, 0, 0});  // marks the return
            return true;
        }
        if (window == inner && message == WM_USER + 1) {
            *result = 41;
            return true;
        }
        return false;
    };
    EXPECT_EQ(SendMessageA(outer, WM_USER, 0, 0), 42);
    EXPECT_TRUE(logged_exactly({expect(outer, WM_USER), expect(inner, WM_USER + 1), expect(outer, WM_USER + 2)}));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER + 2, PM_NOREMOVE));
}

TEST_F(QueueTest, PostedMessagesComeOutInOrder) {
    HWND a = make_window();
    HWND b = make_window();
    const struct {
        HWND window;
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
    } posts[] = {{a, WM_USER, 1, 10}, {b, WM_USER + 5, 2, 20}, {nullptr, WM_USER + 6, 3, 30}, {a, WM_USER, 4, 40}};
    message_log.clear();
    for (const auto& p : posts) ASSERT_TRUE(PostMessageA(p.window, p.message, p.wparam, p.lparam));
    EXPECT_TRUE(message_log.empty());
    for (const auto& p : posts) {
        MSG msg;
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.hwnd, p.window);
        EXPECT_EQ(msg.message, p.message);
        EXPECT_EQ(msg.wParam, p.wparam);
        EXPECT_EQ(msg.lParam, p.lparam);
    }
}

TEST_F(QueueTest, QuitComesAfterQueuedMessagesWithItsCode) {
    HWND window = make_window();
    PostMessageA(window, WM_USER, 1, 0);
    PostQuitMessage(7);
    PostMessageA(window, WM_USER, 2, 0);
    MSG msg;
    for (WPARAM expected : {1, 2}) {
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
        EXPECT_EQ(msg.wParam, expected);
    }
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(QueueTest, PeekFiltersByWindowTreeAndRange) {
    HWND parent = make_window();
    HWND child = make_window(WS_CHILD, parent);
    HWND other = make_window();
    PostMessageA(other, WM_USER + 1, 0, 0);
    PostMessageA(child, WM_USER + 2, 0, 0);
    PostMessageA(parent, WM_USER + 3, 0, 0);
    const struct {
        const char* name;
        HWND filter;
        UINT first, last;
        HWND window;
        UINT message;
    } cases[] = {
        {"parent's filter takes its child's message", parent, 0, 0, child, WM_USER + 2},
        {"range skips earlier messages", nullptr, WM_USER + 3, WM_USER + 3, parent, WM_USER + 3},
        {"no filter takes the oldest", nullptr, 0, 0, other, WM_USER + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MSG msg;
        ASSERT_TRUE(PeekMessageA(&msg, c.filter, c.first, c.last, PM_NOREMOVE));
        EXPECT_EQ(msg.hwnd, c.window);
        EXPECT_EQ(msg.message, c.message);
        ASSERT_TRUE(PeekMessageA(&msg, c.filter, c.first, c.last, PM_REMOVE));
        EXPECT_EQ(msg.message, c.message);
    }
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER + 3, PM_REMOVE));
}

}  // namespace
