// Rendering contexts: wglCreateContext, wglMakeCurrent, wglDeleteContext,
// the current context, and SwapBuffers; also the seam's counts and
// injected failures for this part. There is one thread, so "current" is
// simply the process's current context.
#include "gdi/gdi_internal.h"

#include <dlfcn.h>

#include <map>

namespace {

// The GL driver that has been used, if any; reset asks only that one.
const LayerGlDriver* used_driver = nullptr;

std::map<HGLRC, void*> contexts;  // the driver's context for each handle
uintptr_t next_context = 0x10000;
HGLRC current_context = nullptr;
HDC current_dc = nullptr;

bool failing[LAYER_FAIL_MAKE_CURRENT + 1];
int repeated_releases = 0;
int swaps = 0;

HGLRC new_context_handle() {
    next_context += 4;
    return reinterpret_cast<HGLRC>(next_context);
}

void release_current() {
    if (!current_context) return;
    used_driver->make_current(nullptr, nullptr);
    current_context = nullptr;
    current_dc = nullptr;
}

// A driver without GL: windows have no pixel formats, so nothing further
// can be asked of it.
int no_format_count(HWND, int* settable) {
    *settable = 0;
    return 0;
}
bool no_describe_format(HWND, int, PIXELFORMATDESCRIPTOR*) {
    return false;
}
bool no_set_format(HWND, int) {
    return false;
}
void* no_create_context(HWND, int) {
    return nullptr;
}
bool no_make_current(HWND, void* context) {
    return !context;
}
void no_context(void*) {}
void no_window(HWND) {}
void nothing() {}
const LayerGlDriver no_gl = {no_format_count,   no_describe_format, no_set_format,
                             no_create_context, no_make_current,    no_context,
                             no_window,         no_window,          nothing};

}  // namespace

const LayerGlDriver* gdi_gl_driver() {
    const LayerGlDriver* gl = layer_driver()->gl;
    used_driver = gl ? gl : &no_gl;
    return used_driver;
}

bool gdi_take_failure(LayerGlFailure call) {
    bool fail = failing[call];
    failing[call] = false;
    return fail;
}

void gdi_note_repeated_release() {
    ++repeated_releases;
}

void layer_gdi_reset() {
    if (used_driver) {
        release_current();
        for (auto& entry : contexts) used_driver->delete_context(entry.second);
        if (used_driver->reset) used_driver->reset();
    }
    contexts.clear();
    current_context = nullptr;
    current_dc = nullptr;
    gdi_dc_reset();
    for (bool& fail : failing) fail = false;
    repeated_releases = 0;
    swaps = 0;
}

void layer_fail_next_gl_call(LayerGlFailure call) {
    failing[call] = true;
}

LayerGdiCounts layer_gdi_counts() {
    LayerGdiCounts counts{};
    counts.contexts = static_cast<int>(contexts.size());
    counts.device_contexts = gdi_held_dcs();
    counts.context_current = current_context != nullptr;
    counts.repeated_releases = repeated_releases;
    counts.swaps = swaps;
    return counts;
}

extern "C" {

HGLRC WINAPI wglCreateContext(HDC dc) {
    DeviceContext* record = gdi_dc(dc);
    if (!record) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    int format = gdi_window_format(record->window);
    if (!format || gdi_take_failure(LAYER_FAIL_CREATE_CONTEXT)) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return nullptr;
    }
    void* native = gdi_gl_driver()->create_context(record->window, format);
    if (!native) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return nullptr;
    }
    HGLRC handle = new_context_handle();
    contexts[handle] = native;
    return handle;
}

BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context) {
    if (!context) {
        // Win32 quirk: with no context the DC is not looked at, so a DC that
        // is already released still releases the current context. Only
        // (NULL, NULL) with nothing current fails.
        if (current_context) {
            release_current();
            return TRUE;
        }
        if (!dc) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        return TRUE;
    }
    auto it = contexts.find(context);
    DeviceContext* record = gdi_dc(dc);
    if (it == contexts.end() || !record) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!gdi_window_format(record->window) || gdi_take_failure(LAYER_FAIL_MAKE_CURRENT)) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    if (current_context == context && current_dc == dc) return TRUE;
    if (!gdi_gl_driver()->make_current(record->window, it->second)) {
        // As on Windows, the context that was current stays current.
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    current_context = context;
    current_dc = dc;
    return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC context) {
    auto it = contexts.find(context);
    if (it == contexts.end()) {
        gdi_note_repeated_release();
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (current_context == context) release_current();
    gdi_gl_driver()->delete_context(it->second);
    contexts.erase(it);
    return TRUE;
}

HGLRC WINAPI wglGetCurrentContext(void) {
    return current_context;
}

HDC WINAPI wglGetCurrentDC(void) {
    return current_dc;
}

PROC WINAPI wglGetProcAddress(LPCSTR name) {
    if (!name) return nullptr;
    return reinterpret_cast<PROC>(dlsym(RTLD_DEFAULT, name));
}

BOOL WINAPI SwapBuffers(HDC dc) {
    DeviceContext* record = gdi_dc(dc);
    if (!record) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!gdi_window_format(record->window)) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    gdi_gl_driver()->swap_buffers(record->window);
    ++swaps;
    return TRUE;
}

}  // extern "C"
