// How the process ends: ExitProcess and faults run the exit hooks, and a
// fault reaches the program's filter as a Windows exception, through the
// platform's last-chance filter as on Windows.
#include <signal.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "kernel/layer_kernel.h"

namespace {

void say_hook_ran() {
    const char text[] = "exit hook ran\n";
    ssize_t ignored = write(STDERR_FILENO, text, sizeof text - 1);
    (void)ignored;
}

LONG WINAPI pass_on(EXCEPTION_POINTERS*) {
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI handle_quietly(EXCEPTION_POINTERS*) {
    return EXCEPTION_EXECUTE_HANDLER;
}

// Asks for the platform's report while still installed: the report asks
// this filter again, until the stack is gone.
LONG WINAPI reenter(EXCEPTION_POINTERS* info) {
    return UnhandledExceptionFilter(info);
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

int reports_in(const std::string& output) {
    int count = 0;
    for (std::string::size_type at = 0; (at = output.find("Unhandled exception", at)) != std::string::npos; ++at)
        ++count;
    return count;
}

TEST(FaultDeathTest, ProcessEndsWithWindowsCodeAfterHooks) {
    using ::testing::AllOf;
    using ::testing::ContainsRegex;
    using ::testing::HasSubstr;
    using ::testing::ResultOf;
    const struct {
        const char* name;
        LPTOP_LEVEL_EXCEPTION_FILTER filter;
        void (*action)();
        int exit_code;
        const char* report;
        int reports;
    } cases[] = {
        {"ExitProcess(-1)", pass_on, exit_minus_one, 255, "", 0},
        // A filter that passes leaves the fault to the platform's report.
        {"access violation", pass_on, write_nowhere, 0x05, "0xC0000005 \\(access violation\\)", 1},
        {"integer division by zero", pass_on, divide_by_zero, 0x94, "0xC0000094 \\(integer division by zero\\)", 1},
        // One that handles it ends the process without a report.
        {"handled access violation", handle_quietly, write_nowhere, 0x05, "", 0},
        // One that re-enters itself ends, without a report, when its stack runs out.
        {"re-entering filter", reenter, write_nowhere, 0x05, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                layer_at_exit(say_hook_ran);
                SetUnhandledExceptionFilter(c.filter);
                c.action();
            },
            ::testing::ExitedWithCode(c.exit_code),
            AllOf(ContainsRegex(c.report), HasSubstr("exit hook ran"), ResultOf(reports_in, c.reports)));
    }
}

TEST(FaultDeathTest, RemovingTheFilterRestoresTheSignals) {
    EXPECT_EQ(SetUnhandledExceptionFilter(pass_on), nullptr);
    EXPECT_EQ(SetUnhandledExceptionFilter(nullptr), pass_on);
    EXPECT_EXIT(write_nowhere(), ::testing::KilledBySignal(SIGSEGV), "");
}

}  // namespace
