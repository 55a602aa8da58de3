// Window classes, icons and stock objects.
#include "user/user_internal.h"

#include <strings.h>

#include <memory>

#include "kernel/layer_kernel.h"

namespace {

std::vector<std::unique_ptr<WindowClass>> classes;
ATOM next_atom = 0xC000;  // where Windows starts the atoms of registered classes

}  // namespace

const WindowClass* user_class_by_atom(ATOM atom) {
    for (const auto& cls : classes) {
        if (cls->atom == atom) return cls.get();
    }
    return nullptr;
}

const WindowClass* user_find_class(LPCSTR name) {
    if (!name) return nullptr;
    if (IS_INTRESOURCE(name)) return user_class_by_atom(LOWORD(name));
    for (const auto& cls : classes) {
        if (strcasecmp(cls->name.c_str(), name) == 0) return cls.get();
    }
    return nullptr;
}

void user_classes_reset() {
    classes.clear();
}

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (user_find_class(wc->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    if (wc->cbClsExtra || wc->cbWndExtra) layer_fixme_once("RegisterClassA: class and window extra bytes are not kept");
    classes.push_back(std::unique_ptr<WindowClass>(
        new WindowClass{wc->lpszClassName, next_atom++, wc->style, wc->lpfnWndProc, wc->hInstance, wc->hCursor}));
    return classes.back()->atom;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!instance) {
        layer_fixme_once("LoadIconA: system icons are not implemented");
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    // Nothing on the layer draws an icon, so no image is made: the icon
    // group's resource handle stands for it. FindResourceA sets the error.
    return reinterpret_cast<HICON>(FindResourceA(instance, name, RT_GROUP_ICON));
}

HGDIOBJ WINAPI GetStockObject(int index) {
    // Distinct non-null handles; the layer paints no backgrounds with them.
    static char stock_objects[20];
    if (index < 0 || index >= static_cast<int>(sizeof stock_objects)) return nullptr;
    return &stock_objects[index];
}

}  // extern "C"
