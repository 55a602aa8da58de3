// Device contexts: GetDC and ReleaseDC, and the per-window records the
// pixel format lives in. A CS_OWNDC window has one DC for its whole life;
// other windows get a fresh DC from each GetDC until ReleaseDC.
#include "gdi/gdi_internal.h"

#include <map>

#include "kernel/layer_kernel.h"
#include "user/user_internal.h"

namespace {

struct GdiWindow {
    HDC own_dc;
    int format;
};

std::map<HWND, GdiWindow> gdi_windows;
std::map<HDC, DeviceContext> dcs;
// Handles are never reused in a run, so a stale one stays invalid.
uintptr_t next_dc = 0x2000;

HDC new_dc_handle() {
    next_dc += 4;
    return reinterpret_cast<HDC>(next_dc);
}

// A window's DCs and pixel format go with the window.
void prune_destroyed() {
    for (auto it = gdi_windows.begin(); it != gdi_windows.end();) {
        if (user_window(it->first)) {
            ++it;
            continue;
        }
        HWND window = it->first;
        for (auto dc = dcs.begin(); dc != dcs.end();) {
            if (dc->second.window == window)
                dc = dcs.erase(dc);
            else
                ++dc;
        }
        const LayerGlDriver* gl = gdi_gl_driver();
        if (gl->forget_window) gl->forget_window(window);
        it = gdi_windows.erase(it);
    }
}

bool has_own_dc(const Window* w) {
    const WindowClass* window_class = user_class_by_atom(w->class_atom);
    UINT style = window_class ? window_class->style : 0;
    if (style & (CS_CLASSDC | CS_PARENTDC))
        layer_fixme_once("GetDC: CS_CLASSDC and CS_PARENTDC are not implemented; the window gets common DCs");
    return style & CS_OWNDC;
}

}  // namespace

DeviceContext* gdi_dc(HDC dc) {
    prune_destroyed();
    auto it = dcs.find(dc);
    return it == dcs.end() ? nullptr : &it->second;
}

int gdi_window_format(HWND window) {
    auto it = gdi_windows.find(window);
    return it == gdi_windows.end() ? 0 : it->second.format;
}

int layer_core_pixel_format(HWND window) {
    return gdi_window_format(window);
}

void gdi_set_window_format(HWND window, int format) {
    gdi_windows[window].format = format;
}

int gdi_held_dcs() {
    prune_destroyed();
    int held = 0;
    for (const auto& entry : dcs) held += entry.second.held;
    return held;
}

void gdi_dc_reset() {
    dcs.clear();
    gdi_windows.clear();
}

extern "C" {

HDC WINAPI GetDC(HWND window) {
    if (!window) {
        layer_fixme_once("GetDC: the screen's device context is not implemented");
        return nullptr;
    }
    Window* w = user_window(window);
    if (!w) {
        if (user_is_foreign(window))
            layer_fixme_once("GetDC: device contexts of another process's windows are not implemented");
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    prune_destroyed();
    GdiWindow& record = gdi_windows[window];
    if (has_own_dc(w)) {
        if (!record.own_dc) {
            record.own_dc = new_dc_handle();
            dcs[record.own_dc] = DeviceContext{record.own_dc, window, true, 0};
        }
        dcs[record.own_dc].held++;
        return record.own_dc;
    }
    HDC dc = new_dc_handle();
    dcs[dc] = DeviceContext{dc, window, false, 1};
    return dc;
}

// Win32 quirk: the window named is not looked at; the DC alone says what
// is released, so a DC given back with another window's handle is released.
int WINAPI ReleaseDC(HWND, HDC dc) {
    DeviceContext* record = gdi_dc(dc);
    if (!record) {
        gdi_note_repeated_release();
        return 0;
    }
    if (record->held > 0)
        record->held--;
    else
        gdi_note_repeated_release();
    // Win32 quirk: releasing a CS_OWNDC window's DC returns 1 and leaves the
    // DC as it was; it lives until the window is destroyed.
    if (!record->own) dcs.erase(dc);
    return 1;
}

}  // extern "C"
