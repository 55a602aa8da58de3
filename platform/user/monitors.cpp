// Monitors: EnumDisplayMonitors and GetMonitorInfoA. The program sees one
// monitor, the primary, of the screen's size at the desktop's corner: the
// display drivers put a full-screen window's picture on every real monitor
// themselves and say so (layer_every_monitor_metric), so nothing of the
// program needs the others.
#include <string.h>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"

namespace {

// The one monitor's handle, and the device name ChangeDisplaySettingsExA takes for it.
HMONITOR const primary_monitor = reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(1));
const char primary_device[] = "\\\\.\\DISPLAY1";

RECT primary_rect() {
    int width = 0, height = 0;
    layer_driver()->get_screen_size(&width, &height);
    return RECT{0, 0, width, height};
}

}  // namespace

extern "C" {

BOOL WINAPI EnumDisplayMonitors(HDC dc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data) {
    if (dc || clip)
        layer_fixme_once("EnumDisplayMonitors with a device context or a clip rectangle is not implemented");
    if (!callback) return FALSE;
    RECT rect = primary_rect();
    callback(primary_monitor, NULL, &rect, data);
    return TRUE;
}

BOOL WINAPI GetMonitorInfoA(HMONITOR monitor, LPMONITORINFO info) {
    if (monitor != primary_monitor || !info ||
        (info->cbSize != sizeof(MONITORINFO) && info->cbSize != sizeof(MONITORINFOEXA))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->rcMonitor = info->rcWork = primary_rect();
    info->dwFlags = MONITORINFOF_PRIMARY;
    if (info->cbSize == sizeof(MONITORINFOEXA))
        memcpy(reinterpret_cast<MONITORINFOEXA*>(info)->szDevice, primary_device, sizeof primary_device);
    return TRUE;
}

// The one monitor's modes are the screen's (ChangeDisplaySettingsA).
LONG WINAPI ChangeDisplaySettingsExA(LPCSTR device, DEVMODEA* mode, HWND window, DWORD flags, LPVOID parameters) {
    if (window || parameters) return DISP_CHANGE_BADPARAM;
    if (device && strcmp(device, primary_device) != 0) return DISP_CHANGE_BADPARAM;
    return ChangeDisplaySettingsA(mode, flags);
}

}  // extern "C"
