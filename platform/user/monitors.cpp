// Monitors: EnumDisplayMonitors and GetMonitorInfoA. The program sees one
// monitor, the primary, of the screen's size at the desktop's corner: the
// display drivers put a full-screen window's picture on every real monitor
// themselves and say so (layer_every_monitor_metric), so nothing of the
// program needs the others. A test may set monitors of its own
// (layer_set_monitors); the layer then tells them as Windows does and
// leaves the copy onto each to the program.
#include <stdio.h>
#include <string.h>

#include <layer_test.h>

#include <vector>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "user/user_internal.h"

namespace {

std::vector<RECT> set_monitors;  // the test's; the first is the primary

std::vector<RECT> monitor_rects() {
    if (!set_monitors.empty()) return set_monitors;
    int width = 0, height = 0;
    layer_driver()->get_screen_size(&width, &height);
    return {RECT{0, 0, width, height}};
}

// Monitor n (from 0) has the handle n + 1 and the device "\\.\DISPLAY<n + 1>".
HMONITOR handle_of(size_t n) {
    return reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(n + 1));
}

void device_name(size_t n, char name[CCHDEVICENAME]) {
    snprintf(name, CCHDEVICENAME, "\\\\.\\DISPLAY%zu", n + 1);
}

}  // namespace

void layer_set_monitors(const RECT* monitors, int count) {
    set_monitors.assign(monitors, monitors + (count > 0 ? count : 0));
}

void user_monitors_reset() {
    set_monitors.clear();
}

bool user_monitors_left_to_program() {
    return !set_monitors.empty();
}

int user_monitor_count() {
    return static_cast<int>(monitor_rects().size());
}

RECT user_monitor_bounds() {
    const std::vector<RECT> rects = monitor_rects();
    RECT bounds = rects[0];
    for (const RECT& r : rects) {
        if (r.left < bounds.left) bounds.left = r.left;
        if (r.top < bounds.top) bounds.top = r.top;
        if (r.right > bounds.right) bounds.right = r.right;
        if (r.bottom > bounds.bottom) bounds.bottom = r.bottom;
    }
    return bounds;
}

extern "C" {

BOOL WINAPI EnumDisplayMonitors(HDC dc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data) {
    if (dc || clip)
        layer_fixme_once("EnumDisplayMonitors with a device context or a clip rectangle is not implemented");
    if (!callback) return FALSE;
    const std::vector<RECT> rects = monitor_rects();
    for (size_t n = 0; n < rects.size(); ++n) {
        RECT rect = rects[n];
        // As on Windows, a callback that answers FALSE ends the enumeration.
        if (!callback(handle_of(n), NULL, &rect, data)) break;
    }
    return TRUE;
}

BOOL WINAPI GetMonitorInfoA(HMONITOR monitor, LPMONITORINFO info) {
    const std::vector<RECT> rects = monitor_rects();
    const size_t n = reinterpret_cast<uintptr_t>(monitor) - 1;
    if (n >= rects.size() || !info || (info->cbSize != sizeof(MONITORINFO) && info->cbSize != sizeof(MONITORINFOEXA))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->rcMonitor = info->rcWork = rects[n];
    info->dwFlags = n == 0 ? MONITORINFOF_PRIMARY : 0;
    if (info->cbSize == sizeof(MONITORINFOEXA)) device_name(n, reinterpret_cast<MONITORINFOEXA*>(info)->szDevice);
    return TRUE;
}

// The primary's modes are the screen's (ChangeDisplaySettingsA); the
// layer knows no other monitor's.
LONG WINAPI ChangeDisplaySettingsExA(LPCSTR device, DEVMODEA* mode, HWND window, DWORD flags, LPVOID parameters) {
    if (window || parameters) return DISP_CHANGE_BADPARAM;
    const size_t count = monitor_rects().size();
    size_t n = 0;
    if (device) {
        char name[CCHDEVICENAME];
        for (; n < count; ++n) {
            device_name(n, name);
            if (strcmp(device, name) == 0) break;
        }
        if (n == count) return DISP_CHANGE_BADPARAM;  // no such device
    }
    if (n > 0) {
        layer_fixme_once("ChangeDisplaySettingsExA: the modes of monitors other than the primary are not implemented");
        return DISP_CHANGE_FAILED;
    }
    return ChangeDisplaySettingsA(mode, flags);
}

}  // extern "C"
