// Faults: SetUnhandledExceptionFilter turns the fault signals into the
// exception record a Windows filter expects, and UnhandledExceptionFilter is
// the platform's last chance for one: it asks the installed top-level filter
// and, when that passes, reports the fault.
#include "kernel/layer_kernel.h"

#include <signal.h>
#include <string.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

namespace {

const int fault_signals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
const int fault_signal_count = sizeof fault_signals / sizeof fault_signals[0];

LPTOP_LEVEL_EXCEPTION_FILTER current_filter = nullptr;
struct sigaction previous_actions[fault_signal_count];
bool handlers_installed = false;

// The handler runs on its own stack so that a stack overflow still reaches
// it. A guard page below that stack makes a filter that recurses without end
// fault there instead of writing over the memory beneath.
const size_t alternate_stack_size = 64 * 1024;
char* alternate_stack = nullptr;
char* alternate_guard = nullptr;

// How many faults are being handled: a fault inside a filter comes in
// while the one that called the filter is still being handled.
volatile sig_atomic_t fault_depth = 0;
// As Windows does, a fault inside the filters goes to the filters again; a
// filter that faults every time it runs ends the process at this depth.
const int max_fault_depth = 4;

// Called first for each fault (layer_set_fault_check).
void (*fault_check)() = nullptr;

// A fault signal that a process sent (kill, sigqueue, tgkill) rather than
// the processor raised: the report says so, and who sent it, in place of an
// address (the fields that would hold one hold the sender's id).
struct SentSignal {
    const EXCEPTION_RECORD* record;
    int signal;
    pid_t sender;
};
SentSignal sent_signal = {nullptr, 0, 0};

bool was_sent(const siginfo_t* info) {
    return info->si_code <= 0;  // SI_USER, SI_QUEUE, SI_TKILL...
}

DWORD exception_code(const siginfo_t* info) {
    switch (info->si_signo) {
    case SIGILL: return EXCEPTION_ILLEGAL_INSTRUCTION;
    case SIGFPE:
        switch (info->si_code) {
        case FPE_INTDIV: return EXCEPTION_INT_DIVIDE_BY_ZERO;
        case FPE_INTOVF: return EXCEPTION_INT_OVERFLOW;
        case FPE_FLTDIV: return EXCEPTION_FLT_DIVIDE_BY_ZERO;
        default: return EXCEPTION_FLT_INVALID_OPERATION;
        }
    default: return EXCEPTION_ACCESS_VIOLATION;
    }
}

void* instruction_address(void* context) {
    const ucontext_t* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return reinterpret_cast<void*>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
    return reinterpret_cast<void*>(uc->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
    return reinterpret_cast<void*>(uc->uc_mcontext.pc);
#else
    (void)uc;
    return nullptr;
#endif
}

// Whether the fault is the handler's own stack running out: a filter that
// re-enters itself until its stack is gone. This handler then runs at the
// top of that stack, over the frames that faulted, so nothing may return
// there.
bool overflows_alternate_stack(const siginfo_t* info) {
    const char* address = static_cast<const char*>(info->si_addr);
    return alternate_guard && info->si_signo == SIGSEGV && address >= alternate_guard && address < alternate_stack;
}

void on_fault(int, siginfo_t* info, void* context) {
    if (fault_check) fault_check();
    if (fault_depth >= max_fault_depth || overflows_alternate_stack(info)) {
        // Windows ends the process there and then.
        layer_run_exit_hooks();
        _exit(static_cast<int>(exception_code(info)));
    }
    ++fault_depth;
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = exception_code(info);
    record.ExceptionAddress = instruction_address(context);
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && !was_sent(info)) {
        // Windows gives the kind of access (unknown here: 0, read) and the address.
        record.NumberParameters = 2;
        record.ExceptionInformation[0] = 0;
        record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(info->si_addr);
    }
    const SentSignal outer = sent_signal;
    if (was_sent(info)) sent_signal = {&record, info->si_signo, info->si_pid};
    EXCEPTION_POINTERS pointers = {&record, context};
    // As the last-chance frame of a Windows thread does.
    LONG verdict = UnhandledExceptionFilter(&pointers);
    sent_signal = outer;
    if (verdict == EXCEPTION_CONTINUE_EXECUTION) {
        // Windows retries the instruction; a filter that repaired nothing
        // faults again, there as here.
        --fault_depth;
        return;
    }
    // As on Windows, the process ends with the exception code.
    layer_run_exit_hooks();
    _exit(static_cast<int>(record.ExceptionCode));
}

void install_handlers() {
    if (!alternate_stack) {
        const size_t guard = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void* area =
            mmap(nullptr, guard + alternate_stack_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (area != MAP_FAILED && mprotect(area, guard, PROT_NONE) == 0) {
            alternate_guard = static_cast<char*>(area);
            alternate_stack = alternate_guard + guard;
            stack_t stack = {};
            stack.ss_sp = alternate_stack;
            stack.ss_size = alternate_stack_size;
            sigaltstack(&stack, nullptr);
        }
    }
    for (int i = 0; i < fault_signal_count; ++i) {
        struct sigaction action = {};
        action.sa_sigaction = on_fault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(fault_signals[i], &action, &previous_actions[i]);
    }
    handlers_installed = true;
}

void remove_handlers() {
    for (int i = 0; i < fault_signal_count; ++i) sigaction(fault_signals[i], &previous_actions[i], nullptr);
    handlers_installed = false;
}

// Async-signal-safe formatting for the report.
char* put_text(char* out, const char* text) {
    while (*text) *out++ = *text++;
    return out;
}

char* put_decimal(char* out, uintptr_t value) {
    char digits[3 * sizeof value];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    while (count) *out++ = digits[--count];
    return out;
}

const char* signal_name(int sig) {
    switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    default: return "SIGFPE";
    }
}

char* put_hex(char* out, uintptr_t value, int min_digits) {
    char digits[2 * sizeof value];
    int count = 0;
    do {
        digits[count++] = "0123456789ABCDEF"[value & 15];
        value >>= 4;
    } while (value || count < min_digits);
    out = put_text(out, "0x");
    while (count) *out++ = digits[--count];
    return out;
}

const char* fault_name(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: return "access violation";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "integer division by zero";
    case EXCEPTION_INT_OVERFLOW: return "integer overflow";
    case EXCEPTION_FLT_DIVIDE_BY_ZERO: return "floating-point division by zero";
    case EXCEPTION_FLT_INVALID_OPERATION: return "floating-point invalid operation";
    default: return "exception";
    }
}

}  // namespace

