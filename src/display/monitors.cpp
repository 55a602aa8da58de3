// The monitors of a full-screen run, as EnumDisplayMonitors tells them.
#include "display/monitors.h"

#include <string.h>

namespace {

BOOL CALLBACK add_monitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    MonitorSet* set = reinterpret_cast<MonitorSet*>(data);
    MONITORINFOEXA info = {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(monitor, reinterpret_cast<MONITORINFO*>(&info))) return TRUE;
    // More than the copy's table holds are left out: they keep the desktop.
    if (set->count == picture_max_monitors) return FALSE;
    if (info.dwFlags & MONITORINFOF_PRIMARY) {
        set->primary = set->count;
        memcpy(set->primary_device, info.szDevice, sizeof set->primary_device);
        set->primary_device[sizeof set->primary_device - 1] = '\0';
    }
    set->monitors[set->count++] = info.rcMonitor;
    return TRUE;
}

}  // namespace

void read_monitors(MonitorSet* set) {
    *set = MonitorSet();
    EnumDisplayMonitors(NULL, NULL, add_monitor, reinterpret_cast<LPARAM>(set));
    if (set->count == 0) {
        const RECT screen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                             GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                             GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
        set->monitors[set->count++] = screen;
    }
    // The bounds are the monitors' own, so each lies inside the window
    // that covers them, whatever the metrics said a moment before.
    set->bounds = set->monitors[0];
    for (int i = 1; i < set->count; ++i) {
        const RECT& m = set->monitors[i];
        if (m.left < set->bounds.left) set->bounds.left = m.left;
        if (m.top < set->bounds.top) set->bounds.top = m.top;
        if (m.right > set->bounds.right) set->bounds.right = m.right;
        if (m.bottom > set->bounds.bottom) set->bounds.bottom = m.bottom;
    }
}

PictureLayout monitor_layout(const MonitorSet& set, LONG picture_width, LONG picture_height) {
    PictureLayout layout = {};
    layout.drawable_width = set.bounds.right - set.bounds.left;
    layout.drawable_height = set.bounds.bottom - set.bounds.top;
    layout.picture_width = picture_width;
    layout.picture_height = picture_height;
    layout.monitor_count = set.count;
    layout.primary = set.primary;
    for (int i = 0; i < set.count; ++i) {
        const RECT& m = set.monitors[i];
        layout.monitors[i] = {m.left - set.bounds.left, m.top - set.bounds.top, m.right - m.left, m.bottom - m.top};
    }
    return layout;
}
