// Pixel formats: ChoosePixelFormat, SetPixelFormat, DescribePixelFormat and
// GetPixelFormat over the GL driver's list of formats for a window. A window
// takes one pixel format for its whole life.
#include "gdi/gdi_internal.h"

#include <string.h>

#include "kernel/layer_kernel.h"

namespace {

// How a candidate's field compares with the best so far for a requested
// size: the closest wins, and reaching the request beats falling short.
// > 0 better, < 0 worse, 0 the same.
int compare_size(int requested, int best, int candidate) {
    if (candidate == best) return 0;
    if (best < requested) return candidate > best ? 1 : -1;
    return candidate >= requested && candidate < best ? 1 : -1;
}

bool flags_fit(const PIXELFORMATDESCRIPTOR& request, const PIXELFORMATDESCRIPTOR& format) {
    const DWORD required = PFD_DRAW_TO_WINDOW | PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI | PFD_SUPPORT_OPENGL;
    if ((format.dwFlags & request.dwFlags & required) != (request.dwFlags & required)) return false;
    if (!(request.dwFlags & PFD_DOUBLEBUFFER_DONTCARE) &&
        (format.dwFlags & PFD_DOUBLEBUFFER) != (request.dwFlags & PFD_DOUBLEBUFFER))
        return false;
    if (!(request.dwFlags & PFD_STEREO_DONTCARE) && (format.dwFlags & PFD_STEREO) != (request.dwFlags & PFD_STEREO))
        return false;
    return format.iPixelType == request.iPixelType;
}

// Whether candidate is closer to the request than best, field by field in
// order of weight; a tie keeps the earlier format.
bool closer(const PIXELFORMATDESCRIPTOR& request, const PIXELFORMATDESCRIPTOR& best,
            const PIXELFORMATDESCRIPTOR& candidate) {
    const bool any_depth = request.dwFlags & PFD_DEPTH_DONTCARE;
    const int fields[][3] = {
        {request.cColorBits, best.cColorBits, candidate.cColorBits},
        {request.cAlphaBits, best.cAlphaBits, candidate.cAlphaBits},
        {request.cAccumBits, best.cAccumBits, candidate.cAccumBits},
        {any_depth ? 0 : request.cDepthBits, any_depth ? 0 : best.cDepthBits, any_depth ? 0 : candidate.cDepthBits},
        {request.cStencilBits, best.cStencilBits, candidate.cStencilBits},
        {request.cAuxBuffers, best.cAuxBuffers, candidate.cAuxBuffers},
    };
    for (const auto& field : fields) {
        int order = compare_size(field[0], field[1], field[2]);
        if (order) return order > 0;
    }
    return false;
}

// The closest of formats first..last (1-based), 0 when none fits.
int choose_among(HWND window, const PIXELFORMATDESCRIPTOR& request, int first, int last) {
    const LayerGlDriver* gl = gdi_gl_driver();
    int chosen = 0;
    PIXELFORMATDESCRIPTOR best{};
    for (int format = first; format <= last; ++format) {
        PIXELFORMATDESCRIPTOR candidate{};
        if (!gl->describe_format(window, format, &candidate) || !flags_fit(request, candidate)) continue;
        if (!chosen || closer(request, best, candidate)) {
            chosen = format;
            best = candidate;
        }
    }
    return chosen;
}

}  // namespace

extern "C" {

int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
    DeviceContext* record = gdi_dc(dc);
    if (!record || !request) {
        SetLastError(record ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return 0;
    }
    if (gdi_take_failure(LAYER_FAIL_CHOOSE_PIXEL_FORMAT)) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return 0;
    }
    if (request->iLayerType != PFD_MAIN_PLANE)
        layer_fixme_once("ChoosePixelFormat: overlay and underlay planes are not implemented");
    // Formats the window can take come first; the others only when none of
    // those fits, as setting one of them fails.
    int settable = 0;
    int count = gdi_gl_driver()->format_count(record->window, &settable);
    int chosen = choose_among(record->window, *request, 1, settable);
    if (!chosen) chosen = choose_among(record->window, *request, settable + 1, count);
    if (!chosen) SetLastError(ERROR_INVALID_PIXEL_FORMAT);
    return chosen;
}

BOOL WINAPI SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
    DeviceContext* record = gdi_dc(dc);
    if (!record) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    int settable = 0;
    int count = gdi_gl_driver()->format_count(record->window, &settable);
    int current = gdi_window_format(record->window);
    if (format < 1 || format > count || (current && current != format)) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    if (gdi_take_failure(LAYER_FAIL_SET_PIXEL_FORMAT)) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    // Setting the format the window already has succeeds again, as on Windows.
    if (current == format) return TRUE;
    if (format > settable) {
        layer_fixme_once("SetPixelFormat: the display driver can't give this window that format once it is made");
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    if (!gdi_gl_driver()->set_format(record->window, format)) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    gdi_set_window_format(record->window, format);
    return TRUE;
}

int WINAPI DescribePixelFormat(HDC dc, int format, UINT size, LPPIXELFORMATDESCRIPTOR descriptor) {
    DeviceContext* record = gdi_dc(dc);
    if (!record) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    int settable = 0;
    int count = gdi_gl_driver()->format_count(record->window, &settable);
    if (!descriptor) return count;
    PIXELFORMATDESCRIPTOR full{};
    if (format < 1 || format > count || !gdi_gl_driver()->describe_format(record->window, format, &full)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    memcpy(descriptor, &full, size < sizeof full ? size : sizeof full);
    return count;
}

int WINAPI GetPixelFormat(HDC dc) {
    DeviceContext* record = gdi_dc(dc);
    if (!record) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    int format = gdi_window_format(record->window);
    if (!format) SetLastError(ERROR_INVALID_PIXEL_FORMAT);
    return format;
}

}  // extern "C"
