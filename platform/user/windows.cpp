// The window tree: creation and destruction with their messages, queries,
// visibility, the core entries through which the driver reports native
// changes, and the tree's queries for a driver that keeps no tree of its
// own. Activation and focus are focus.cpp's.
#include "user/user_internal.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <map>
#include <memory>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"

namespace {

std::map<HWND, std::unique_ptr<Window>> windows;
std::vector<HWND> creation_order;

bool is_top_level(const Window* w) {
    return !(w->style & WS_CHILD);
}

LRESULT send(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendMessageA(handle, message, wparam, lparam);
}

HWND top_level_of(HWND handle) {
    Window* w = user_window(handle);
    while (w && !is_top_level(w)) {
        Window* parent = user_window(w->parent);
        if (!parent) break;
        w = parent;
    }
    return w ? w->handle : nullptr;
}

void show(HWND handle, bool visible, bool activate_it) {
    Window* w = user_window(handle);
    if (!w || !!(w->style & WS_VISIBLE) == visible) return;
    send(handle, WM_SHOWWINDOW, visible, 0);
    if (!(w = user_window(handle))) return;
    if (visible) {
        w->style |= WS_VISIBLE;
        w->needs_paint = true;
    } else {
        w->style &= ~WS_VISIBLE;
        w->needs_paint = false;
    }
    layer_driver()->show_window(handle, visible);
    if (is_top_level(w)) {
        if (visible && activate_it) user_activate(handle);
        if (!visible) user_deactivate(handle);
    }
}

void send_destroy(HWND handle) {
    if (!user_window(handle)) return;
    send(handle, WM_DESTROY, 0, 0);
    Window* w = user_window(handle);
    if (!w) return;
    std::vector<HWND> children = w->children;
    for (HWND child : children) send_destroy(child);
}

void free_window(HWND handle) {
    Window* w = user_window(handle);
    if (!w) return;
    std::vector<HWND> children = w->children;
    for (HWND child : children) free_window(child);
    send(handle, WM_NCDESTROY, 0, 0);
    user_forget_window(handle);
    user_forget_focus(handle);
    windows.erase(handle);
    creation_order.erase(std::find(creation_order.begin(), creation_order.end(), handle));
}

void mark_destroying(Window* w) {
    w->destroying = true;
    for (HWND child : w->children) mark_destroying(user_window(child));
}

// WM_DESTROY goes to the window and then to its children, parent first;
// WM_NCDESTROY then goes children first, after which the handles are dead.
void destroy(HWND handle, bool native_gone) {
    Window* w = user_window(handle);
    if (!w || w->destroying) return;
    mark_destroying(w);
    HWND parent = w->parent;
    user_drop_focus_within(handle);
    if (is_top_level(w)) user_deactivate(handle);
    send_destroy(handle);
    free_window(handle);
    if (Window* p = user_window(parent)) {
        p->children.erase(std::remove(p->children.begin(), p->children.end(), handle), p->children.end());
    }
    // The native window takes its native children with it.
    if (!native_gone) layer_driver()->destroy_window(handle);
}

bool copy_text(const std::string& text, LPSTR out, int max_count, int* copied) {
    if (!out || max_count <= 0) {
        *copied = 0;
        return false;
    }
    size_t n = std::min(text.size(), static_cast<size_t>(max_count - 1));
    memcpy(out, text.data(), n);
    out[n] = 0;
    *copied = static_cast<int>(n);
    return true;
}

Window* checked(HWND handle) {
    Window* w = user_window(handle);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

// The desktop of every monitor: the desktop window's where the driver has
// one (X's root window, at the screen's origin), else the screen.
void get_virtual_screen_size(int* width, int* height) {
    const LayerForeignDriver* foreign = layer_driver()->foreign;
    RECT desktop;
    if (foreign && foreign->get_client_rect(foreign->desktop_window(), &desktop)) {
        *width = desktop.right;
        *height = desktop.bottom;
        return;
    }
    layer_driver()->get_screen_size(width, height);
}

}  // namespace

Window* user_window(HWND handle) {
    auto it = windows.find(handle);
    return it == windows.end() ? nullptr : it->second.get();
}

std::vector<HWND> user_window_list() {
    return creation_order;
}

std::vector<HWND> user_top_level_windows() {
    std::vector<HWND> list;
    for (HWND handle : creation_order) {
        if (is_top_level(user_window(handle))) list.push_back(handle);
    }
    return list;
}

bool user_is_descendant(HWND window, HWND ancestor) {
    Window* w = user_window(window);
    while (w && !is_top_level(w)) {
        if (w->parent == ancestor) return true;
        w = user_window(w->parent);
    }
    return false;
}

HWND user_find_top_level(const char* class_name, const char* title) {
    for (HWND handle : user_top_level_windows()) {
        Window* w = user_window(handle);
        const WindowClass* cls = user_class_by_atom(w->class_atom);
        if (class_name && (!cls || strcasecmp(cls->name.c_str(), class_name) != 0)) continue;
        if (title && strcasecmp(w->title.c_str(), title) != 0) continue;
        return handle;
    }
    return nullptr;
}

void user_windows_reset() {
    for (HWND handle : user_top_level_windows()) layer_driver()->destroy_window(handle);
    windows.clear();
    creation_order.clear();
    user_focus_reset();
}

bool layer_core_owns(HWND window) {
    return user_window(window) != nullptr;
}

std::vector<HWND> layer_core_children(HWND parent) {
    if (!parent) return user_top_level_windows();
    Window* w = user_window(parent);
    return w ? w->children : std::vector<HWND>();
}

HWND layer_core_top_level(HWND window) {
    return top_level_of(window);
}

HWND layer_core_window_at(HWND window, POINT* point) {
    Window* w = user_window(window);
    if (!w) return nullptr;
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        Window* child = user_window(*it);
        if (!child || child->destroying || !(child->style & WS_VISIBLE)) continue;
        if (point->x < child->x || point->y < child->y || point->x >= child->x + child->width ||
            point->y >= child->y + child->height)
            continue;
        point->x -= child->x;
        point->y -= child->y;
        return layer_core_window_at(*it, point);
    }
    return window;
}