bool layer_handling_fault() {
    return fault_depth > 0;
}

void layer_set_fault_check(void (*check)()) {
    fault_check = check;
}

extern "C" {

LPTOP_LEVEL_EXCEPTION_FILTER WINAPI SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
    LPTOP_LEVEL_EXCEPTION_FILTER previous = current_filter;
    current_filter = filter;
    if (filter && !handlers_installed) install_handlers();
    // While a fault is being handled the handlers stay: a filter that puts
    // back an earlier null filter before asking for the report must still
    // see a second fault end the process through the exit hooks, as the
    // last-chance frame of a Windows thread is always there.
    if (!filter && handlers_installed && !fault_depth) remove_handlers();
    return previous;
}

// As on Win32, the installed top-level filter is asked first, so a filter
// that calls this while it is still installed is called again, without end.
LONG WINAPI UnhandledExceptionFilter(EXCEPTION_POINTERS* info) {
    if (current_filter) {
        LONG verdict = current_filter(info);
        if (verdict != EXCEPTION_CONTINUE_SEARCH) return verdict;
    }
    char line[160];
    char* p = line;
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    p = put_text(p, "Unhandled exception ");
    p = put_hex(p, record->ExceptionCode, 8);
    p = put_text(p, " (");
    p = put_text(p, fault_name(record->ExceptionCode));
    if (record == sent_signal.record) {
        p = put_text(p, "): not a fault but ");
        p = put_text(p, signal_name(sent_signal.signal));
        if (sent_signal.sender == getpid()) {
            p = put_text(p, " that this process sent itself");
        } else {
            p = put_text(p, " sent by process ");
            p = put_decimal(p, static_cast<uintptr_t>(sent_signal.sender));
        }
    } else {
        p = put_text(p, ") at address ");
        p = put_hex(p, reinterpret_cast<uintptr_t>(record->ExceptionAddress), 1);
        if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
            p = put_text(p, " accessing ");
            p = put_hex(p, record->ExceptionInformation[1], 1);
        }
    }
    *p++ = '\n';
    ssize_t ignored = write(STDERR_FILENO, line, static_cast<size_t>(p - line));
    (void)ignored;
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // extern "C"
