// Process entry, command-line switch and the launchers of the four modes.
#include "host/entry.h"

#include "host/host_state.h"
#include "host/password.h"
#include "host/saver_window.h"
#include "settings/configure_dialog.h"

namespace {

const WORD configure_dialog_template = 2003;

// The top-level filter that was in place before the mode's own.
LPTOP_LEVEL_EXCEPTION_FILTER outer_fault_filter = NULL;

// The platform's last-chance filter, installed around the mode. A fault that
// escapes the mode must not leave the system believing a saver still runs.
LONG WINAPI host_fault_filter(EXCEPTION_POINTERS* info) {
    // The platform's report asks the installed top-level filter first, which
    // is this one: put the earlier filter back, or the report comes straight
    // back here until the stack is gone.
    SetUnhandledExceptionFilter(outer_fault_filter);
    LONG verdict = UnhandledExceptionFilter(info);
    if (verdict == EXCEPTION_EXECUTE_HANDLER) {
        set_saver_running(false);
        ExitProcess(fault_exit_code);
    }
    // Execution goes on (or a debugger takes the fault): keep guarding.
    SetUnhandledExceptionFilter(host_fault_filter);
    return verdict;
}

const char* skip_spaces(const char* text) {
    while (*text == ' ') ++text;
    return text;
}

bool query_win9x_family() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;  // 148
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

// The handle that the text gives in decimal; NULL when it gives none.
HWND window_from_text(const char* text) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(parse_window_handle(text)));
}

// Runs the mode that the tail's first switch selects.
int run_switch(const char* tail) {
    SaverSwitch choice = read_switch(tail);
    if (!choice.recognised) return -1;
    switch (choice.mode) {
    case SaverMode::Saver: return run_saver_window(NULL);
    case SaverMode::Preview: return run_preview(choice.handle_text);
    case SaverMode::Configure: return run_configuration(choice.foreground_owner ? GetForegroundWindow() : NULL);
    case SaverMode::ChangePassword:
        if (!host_state().win9x_family) return -1;
        return run_change_password(choice.handle_text);
    }
    return -1;
}

}  // namespace

SaverSwitch read_switch(const char* tail) {
    SaverSwitch choice = {true, SaverMode::Configure, false, NULL};
    const char* p = tail;
    while (*p == ' ' || *p == '-' || *p == '/') ++p;
    switch (*p) {
    case '\0': break;
    case 'A':
    case 'a':
        choice.mode = SaverMode::ChangePassword;
        choice.handle_text = skip_spaces(p + 1);
        break;
    case 'C':
    case 'c': choice.foreground_owner = true; break;
    case 'L':
    case 'l':
    case 'P':
    case 'p':
        choice.mode = SaverMode::Preview;
        choice.handle_text = skip_spaces(p + 1);
        break;
    case 'S':
    case 's': choice.mode = SaverMode::Saver; break;
    default: choice.recognised = false; break;
    }
    return choice;
}

const char* command_line_tail(const char* line) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(line);
    auto next = [](const unsigned char* at) {
        return reinterpret_cast<const unsigned char*>(CharNextA(reinterpret_cast<const char*>(at)));
    };

    if (*p == '"') {
        // The name ends at the first quote that no odd run of backslashes
        // escapes: a name that holds a quote (possible on Linux, never in a
        // Windows file name) comes escaped as the argument splitter reads it.
        int backslashes = 0;
        p = next(p);
        while (*p != '\0' && (*p != '"' || backslashes % 2 == 1)) {
            backslashes = *p == '\\' ? backslashes + 1 : 0;
            p = next(p);
        }
        if (*p == '"') p = next(p);
    } else if (*p > ' ') {
        while (*p > ' ') p = next(p);
    }
    while (*p != '\0' && *p <= ' ') p = next(p);
    return reinterpret_cast<const char*>(p);
}

void host_entry() {
    const char* tail = command_line_tail(GetCommandLineA());
    // The dispatcher reads no show state.
    int result = saver_main(GetModuleHandleA(NULL), NULL, const_cast<LPSTR>(tail), SW_SHOWDEFAULT);
    // Straight out: the run-time's own exit processing is not wanted here.
    ExitProcess(static_cast<UINT>(result));
}

int saver_main(HINSTANCE instance, HINSTANCE, LPSTR tail, int) {
    HostState& host = host_state();
    host.instance = instance;
    host.win9x_family = query_win9x_family();
    host.in_daemon_window = GetSystemMetrics(daemon_window_metric) != 0;
    host.every_monitor = GetSystemMetrics(every_monitor_metric) == 0;

    outer_fault_filter = SetUnhandledExceptionFilter(host_fault_filter);
    int result = run_switch(tail);
    SetUnhandledExceptionFilter(outer_fault_filter);
    return result;
}

DWORD parse_window_handle(const char* text) {
    // Window handles are 32-bit values; a longer number would wrap round to
    // some other window, so it names none.
    unsigned long long value = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 0xFFFFFFFFull) return 0;
    }
    return static_cast<DWORD>(value);
}

int run_preview(const char* text) {
    HWND parent = window_from_text(text);
    if (parent == NULL || !IsWindow(parent)) return -1;
    return run_saver_window(parent);
}

int run_change_password(const char* text) {
    HWND owner = window_from_text(text);
    if (owner == NULL || !IsWindow(owner)) owner = GetForegroundWindow();
    change_password(owner);
    return 0;
}

int run_configuration(HWND owner) {
    return static_cast<int>(DialogBoxParamA(host_state().instance, MAKEINTRESOURCEA(configure_dialog_template), owner,
                                            configure_dialog_proc, 0));
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    host_entry();
}
