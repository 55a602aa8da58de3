// Monitors as a full-screen run reads them: every monitor once, one of them
// the primary at the origin of screen coordinates with the screen's size,
// all inside the virtual screen; and the primary's device name as the mode
// switch takes it.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct Found {
    HMONITOR handle;
    RECT rect;
    MONITORINFOEXA info;
    BOOL info_read;
};

BOOL CALLBACK collect(HMONITOR monitor, HDC, LPRECT rect, LPARAM data) {
    Found found = {};
    found.handle = monitor;
    found.rect = *rect;
    found.info.cbSize = sizeof found.info;
    found.info_read = GetMonitorInfoA(monitor, reinterpret_cast<MONITORINFO*>(&found.info));
    reinterpret_cast<std::vector<Found>*>(data)->push_back(found);
    return TRUE;
}

std::vector<Found> monitors() {
    std::vector<Found> found;
    EXPECT_TRUE(EnumDisplayMonitors(NULL, NULL, collect, reinterpret_cast<LPARAM>(&found)));
    return found;
}

TEST(Monitors, EveryMonitorOnceThePrimaryAtTheOrigin) {
    const std::vector<Found> found = monitors();
    ASSERT_EQ(static_cast<int>(found.size()), GetSystemMetrics(SM_CMONITORS));
    const RECT virtual_screen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                                 GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                 GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    int primaries = 0;
    for (const Found& monitor : found) {
        ASSERT_TRUE(monitor.info_read);
        const RECT& r = monitor.info.rcMonitor;
        EXPECT_EQ(r.left, monitor.rect.left);
        EXPECT_EQ(r.top, monitor.rect.top);
        EXPECT_EQ(r.right, monitor.rect.right);
        EXPECT_EQ(r.bottom, monitor.rect.bottom);
        EXPECT_GE(r.left, virtual_screen.left);
        EXPECT_GE(r.top, virtual_screen.top);
        EXPECT_LE(r.right, virtual_screen.right);
        EXPECT_LE(r.bottom, virtual_screen.bottom);
        EXPECT_EQ(strncmp(monitor.info.szDevice, "\\\\.\\DISPLAY", 11), 0) << monitor.info.szDevice;
        if (!(monitor.info.dwFlags & MONITORINFOF_PRIMARY)) continue;
        ++primaries;
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
        EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    }
    EXPECT_EQ(primaries, 1);
}

TEST(Monitors, InfoTakesTheTwoRecordSizes) {
    const std::vector<Found> found = monitors();
    ASSERT_FALSE(found.empty());
    MONITORINFOEXA info = {};
    info.cbSize = sizeof(MONITORINFO);
    EXPECT_TRUE(GetMonitorInfoA(found[0].handle, reinterpret_cast<MONITORINFO*>(&info)));
    EXPECT_EQ(info.szDevice[0], '\0');  // the short record has no name
    info.cbSize = sizeof(MONITORINFO) - 4;
    EXPECT_FALSE(GetMonitorInfoA(found[0].handle, reinterpret_cast<MONITORINFO*>(&info)));
}

// The switch of a full-screen run names the primary's device; asking it
// for the mode it shows now changes nothing and succeeds.
TEST(Monitors, ModeSwitchTakesThePrimarysDeviceName) {
    std::string primary;
    for (const Found& monitor : monitors())
        if (monitor.info.dwFlags & MONITORINFOF_PRIMARY) primary = monitor.info.szDevice;
    ASSERT_FALSE(primary.empty());
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN));
    mode.dmPelsHeight = static_cast<DWORD>(GetSystemMetrics(SM_CYSCREEN));
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    EXPECT_EQ(ChangeDisplaySettingsExA(primary.c_str(), &mode, NULL, CDS_TEST, NULL), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(ChangeDisplaySettingsExA(NULL, &mode, NULL, CDS_TEST, NULL), DISP_CHANGE_SUCCESSFUL);
    EXPECT_NE(ChangeDisplaySettingsExA("\\\\.\\DISPLAY99", &mode, NULL, CDS_TEST, NULL), DISP_CHANGE_SUCCESSFUL);
}

}  // namespace
