// Process services: command line, start-up information, module instance,
// version, last error, exit and the exit-hook registry.
#include "kernel/layer_kernel.h"

#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <layer_test.h>

namespace {

// The program's own instance: the classic image base of a Windows program.
HINSTANCE const own_instance = reinterpret_cast<HINSTANCE>(0x400000);

std::vector<std::string> process_args;
std::string command_line;
size_t tail_offset = 0;  // where the arguments after the program name start
DWORD startup_flags = 0;
WORD startup_show = 0;
DWORD platform_id = VER_PLATFORM_WIN32_NT;
bool version_fails = false;
DWORD last_error = 0;
HWND hosted_window = nullptr;
bool show_fps = false;
char run_switch = 0;

const int max_exit_hooks = 16;
void (*exit_hooks[max_exit_hooks])();
int exit_hook_count = 0;
// 0 before the hooks run, the id of the thread that runs them while they
// run, -1 once they have run.
int exit_hooks_state = 0;
// The thread inside a section that holds the ending signals; 0: none.
int holding_thread = 0;

void load_args_from_proc() {
    FILE* file = fopen("/proc/self/cmdline", "rb");
    if (!file) return;
    std::string arg;
    int c;
    while ((c = fgetc(file)) != EOF) {
        if (c == 0) {
            process_args.push_back(arg);
            arg.clear();
        } else {
            arg += static_cast<char>(c);
        }
    }
    fclose(file);
}

// Quotes arguments into one line the way the Windows argument splitter
// reads them back.
void build_command_line(int argc, const char* const* argv, char* out, size_t size) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) line += ' ';
        const char* arg = argv[i];
        if (!layer_quotes_argument(arg)) {
            line += arg;
            continue;
        }
        line += '"';
        for (const char* p = arg;; ++p) {
            size_t backslashes = 0;
            while (*p == '\\') {
                ++backslashes;
                ++p;
            }
            if (!*p) {
                // Doubled so that they don't escape the closing quote.
                line.append(backslashes * 2, '\\');
                break;
            }
            if (*p == '"') {
                line.append(backslashes * 2 + 1, '\\');
            } else {
                line.append(backslashes, '\\');
            }
            line += *p;
        }
        line += '"';
    }
    snprintf(out, size, "%s", line.c_str());
}

void rebuild_command_line() {
    if (process_args.empty()) load_args_from_proc();
    std::vector<const char*> argv;
    size_t size = 1;
    for (const std::string& arg : process_args) {
        argv.push_back(arg.c_str());
        size += arg.size() * 2 + 3;
    }
    command_line.assign(size, '\0');
    build_command_line(argv.empty() ? 0 : 1, argv.data(), &command_line[0], size);
    tail_offset = strlen(command_line.c_str());
    build_command_line(static_cast<int>(argv.size()), argv.data(), &command_line[0], size);
    command_line.resize(strlen(command_line.c_str()));
}

// glibc keeps the signals between the standard ones and SIGRTMIN (32 and
// 33) for its threads: its sigaction, sigaddset, sigprocmask and raise
// refuse them or leave them out. Until glibc takes one for itself (on its
// first use, after which it ignores that signal from other processes), its
// default ends the process as any other's does, so the layer reaches the
// kernel for them directly.
bool kept_by_glibc(int sig) {
    return sig > 31 && sig < SIGRTMIN;
}

// A signal's action as the kernel keeps it, in this machine's layout, which
// the layer does not read: a record is copied whole, and the default action
// (as a new program has it) is all zeros.
struct KernelAction {
    alignas(16) unsigned char bytes[64] = {};
};

bool kernel_action(int sig, const KernelAction* action, KernelAction* old) {
    return syscall(SYS_rt_sigaction, sig, action, old, _NSIG / 8) == 0;
}

void on_fatal_signal(int sig) {
    layer_run_exit_hooks();
    // The signal waits until the handler returns, then ends the process.
    const KernelAction default_action;
    kernel_action(sig, &default_action, nullptr);
    syscall(SYS_tgkill, getpid(), gettid(), sig);
}

