// Timers: WM_TIMER is made only when nothing else waits, late expirations
// coalesce into one, short periods are raised to the minimum, and a timer is
// replaced by id and killed.
#include "message_log.h"

namespace {

using TimerTest = MessageTest;

// A timer message for the window, if one is due now.
bool take_tick(HWND window, MSG* msg) {
    return PeekMessageA(msg, window, WM_TIMER, WM_TIMER, PM_REMOVE) != FALSE;
}

TEST_F(TimerTest, TimerWaitsUntilNoOtherMessageIsQueued) {
    HWND window = make_window();
    SetTimer(window, 1, 10, nullptr);
    Sleep(50);
    for (WPARAM i = 0; i < 3; ++i) PostMessageA(window, WM_USER, i, 0);
    MSG msg;
    for (WPARAM i = 0; i < 3; ++i) {
        ASSERT_TRUE(GetMessageA(&msg, window, 0, 0));
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
        EXPECT_EQ(msg.wParam, i);
    }
    ASSERT_TRUE(GetMessageA(&msg, window, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.wParam, 1u);
    KillTimer(window, 1);
}

TEST_F(TimerTest, LateTimerGivesOneTickAndRestartsFromIt) {
    HWND window = make_window();
    SetTimer(window, 2, 20, nullptr);
    Sleep(150);  // several periods pass unserved
    MSG msg;
    ASSERT_TRUE(take_tick(window, &msg));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_FALSE(take_tick(window, &msg));
    Sleep(60);
    EXPECT_TRUE(take_tick(window, &msg));
    KillTimer(window, 2);
}

TEST_F(TimerTest, ShortPeriodsAreRaisedToTheMinimum) {
    HWND window = make_window();
    SetTimer(window, 3, 1, nullptr);
    int ticks = 0;
    DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < 300) {
        ASSERT_TRUE(GetMessageA(&msg, window, 0, 0));
        if (msg.message == WM_TIMER) ++ticks;
        DispatchMessageA(&msg);
    }
    DWORD elapsed = GetTickCount() - start;
    KillTimer(window, 3);
    // At most one tick per 10 ms (plus the one at the boundary); at least a
    // few even on a slow machine.
    EXPECT_LE(ticks, static_cast<int>(elapsed / USER_TIMER_MINIMUM) + 1);
    EXPECT_GE(ticks, 3);
}

TEST_F(TimerTest, SameIdReplacesAndKillStops) {
    HWND window = make_window();
    ASSERT_NE(SetTimer(window, 5, 100000, nullptr), 0u);
    ASSERT_NE(SetTimer(window, 5, 10, nullptr), 0u);
    Sleep(40);
    MSG msg;
    ASSERT_TRUE(take_tick(window, &msg));
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_FALSE(take_tick(window, &msg));  // one timer, not two

    EXPECT_TRUE(KillTimer(window, 5));
    Sleep(40);
    EXPECT_FALSE(take_tick(window, &msg));
    EXPECT_FALSE(KillTimer(window, 5));
}

std::vector<LoggedMessage> timer_proc_calls;

void CALLBACK record_timer(HWND window, UINT message, UINT_PTR id, DWORD) {
    timer_proc_calls.push_back(LoggedMessage{window, message, id, 0});
}

TEST_F(TimerTest, DispatchCallsTimerProcInsteadOfWindow) {
    HWND window = make_window();
    timer_proc_calls.clear();
    SetTimer(window, 9, 10, record_timer);
    Sleep(30);
    MSG msg;
    ASSERT_TRUE(take_tick(window, &msg));
    DispatchMessageA(&msg);
    KillTimer(window, 9);
    ASSERT_EQ(timer_proc_calls.size(), 1u);
    EXPECT_EQ(timer_proc_calls[0].window, window);
    EXPECT_EQ(timer_proc_calls[0].message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(timer_proc_calls[0].wparam, 9u);
    EXPECT_FALSE(was_logged(window, WM_TIMER));
}

}  // namespace
