// The saver window, its class and loop, and the dismissal rules.
#include "host/saver_window.h"

#include "display/gl_window.h"
#include "display/saver_hook.h"
#include "host/host_state.h"
#include "host/password.h"

namespace {

const char saver_class_name[] = "WindowsScreenSaverClass";
const char saver_title[] = "Screen Saver";
const char preview_title[] = "Preview";
const WORD class_icon_id = 100;
const DWORD saver_style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
const DWORD preview_style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;

void detach_input_context(HWND window) {
    HostState& host = host_state();
    host.imm_module = GetModuleHandleA("IMM32.DLL");
    host.associate_context_entry = NULL;
    host.previous_input_context = NULL;
    if (host.imm_module == NULL) return;
    host.associate_context_entry = module_entry<AssociateContextProc>(host.imm_module, "ImmAssociateContext");
    if (host.associate_context_entry != NULL) host.previous_input_context = host.associate_context_entry(window, NULL);
}

void reattach_input_context(HWND window) {
    const HostState& host = host_state();
    if (host.imm_module != NULL && host.associate_context_entry != NULL && host.previous_input_context != NULL)
        host.associate_context_entry(window, host.previous_input_context);
}

DWORD distance_1d(LONG a, LONG b) {
    // Unsigned throughout, so far-apart coordinates can't overflow.
    return a >= b ? static_cast<DWORD>(a) - static_cast<DWORD>(b) : static_cast<DWORD>(b) - static_cast<DWORD>(a);
}

// Every monitor (the virtual screen) where the display copies the picture
// onto each; else the primary, and the platform does it.
void full_screen_rect(const HostState& host, int* x, int* y, int* width, int* height) {
    if (!host.every_monitor) {
        *width = GetSystemMetrics(SM_CXSCREEN);
        *height = GetSystemMetrics(SM_CYSCREEN);
        return;
    }
    *x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    *y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    *width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    *height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
}

bool is_refused_system_command(WPARAM command) {
    return command == SC_NEXTWINDOW || command == SC_PREVWINDOW || command == SC_SCREENSAVE;
}

LRESULT CALLBACK saver_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT default_saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace

int run_saver_window(HWND parent) {
    HostState& host = host_state();
    WNDCLASSA saver_class = {};
    saver_class.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    saver_class.lpfnWndProc = saver_window_proc;
    saver_class.hInstance = host.instance;
    saver_class.hIcon = LoadIconA(host.instance, MAKEINTRESOURCEA(class_icon_id));
    saver_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    saver_class.lpszClassName = saver_class_name;

    int x = 0, y = 0, width, height;
    DWORD style, ex_style;
    const char* title;
    if (parent != NULL) {
        RECT client = {};
        GetClientRect(parent, &client);
        width = client.right;
        height = client.bottom;
        style = preview_style;
        ex_style = 0;
        title = preview_title;
        host.preview = true;
    } else {
        full_screen_rect(host, &x, &y, &width, &height);
        style = saver_style;
        ex_style = WS_EX_TOPMOST;
        title = saver_title;
        HWND running = FindWindowA(saver_class_name, saver_title);
        if (running != NULL && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        load_password_verifier();
    }

    if (RegisterClassA(&saver_class))
        host.saver_window = CreateWindowExA(ex_style, saver_class_name, title, style, x, y, width, height, parent, NULL,
                                            host.instance, NULL);

    // Without a window no message is ever retrieved; report "nothing ran"
    // like the other launchers rather than a success.
    int result = -1;
    if (host.saver_window != NULL) {
        if (!host.preview) SetForegroundWindow(host.saver_window);
        MSG msg = {};
        // An unfiltered GetMessageA can't fail, but a -1 must not spin.
        while (GetMessageA(&msg, NULL, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        result = static_cast<int>(msg.wParam);
    }

    unload_password_verifier();
    return result;
}

namespace {

LRESULT CALLBACK saver_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    HostState& host = host_state();
    switch (message) {
    case WM_CREATE: {
        detach_input_context(window);
        GetCursorPos(&host.remembered_cursor);
        if (!host.preview) SetCursor(NULL);
        DisplayRequest request = {};
        request.in_daemon_window = host.in_daemon_window;
        request.password_guarded = host.verifier != NULL;
        request.every_monitor = !host.preview && host.every_monitor;
        // Never -1, whatever the display's fate: its failures end the run
        // through the quit message.
        create_display(window, request);
        return 0;
    }

    case WM_DESTROY:
        reattach_input_context(window);
        PostQuitMessage(0);
        release_display();
        return 0;

    case WM_SIZE: follow_saver_size(LOWORD(lparam), HIWORD(lparam)); break;

    case WM_DISPLAYCHANGE: follow_display_change(window); break;

    case WM_SETTEXT:
        // The title identifies a running saver to other saver processes.
        return 0;

    case WM_PAINT:
        if (host.closing) return DefWindowProcA(window, message, wparam, lparam);
        if (!host.preview) SetCursor(NULL);
        break;

    case WM_HELP:
    case WM_CONTEXTMENU:
        if (host.preview) {
            HWND parent = GetParent(window);
            if (parent != NULL && IsWindow(parent))
                PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lparam);
            return 1;
        }
        break;

    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (host.closing) return DefWindowProcA(window, message, wparam, lparam);
        break;

    case WM_SYSCOMMAND:
        // No task switching and no second saver started from this one.
        if (!host.preview && is_refused_system_command(wparam)) return 0;
        break;

    case WM_TIMER:
        if (host.closing) return 0;
        Sleep(0);
        break;
    }
    return default_saver_proc(window, message, wparam, lparam);
}

LRESULT default_saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    HostState& host = host_state();
    if (host.preview || host.closing) return DefWindowProcA(window, message, wparam, lparam);

    // The close and the verification request come before the test of a
    // verification in progress: the password prompt sends the request while
    // it is verifying.
    if (message == WM_CLOSE && host.win9x_family) {
        if (!verify_password_on_close(window)) {
            GetCursorPos(&host.remembered_cursor);
            return 0;
        }
        return DefWindowProcA(window, message, wparam, lparam);
    }
    if (message == WM_APP && host.win9x_family) return host.verifier != NULL ? host.verifier(window) : 1;

    if (host.verifying) return DefWindowProcA(window, message, wparam, lparam);

    switch (message) {
    case WM_SHOWWINDOW:
        if (wparam != 0) SetCursor(NULL);
        break;

    case WM_ACTIVATEAPP:
        if (wparam == 0) PostMessageA(window, WM_CLOSE, 0, 0);
        break;

    case WM_SETCURSOR: SetCursor(NULL); return 1;

    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: PostMessageA(window, WM_CLOSE, 0, 0); break;

    case WM_MOUSEMOVE: {
        // The message's own coordinates are not used: they are client
        // coordinates, and the remembered point is on the screen.
        POINT now;
        GetCursorPos(&now);
        DWORD distance = distance_1d(now.x, host.remembered_cursor.x) + distance_1d(now.y, host.remembered_cursor.y);
        if (distance > mouse_move_threshold) {
            PostMessageA(window, WM_CLOSE, 0, 0);
            host.remembered_cursor = now;
        }
        break;
    }
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace
