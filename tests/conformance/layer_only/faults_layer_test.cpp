// How the process ends: ExitProcess and faults run the exit hooks, and a
// fault reaches the program's filter as a Windows exception.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <windows.h>

#include "kernel/layer_kernel.h"

namespace {

void say_hook_ran() {
    const char text[] = "exit hook ran\n";
    ssize_t ignored = write(STDERR_FILENO, text, sizeof text - 1);
    (void)ignored;
}

LONG WINAPI report_and_end(EXCEPTION_POINTERS* info) {
    return UnhandledExceptionFilter(info);
}

LONG WINAPI pass_on(EXCEPTION_POINTERS*) {
    return EXCEPTION_CONTINUE_SEARCH;
}

volatile int zero = 0;
volatile int seven = 7;
int* volatile nowhere = nullptr;

void write_nowhere() {
    *nowhere = 1;
}

void divide_by_zero() {
    volatile int result = seven / zero;
    (void)result;
}

void exit_minus_one() {
    ExitProcess(static_cast<UINT>(-1));
}

TEST(FaultDeathTest, ProcessEndsWithWindowsCodeAfterHooks) {
    const struct {
        const char* name;
        void (*action)();
        int exit_code;
        const char* report;
    } cases[] = {
        {"ExitProcess(-1)", exit_minus_one, 255, "exit hook ran"},
        {"access violation", write_nowhere, 0x05, "0xC0000005 \\(access violation\\)"},
        {"integer division by zero", divide_by_zero, 0x94, "0xC0000094 \\(integer division by zero\\)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                layer_at_exit(say_hook_ran);
                SetUnhandledExceptionFilter(report_and_end);
                c.action();
            },
            ::testing::ExitedWithCode(c.exit_code), c.report);
        EXPECT_EXIT(
            {
                layer_at_exit(say_hook_ran);
                SetUnhandledExceptionFilter(report_and_end);
                c.action();
            },
            ::testing::ExitedWithCode(c.exit_code), "exit hook ran");
    }
}

TEST(FaultDeathTest, FilterThatPassesLeavesTheDefaultAction) {
    EXPECT_EXIT(
        {
            layer_at_exit(say_hook_ran);
            SetUnhandledExceptionFilter(pass_on);
            write_nowhere();
        },
        ::testing::KilledBySignal(SIGSEGV), "exit hook ran");
}

TEST(FaultDeathTest, RemovingTheFilterRestoresTheSignals) {
    EXPECT_EQ(SetUnhandledExceptionFilter(report_and_end), nullptr);
    EXPECT_EQ(SetUnhandledExceptionFilter(nullptr), report_and_end);
    EXPECT_EXIT(write_nowhere(), ::testing::KilledBySignal(SIGSEGV), "");
}

}  // namespace
