// Time: GetTickCount and Sleep, on the monotonic clock or on the test seam's
// fake clock.
#include "kernel/layer_kernel.h"

#include <errno.h>
#include <sched.h>
#include <time.h>

#include <layer_test.h>

namespace {

bool fake_clock = false;
DWORD fake_now = 0;

}  // namespace

bool layer_fake_clock_active() {
    return fake_clock;
}

void layer_set_fake_ticks(DWORD now) {
    fake_clock = true;
    fake_now = now;
}

void layer_advance_ticks(DWORD milliseconds) {
    fake_now += milliseconds;
}

void layer_use_real_ticks() {
    fake_clock = false;
}

extern "C" {

DWORD WINAPI GetTickCount(void) {
    if (fake_clock) return fake_now;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Wraps after 49.7 days, as on Windows.
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms);
}

void WINAPI Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    if (fake_clock) {
        // A test's simulated time passes without waiting.
        fake_now += milliseconds;
        return;
    }
    struct timespec left = {static_cast<time_t>(milliseconds / 1000),
                            static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
}

}  // extern "C"
