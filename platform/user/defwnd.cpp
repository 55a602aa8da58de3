// DefWindowProcA: the default handling of a window's messages.
#include "user/user_internal.h"

#include <string.h>

#include <algorithm>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"

namespace {

void store_title(HWND window, const char* text) {
    Window* w = user_window(window);
    if (!w) return;
    w->title = text ? text : "";
    layer_driver()->set_title(window, w->title.c_str());
}

// Messages whose default handling is to do nothing and return 0, on
// Windows as here.
bool default_is_nothing(UINT message) {
    switch (message) {
    case WM_NULL:
    case WM_CREATE:
    case WM_DESTROY:
    case WM_MOVE:
    case WM_SIZE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_QUIT:
    case WM_SHOWWINDOW:
    case WM_ACTIVATEAPP:
    case WM_NCDESTROY:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_TIMER:
    case WM_COMMAND:
    case WM_INITDIALOG:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
    case WM_GETMINMAXINFO:
    case WM_NCPAINT: return true;
    default: return message >= WM_USER;
    }
}

HWND parent_of_child(HWND window) {
    Window* w = user_window(window);
    return w && (w->style & WS_CHILD) ? w->parent : nullptr;
}

}  // namespace

extern "C" LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCCREATE: {
        const CREATESTRUCTA* cs = reinterpret_cast<const CREATESTRUCTA*>(lparam);
        if (cs && cs->lpszName) store_title(window, cs->lpszName);
        return TRUE;
    }
    case WM_NCCALCSIZE: return 0;
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_SETTEXT: store_title(window, reinterpret_cast<const char*>(lparam)); return TRUE;
    case WM_GETTEXT: {
        Window* w = user_window(window);
        char* out = reinterpret_cast<char*>(lparam);
        if (!w || !out || wparam == 0) return 0;
        size_t n = std::min(w->title.size(), static_cast<size_t>(wparam - 1));
        memcpy(out, w->title.data(), n);
        out[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
        Window* w = user_window(window);
        return w ? static_cast<LRESULT>(w->title.size()) : 0;
    }
    case WM_PAINT: layer_core_validate(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_ACTIVATE:
        if (LOWORD(wparam) != WA_INACTIVE) SetFocus(window);
        return 0;
    case WM_NCHITTEST: return HTCLIENT;
    case WM_NCACTIVATE: return TRUE;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_CLOSE) {
            SendMessageA(window, WM_CLOSE, 0, 0);
        } else {
            layer_fixme_once("DefWindowProcA: system command 0x%04x is not implemented",
                             static_cast<unsigned>(wparam & 0xFFF0));
        }
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 closes the window (the context bit 29 says Alt is down).
        if (wparam == VK_F4 && (lparam & (1 << 29))) {
            SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
            layer_fixme_once("DefWindowProcA: keyboard menu access (WM_SYSKEYDOWN) is not implemented");
        }
        return 0;
    case WM_SYSKEYUP: return 0;
    case WM_SETCURSOR: {
        // A child asks its parent first; the parent may settle the cursor.
        HWND parent = parent_of_child(window);
        if (parent && user_window(parent) && SendMessageA(parent, WM_SETCURSOR, wparam, lparam)) return TRUE;
        Window* w = user_window(window);
        const WindowClass* cls = w ? user_class_by_atom(w->class_atom) : nullptr;
        if (LOWORD(lparam) == HTCLIENT && cls && cls->cursor) {
            SetCursor(cls->cursor);
            return TRUE;
        }
        return FALSE;
    }
    case WM_HELP:
    case WM_CONTEXTMENU: {
        // Passed up to the parent, as Windows does for a child.
        HWND parent = parent_of_child(window);
        if (parent && user_window(parent)) {
            return SendMessageA(parent, message, message == WM_CONTEXTMENU ? reinterpret_cast<WPARAM>(window) : wparam,
                                lparam);
        }
        return 0;
    }
    default:
        if (!default_is_nothing(message)) {
            layer_fixme_once("DefWindowProcA: default handling of message 0x%04x is not implemented", message);
        }
        return 0;
    }
}