// Whether the signal ends the process after the exit hooks: every one whose
// default action ends it (the real-time ones too, and those glibc keeps),
// but the faults, which faults.cpp turns into exceptions for the program's
// filter. The others are ignored, stop or continue by default; SIGKILL
// can't be caught.
bool is_ending_signal(int sig) {
    switch (sig) {
    case SIGSEGV:
    case SIGBUS:
    case SIGILL:
    case SIGFPE:
    case SIGKILL:
    case SIGSTOP:
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
    case SIGCONT:
    case SIGCHLD:
    case SIGURG:
    case SIGWINCH: return false;
    default: return sig > 0 && sig <= SIGRTMAX;
    }
}

// Those a screen-saver daemon ends a hosted run with.
const int daemon_signals[] = {SIGINT, SIGTERM, SIGHUP};

// Straight to the kernel, so that glibc's signals are held too; a set in
// glibc's sigset_t is the kernel's mask, a bit for each signal from the
// lowest.
void block_ending_signals(sigset_t* previous) {
    sigset_t ending;
    sigemptyset(&ending);
    unsigned long* words = reinterpret_cast<unsigned long*>(&ending);
    const int word_bits = 8 * sizeof *words;
    for (int sig = 1; sig <= SIGRTMAX; ++sig)
        if (is_ending_signal(sig)) words[(sig - 1) / word_bits] |= 1ul << ((sig - 1) % word_bits);
    sigemptyset(previous);
    syscall(SYS_rt_sigprocmask, SIG_BLOCK, &ending, previous, _NSIG / 8);
}

// Bounded, so that a thread stuck on a dead display cannot keep the process
// from ending.
template <typename Done>
void wait_at_most_ten_seconds_for(Done done) {
    const timespec pause = {0, 1000 * 1000};
    for (int waited = 0; waited < 10 * 1000 && !done(); ++waited) nanosleep(&pause, nullptr);
}

void install_exit_paths() {
    atexit(layer_run_exit_hooks);
    // A display mode left changed would outlive the process, so the hooks
    // also run when a signal ends it (an abort() inside a library as well);
    // a handler set by someone else stays, and so does an ignored signal.
    int taken = 0;
    for (int sig = 1; sig <= SIGRTMAX; ++sig) {
        struct sigaction old;
        if (is_ending_signal(sig) && !kept_by_glibc(sig) && sigaction(sig, nullptr, &old) == 0 &&
            old.sa_handler == SIG_DFL) {
            struct sigaction action = {};
            action.sa_handler = on_fatal_signal;
            sigemptyset(&action.sa_mask);
            sigaction(sig, &action, nullptr);
            taken = sig;
        }
    }
    // glibc's own signals get the record glibc made for one of the others,
    // with what the kernel needs to return from the handler, while glibc
    // has not taken them.
    KernelAction ours;
    if (!taken || !kernel_action(taken, nullptr, &ours)) return;
    const KernelAction default_action;
    for (int sig = 1; sig <= SIGRTMAX; ++sig) {
        KernelAction old;
        if (kept_by_glibc(sig) && kernel_action(sig, nullptr, &old) &&
            memcmp(old.bytes, default_action.bytes, sizeof old.bytes) == 0)
            kernel_action(sig, &ours, nullptr);
    }
}

}  // namespace

bool layer_quotes_argument(const char* arg) {
    return !*arg || strpbrk(arg, " \t\n\v\"");
}

LPSTR layer_command_tail() {
    // Where the line was written, not read back: past the program name
    // and the one space after it.
    char* tail = &command_line[std::min(tail_offset, command_line.size())];
    return *tail == ' ' ? tail + 1 : tail;
}

void layer_kernel_set_argv(int argc, char** argv) {
    process_args.assign(argv, argv + argc);
    rebuild_command_line();
}

void layer_set_startup_info(DWORD flags, WORD show_window) {
    startup_flags = flags;
    startup_show = show_window;
}

void layer_set_platform(DWORD id, bool fail) {
    platform_id = id;
    version_fails = fail;
}

void layer_kernel_reset() {
    rebuild_command_line();
    startup_flags = 0;
    startup_show = 0;
    platform_id = VER_PLATFORM_WIN32_NT;
    version_fails = false;
    last_error = 0;
    hosted_window = nullptr;
    show_fps = false;
    run_switch = 0;
    layer_use_real_ticks();
    layer_modules_reset();
}

void layer_at_exit(void (*hook)()) {
    if (exit_hook_count == 0) install_exit_paths();
    if (exit_hook_count < max_exit_hooks) exit_hooks[exit_hook_count++] = hook;
}

