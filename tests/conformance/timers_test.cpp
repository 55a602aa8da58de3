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

// The window's next timer message, waited for: a busy machine may run the
// test late, never early. False after five seconds without one.
bool wait_for_tick(HWND window, MSG* msg) {
    for (int waited = 0; waited < 5000; waited += 5) {
        if (take_tick(window, msg)) return true;
        Sleep(5);
    }
    return false;
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
    const UINT period = 100;
    SetTimer(window, 2, period, nullptr);
    Sleep(4 * period + period / 2);  // four periods pass unserved
    MSG msg;
    ASSERT_TRUE(wait_for_tick(window, &msg));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.wParam, 2u);
    // The four come as that one tick. Another one is due a whole period
    // after it, far longer than these few calls take even on a busy
    // machine; two more would need two such stalls in a row.
    int more = 0;
    while (more < 4 && take_tick(window, &msg)) ++more;
    EXPECT_LE(more, 1);
    EXPECT_TRUE(wait_for_tick(window, &msg));
    KillTimer(window, 2);
}

TEST_F(TimerTest, ShortPeriodsAreRaisedToTheMinimum) {
    HWND window = make_window();
    SetTimer(window, 3, 1, nullptr);
    int ticks = 0;
    DWORD start = GetTickCount(), elapsed = 0;
    MSG msg;
    // At least 300 ms and three ticks, however late a busy machine runs us.
    while ((elapsed < 300 || ticks < 3) && elapsed < 10000) {
        ASSERT_TRUE(GetMessageA(&msg, window, 0, 0));
        if (msg.message == WM_TIMER) ++ticks;
        DispatchMessageA(&msg);
        elapsed = GetTickCount() - start;
    }
    KillTimer(window, 3);
    EXPECT_GE(ticks, 3);
    // At most one tick per 10 ms, give or take a step of the tick count at
    // either end (Wine's moves in steps of up to 16 ms); a 1 ms timer would
    // give about ten times as many.
    EXPECT_LE(ticks, static_cast<int>((elapsed + 32) / USER_TIMER_MINIMUM) + 1);
}

TEST_F(TimerTest, SameIdReplacesAndKillStops) {
    HWND window = make_window();
    ASSERT_NE(SetTimer(window, 5, 100000, nullptr), 0u);
    ASSERT_NE(SetTimer(window, 5, 10, nullptr), 0u);
    MSG msg;
    ASSERT_TRUE(wait_for_tick(window, &msg));  // the 10 ms one
    EXPECT_EQ(msg.wParam, 5u);

    // One timer, not two: one kill ends it and a second finds nothing.
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
    MSG msg;
    ASSERT_TRUE(wait_for_tick(window, &msg));
    DispatchMessageA(&msg);
    KillTimer(window, 9);
    ASSERT_EQ(timer_proc_calls.size(), 1u);
    EXPECT_EQ(timer_proc_calls[0].window, window);
    EXPECT_EQ(timer_proc_calls[0].message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(timer_proc_calls[0].wparam, 9u);
    EXPECT_FALSE(was_logged(window, WM_TIMER));
}

}  // namespace