void layer_core_native_destroyed(HWND window) {
    destroy(window, true);
}

void layer_core_resized(HWND window, int width, int height) {
    Window* w = user_window(window);
    if (!w || (w->width == width && w->height == height)) return;
    w->width = width;
    w->height = height;
    send(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
}

void layer_core_host_resized(HWND host, int width, int height) {
    for (HWND handle : user_window_list()) {
        Window* w = user_window(handle);
        if (w && w->parent == host) MoveWindow(handle, w->x, w->y, width, height, TRUE);
    }
}

void layer_core_invalidate(HWND window) {
    Window* w = user_window(window);
    if (w && (w->style & WS_VISIBLE)) w->needs_paint = true;
}

void layer_core_validate(HWND window) {
    if (Window* w = user_window(window)) w->needs_paint = false;
}

bool user_is_foreign(HWND window) {
    const LayerForeignDriver* foreign = layer_driver()->foreign;
    return foreign && foreign->is_window(window);
}

extern "C" {

HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    const WindowClass* cls = user_find_class(class_name);
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    const LayerDriver* driver = layer_driver();
    bool child = (style & WS_CHILD) != 0;
    if (child && !parent) {
        SetLastError(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    if (parent && !user_window(parent) && !user_is_foreign(parent)) {
        // The daemon's window went after the entry found it: the run ends
        // before it begins, so say why.
        if (parent == layer_hosted_window())
            fprintf(stderr, "%s: cannot draw inside window 0x%lx: it went away\n", program_invocation_short_name,
                    static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(parent)));
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) {
        layer_fixme_once("CreateWindowExA: CW_USEDEFAULT sizes are not implemented");
        width = height = 0;
    }
    if (menu && !child) layer_fixme_once("CreateWindowExA: menus are not implemented");

    LayerWindowDesc desc = {
        cls->name.c_str(),       title ? title : "", style, ex_style, cls->style, x, y, width, height,
        child ? parent : nullptr};
    HWND handle = driver->create_window(&desc);
    if (!handle) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Window* w = new Window{handle,
                           cls->atom,
                           cls->proc,
                           child ? parent : nullptr,
                           child ? nullptr : parent,
                           {},
                           style & ~static_cast<DWORD>(WS_VISIBLE),
                           ex_style,
                           "",
                           x,
                           y,
                           width,
                           height,
                           instance,
                           false,
                           false};
    windows[handle].reset(w);
    creation_order.push_back(handle);
    if (Window* p = user_window(w->parent)) p->children.push_back(handle);
    user_apply_cursor(handle);

    CREATESTRUCTA cs = {param, instance,   menu,    parent, height, width, y, x, static_cast<LONG>(style),
                        title, class_name, ex_style};
    if (!send(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        destroy(handle, false);
        return nullptr;
    }
    if (!user_window(handle)) return nullptr;
    RECT client = {x, y, x + width, y + height};
    send(handle, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&client));
    if (send(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        destroy(handle, false);
        return nullptr;
    }
    if (!user_window(handle)) return nullptr;
    send(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    send(handle, WM_MOVE, 0, MAKELPARAM(x, y));
    if (style & WS_VISIBLE) show(handle, true, true);
    return user_window(handle) ? handle : nullptr;
}

BOOL WINAPI DestroyWindow(HWND window) {
    Window* w = user_window(window);
    if (!w) {
        SetLastError(user_is_foreign(window) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    destroy(window, false);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND window) {
    if (!window) return FALSE;
    return user_window(window) || user_is_foreign(window);
}

HWND WINAPI GetParent(HWND window) {
    Window* w = checked(window);
    if (!w) return nullptr;
    if (w->style & WS_CHILD) return w->parent;
    // Win32 quirk: for a popup, GetParent answers with the owner.
    if (w->style & WS_POPUP) return w->owner;
    return nullptr;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    if (Window* w = user_window(window)) {
        *rect = RECT{0, 0, w->width, w->height};
        return TRUE;
    }
    const LayerForeignDriver* foreign = layer_driver()->foreign;
    if (foreign && foreign->get_client_rect(window, rect)) return TRUE;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
    Window* w = user_window(window);
    if (!w) return GetClientRect(window, rect);
    // Screen coordinates: the layer's windows have no frame, so the window
    // rectangle is the client area moved by the positions of its parents.
    int left = 0, top = 0;
    for (Window* p = w; p; p = user_window(p->parent)) {
        left += p->x;
        top += p->y;
    }
    *rect = RECT{left, top, left + w->width, top + w->height};
    return TRUE;
}

HWND WINAPI FindWindowA(LPCSTR class_name, LPCSTR title) {
    if (class_name && IS_INTRESOURCE(class_name)) {
        const WindowClass* cls = user_find_class(class_name);
        if (!cls) return nullptr;
        class_name = cls->name.c_str();
    }
    const LayerForeignDriver* foreign = layer_driver()->foreign;
    // Without windows of other processes, only the program's own are found.
    return foreign ? foreign->find_window(class_name, title) : user_find_top_level(class_name, title);
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    if (!user_window(window)) {
        if (user_is_foreign(window)) layer_fixme_once("SetWindowTextA on another process's window");
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return static_cast<BOOL>(send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")));
}

int WINAPI GetWindowTextA(HWND window, LPSTR text, int max_count) {
    if (!user_window(window)) {
        if (user_is_foreign(window)) layer_fixme_once("GetWindowTextA on another process's window");
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        if (text && max_count > 0) *text = 0;
        return 0;
    }
    if (!text || max_count <= 0) return 0;
    return static_cast<int>(send(window, WM_GETTEXT, max_count, reinterpret_cast<LPARAM>(text)));
}

int WINAPI GetClassNameA(HWND window, LPSTR name, int max_count) {
    Window* w = checked(window);
    if (!w) return 0;
    int copied;
    copy_text(user_class_by_atom(w->class_atom)->name, name, max_count, &copied);
    return copied;
}

LONG WINAPI GetWindowLongA(HWND window, int index) {
    Window* w = checked(window);
    if (!w) return 0;
    switch (index) {
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->ex_style);
    default: layer_fixme_once("GetWindowLongA index %d is not implemented", index); return 0;
    }
}

BOOL WINAPI ShowWindow(HWND window, int command) {
    Window* w = checked(window);
    if (!w) return FALSE;
    BOOL was_visible = (w->style & WS_VISIBLE) != 0;
    switch (command) {
    case SW_HIDE: show(window, false, false); break;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE: show(window, true, false); break;
    case SW_SHOWNORMAL:
    case SW_SHOW:
    case SW_SHOWDEFAULT: show(window, true, true); break;
    default:
        layer_fixme_once("ShowWindow command %d is not implemented (shown normally)", command);
        show(window, true, true);
        break;
    }
    return was_visible;
}

BOOL WINAPI IsWindowVisible(HWND window) {
    for (Window* w = user_window(window); w; w = user_window(w->parent)) {
        if (!(w->style & WS_VISIBLE)) return FALSE;
        if (is_top_level(w)) return TRUE;
    }
    return user_window(window) != nullptr;
}

// Win32 sends WM_MOVE and WM_SIZE only for what changed (with
// WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED around them, which the layer
// leaves out).
BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    Window* w = checked(window);
    if (!w) return FALSE;
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    bool moved = w->x != x || w->y != y;
    bool sized = w->width != width || w->height != height;
    w->x = x;
    w->y = y;
    w->width = width;
    w->height = height;
    layer_driver()->set_window_rect(window, x, y, width, height);
    if (moved) send(window, WM_MOVE, 0, MAKELPARAM(x, y));
    if (sized && user_window(window)) send(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    if (repaint) layer_core_invalidate(window);
    return TRUE;
}

HWND WINAPI GetDesktopWindow(void) {
    const LayerForeignDriver* foreign = layer_driver()->foreign;
    return foreign ? foreign->desktop_window() : nullptr;
}

int WINAPI GetSystemMetrics(int index) {
    int width = 0, height = 0;
    switch (index) {
    // The primary monitor's size, as on Windows.
    case SM_CXSCREEN: layer_driver()->get_screen_size(&width, &height); return width;
    case SM_CYSCREEN: layer_driver()->get_screen_size(&width, &height); return height;
    // The layer's screen coordinates are the display server's, whose origin
    // is the desktop's corner (on Windows it is the primary monitor's).
    case SM_XVIRTUALSCREEN: return user_monitors_left_to_program() ? user_monitor_bounds().left : 0;
    case SM_YVIRTUALSCREEN: return user_monitors_left_to_program() ? user_monitor_bounds().top : 0;
    case SM_CXVIRTUALSCREEN:
    case SM_CYVIRTUALSCREEN:
        if (user_monitors_left_to_program()) {
            const RECT all = user_monitor_bounds();
            return index == SM_CXVIRTUALSCREEN ? all.right - all.left : all.bottom - all.top;
        }
        get_virtual_screen_size(&width, &height);
        return index == SM_CXVIRTUALSCREEN ? width : height;
    // The program sees one monitor, and the drivers spread a full-screen
    // window's picture over the real ones themselves (monitors.cpp).
    case SM_CMONITORS: return user_monitor_count();
    case layer_hosted_metric: return layer_hosted_window() != nullptr;
    case layer_every_monitor_metric: return !user_monitors_left_to_program();
    default: layer_fixme_once("GetSystemMetrics index %d is not implemented", index); return 0;
    }
}

}  // extern "C"