void layer_run_exit_hooks() {
    // The ending signals wait while this thread runs the hooks; on another
    // thread (any thread may take a signal) the handler waits for them below.
    sigset_t previous;
    block_ending_signals(&previous);
    const int self = static_cast<int>(gettid());
    // A section that another thread holds them for (a display-mode change)
    // ends first: the hooks would find its work half done.
    wait_at_most_ten_seconds_for([self] {
        const int holder = __atomic_load_n(&holding_thread, __ATOMIC_ACQUIRE);
        return holder == 0 || holder == self;
    });
    int state = 0;
    if (__atomic_compare_exchange_n(&exit_hooks_state, &state, self, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        for (int i = exit_hook_count - 1; i >= 0; --i) exit_hooks[i]();
        __atomic_store_n(&exit_hooks_state, -1, __ATOMIC_RELEASE);
    } else if (state != -1 && state != self) {
        wait_at_most_ten_seconds_for([] { return __atomic_load_n(&exit_hooks_state, __ATOMIC_ACQUIRE) == -1; });
    }
    // A hook that faulted (state == self) comes back here: the process ends
    // without the rest.
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void layer_hold_ending_signals(sigset_t* previous) {
    block_ending_signals(previous);
    __atomic_store_n(&holding_thread, static_cast<int>(gettid()), __ATOMIC_RELEASE);
}

void layer_release_ending_signals(const sigset_t* previous) {
    __atomic_store_n(&holding_thread, 0, __ATOMIC_RELEASE);
    pthread_sigmask(SIG_SETMASK, previous, nullptr);
}

void layer_set_hosted(HWND window) {
    hosted_window = window;
}

HWND layer_hosted_window() {
    return hosted_window;
}

void layer_set_run_switch(char program_switch) {
    run_switch = program_switch;
}

char layer_run_switch() {
    return run_switch;
}

void layer_set_show_fps(bool show) {
    show_fps = show;
}

bool layer_show_fps() {
    return show_fps;
}

void layer_ignore_broken_pipes() {
    struct sigaction old;
    if (sigaction(SIGPIPE, nullptr, &old) == 0 && (old.sa_handler == SIG_DFL || old.sa_handler == on_fatal_signal))
        signal(SIGPIPE, SIG_IGN);
}

void layer_end_on_signals() {
    sigset_t unblock;
    sigemptyset(&unblock);
    for (int sig : daemon_signals) {
        struct sigaction action = {};
        action.sa_handler = on_fatal_signal;
        sigemptyset(&action.sa_mask);
        sigaction(sig, &action, nullptr);
        sigaddset(&unblock, sig);
    }
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
}

void layer_fixme_once(const char* format, ...) {
    static std::set<std::string> said;
    char text[256];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (said.insert(text).second) fprintf(stderr, "fixme: %s\n", text);
}

extern "C" {

LPSTR WINAPI GetCommandLineA(void) {
    if (command_line.empty()) rebuild_command_line();
    return &command_line[0];
}

void WINAPI GetStartupInfoA(LPSTARTUPINFOA info) {
    memset(info, 0, sizeof *info);
    info->cb = sizeof *info;
    info->dwFlags = startup_flags;
    info->wShowWindow = startup_show;
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    // OSVERSIONINFOA is 148 bytes, OSVERSIONINFOEXA 156; Windows takes no other size.
    const DWORD size = info->dwOSVersionInfoSize;
    if (size != 148 && size != 156) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (version_fails) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0, size - sizeof(DWORD));
    // What modern Windows reports to a program without a compatibility manifest.
    info->dwMajorVersion = 6;
    info->dwMinorVersion = 2;
    info->dwBuildNumber = 9200;
    info->dwPlatformId = platform_id;
    return TRUE;
}

void WINAPI OutputDebugStringA(LPCSTR text) {
    if (show_fps && text) fputs(text, stderr);
}

DWORD WINAPI GetLastError(void) {
    return last_error;
}

void WINAPI SetLastError(DWORD error) {
    last_error = error;
}

void WINAPI ExitProcess(UINT code) {
    layer_run_exit_hooks();
    // A filter may end the process from inside the fault's signal handler,
    // where stdio may be half way through a call of its own.
    if (!layer_handling_fault()) {
        fflush(stdout);
        fflush(stderr);
    }
    // Linux keeps the low byte: ExitProcess(-1) shows as 255.
    _exit(static_cast<int>(code));
}

}  // extern "C"

HINSTANCE layer_own_instance() {
    return own_instance;
}
