// How the process ends: ExitProcess and faults run the exit hooks, and a
// fault reaches the program's filter as a Windows exception, through the
// platform's last-chance filter as on Windows.
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

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

void write_nowhere();

// The program's own filter's shape: puts back the earlier (null) filter,
// asks for the platform's report and ends the process itself.
LONG WINAPI report_and_exit(EXCEPTION_POINTERS* info) {
    SetUnhandledExceptionFilter(nullptr);
    if (UnhandledExceptionFilter(info) == EXCEPTION_EXECUTE_HANDLER) ExitProcess(3);
    return EXCEPTION_CONTINUE_SEARCH;
}

// The same, faulting the first time it runs.
LONG WINAPI fault_once_then_report_and_exit(EXCEPTION_POINTERS* info) {
    static int calls = 0;
    if (calls++ == 0) write_nowhere();
    return report_and_exit(info);
}

// Faults after it has put back the null filter.
LONG WINAPI remove_then_fault(EXCEPTION_POINTERS*) {
    SetUnhandledExceptionFilter(nullptr);
    write_nowhere();
    return EXCEPTION_EXECUTE_HANDLER;
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

int count_in(const std::string& output, const std::string& text) {
    int count = 0;
    for (std::string::size_type at = 0; (at = output.find(text, at)) != std::string::npos; ++at) ++count;
    return count;
}

int reports_in(const std::string& output) {
    return count_in(output, "Unhandled exception");
}

int hook_runs_in(const std::string& output) {
    return count_in(output, "exit hook ran");
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
        // A fault inside the filter goes to the filter then installed, as on
        // Windows: the filter again, which ends the process its own way...
        {"filter faulting once", fault_once_then_report_and_exit, write_nowhere, 3, "access violation", 1},
        // ... or, once it has put back the null filter, the report.
        {"fault after the filter is removed", remove_then_fault, write_nowhere, 0x05, "access violation", 1},
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
            AllOf(ContainsRegex(c.report), ResultOf(hook_runs_in, 1), ResultOf(reports_in, c.reports)));
    }
}

// A fault signal that a process sent is no fault: the report says so and
// names the sender, and reads no address from fields that hold its id.
void segv_from_another_process() {
    const pid_t self = getpid();
    int go[2];
    if (pipe(go) != 0) _exit(90);
    const pid_t sender = fork();
    if (sender == 0) {
        char byte;
        if (read(go[0], &byte, 1) == 1) kill(self, SIGSEGV);
        _exit(0);
    }
    // Its id said before it sends.
    fprintf(stderr, "sender %d\n", static_cast<int>(sender));
    if (write(go[1], "", 1) != 1) _exit(91);
    for (;;) pause();
}

void bus_error_queued_by_itself() {
    sigqueue(getpid(), SIGBUS, sigval{});
    for (;;) pause();
}

bool names_the_sender(const std::string& output) {
    int sender = 0;
    const size_t at = output.find("sender ");
    return at != std::string::npos && sscanf(output.c_str() + at, "sender %d", &sender) == 1 &&
           output.find("SIGSEGV sent by process " + std::to_string(sender) + "\n") != std::string::npos;
}

TEST(FaultDeathTest, AFaultSignalSentByAProcessIsSaidToBeOne) {
    using ::testing::AllOf;
    using ::testing::HasSubstr;
    using ::testing::Not;
    using ::testing::ResultOf;
    EXPECT_EXIT(
        {
            layer_at_exit(say_hook_ran);
            SetUnhandledExceptionFilter(pass_on);
            segv_from_another_process();
        },
        ::testing::ExitedWithCode(0x05),
        AllOf(HasSubstr("0xC0000005 (access violation): not a fault but SIGSEGV sent by process "),
              ResultOf(names_the_sender, true), Not(HasSubstr("accessing")), ResultOf(hook_runs_in, 1)));
    EXPECT_EXIT(
        {
            SetUnhandledExceptionFilter(pass_on);
            bus_error_queued_by_itself();
        },
        ::testing::ExitedWithCode(0x05), "not a fault but SIGBUS that this process sent itself\n");
}

// A hook that sends the process an ending signal and goes on. With another
// thread to take the signal it is taken at once, so the hook waits until
// it has been; alone, it finds it held.
bool other_thread = false;

void signal_self_then_finish() {
    kill(getpid(), SIGTERM);
    for (int waited = 0; other_thread && waited < 10000; ++waited) {
        sigset_t pending;
        sigpending(&pending);
        if (!sigismember(&pending, SIGTERM)) break;
        usleep(1000);
    }
    const char text[] = "hook finished\n";
    ssize_t ignored = write(STDERR_FILENO, text, sizeof text - 1);
    (void)ignored;
}

bool ended_by_exit_or_the_signal(int status) {
    return (WIFEXITED(status) && WEXITSTATUS(status) == 0) || (WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
}

TEST(FaultDeathTest, AnEndingSignalWaitsForTheExitHooks) {
    for (bool with_thread : {false, true}) {
        SCOPED_TRACE(with_thread ? "another thread takes the signal" : "the hooks' thread alone");
        EXPECT_EXIT(
            {
                layer_at_exit(signal_self_then_finish);
                other_thread = with_thread;
                if (with_thread)
                    std::thread([] {
                        for (;;) pause();
                    }).detach();
                ExitProcess(0);
            },
            ended_by_exit_or_the_signal, "hook finished");
    }
}

// Whether the exit hooks ran inside a section that holds the ending signals.
volatile sig_atomic_t inside_section = 0, hook_ran = 0;

void say_whether_inside_the_section() {
    hook_ran = 1;
    const char* text = inside_section ? "hooks ran inside the section\n" : "hooks ran after the section\n";
    ssize_t ignored = write(STDERR_FILENO, text, strlen(text));
    (void)ignored;
}

// Work that holds the ending signals (a display-mode change) is finished
// before the exit hooks run, also when another thread takes the signal and
// runs them meanwhile; 32, which glibc keeps for itself, as well.
TEST(FaultDeathTest, AnEndingSignalTakenElsewhereWaitsForAHeldSection) {
    for (int sig : {SIGTERM, 32}) {
        SCOPED_TRACE(sig);
        EXPECT_EXIT(
            {
                layer_at_exit(say_whether_inside_the_section);
                std::thread([] {
                    for (;;) pause();
                }).detach();
                sigset_t previous;
                layer_hold_ending_signals(&previous);
                inside_section = 1;
                kill(getpid(), sig);
                // Only the other thread can take it, and nothing else keeps
                // its hooks from running at once: the section lasts a second
                // for them.
                for (int waited = 0; waited < 1000 && !hook_ran; ++waited) usleep(1000);
                inside_section = 0;
                layer_release_ending_signals(&previous);
                for (;;) pause();
            },
            ::testing::KilledBySignal(sig), "hooks ran after the section");
    }
}

TEST(FaultDeathTest, RemovingTheFilterRestoresTheSignals) {
    EXPECT_EQ(SetUnhandledExceptionFilter(pass_on), nullptr);
    EXPECT_EQ(SetUnhandledExceptionFilter(nullptr), pass_on);
    EXPECT_EXIT(write_nowhere(), ::testing::KilledBySignal(SIGSEGV), "");
}

}  // namespace
