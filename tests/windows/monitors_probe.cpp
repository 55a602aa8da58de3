// The program as it ships, with a seam at its import table (import_cell.h)
// that watches a full-screen run on several monitors from the inside: at
// one frame, just before it is presented, it reads back what the program
// drew over all the monitors and prints, on stderr, where the windows and
// the monitors are and how far each monitor's picture is from the part of
// the primary's picture that covers it; then it presses a key, as a user
// ends the run. It also prints the program's own lines (OutputDebugStringA)
// and can stand in a stored resolution (ORRELUNE_PROBE_RESOLUTION) for the
// registry's. Run by tests/windows/two-monitors.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <GL/gl.h>

#include <vector>

#include "import_cell.h"
#include "picture_cover.h"

namespace {

// The frame that is looked at: the run has settled by then (the mode is
// switched and the windows follow it), and the i686 build, drawn by a
// software renderer under a processor emulator, gets there in minutes.
const int looked_at_frame = 3;
int frames = 0;

struct Monitor {
    RECT rect;
    bool primary;
    char device[CCHDEVICENAME];
};

BOOL CALLBACK add_monitor(HMONITOR handle, HDC, LPRECT, LPARAM data) {
    MONITORINFOEXA info = {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(handle, reinterpret_cast<MONITORINFO*>(&info))) return TRUE;
    Monitor monitor = {info.rcMonitor, (info.dwFlags & MONITORINFOF_PRIMARY) != 0, {}};
    memcpy(monitor.device, info.szDevice, sizeof monitor.device);
    reinterpret_cast<std::vector<Monitor>*>(data)->push_back(monitor);
    return TRUE;
}

struct Drawn {
    int width, height;
    std::vector<unsigned char> rgba;  // rows from the bottom
    int at(int x, int y, int channel) const {
        return rgba[(static_cast<size_t>(y) * width + x) * 4 + static_cast<size_t>(channel)];
    }
};

// A monitor's rectangle in the drawn picture's coordinates (rows from the
// bottom), given the window's corner on the screen.
PictureRect on_drawable(const Drawn& drawn, const RECT& screen, POINT corner) {
    const int width = screen.right - screen.left, height = screen.bottom - screen.top;
    return {screen.left - corner.x, drawn.height - (screen.top - corner.y) - height, width, height};
}

// The share of a monitor's pixels that are not dark: it shows a picture.
double lit_share(const Drawn& drawn, const PictureRect& m) {
    long lit = 0;
    for (int y = m.y; y < m.y + m.height; ++y)
        for (int x = m.x; x < m.x + m.width; ++x)
            if (drawn.at(x, y, 0) > 40 || drawn.at(x, y, 1) > 40 || drawn.at(x, y, 2) > 40) ++lit;
    return 100.0 * lit / (static_cast<double>(m.width) * m.height);
}

// The primary's picture at a point of it, filtered as a scaled copy is.
double sample(const Drawn& drawn, const PictureRect& p, double x, double y, int channel) {
    x -= 0.5;
    y -= 0.5;
    const int x0 = static_cast<int>(x < 0 ? -1 : x), y0 = static_cast<int>(y < 0 ? -1 : y);
    const double fx = x - x0, fy = y - y0;
    auto at = [&](int px, int py) {
        px = px < 0 ? 0 : px >= p.width ? p.width - 1 : px;
        py = py < 0 ? 0 : py >= p.height ? p.height - 1 : py;
        return static_cast<double>(drawn.at(p.x + px, p.y + py, channel));
    };
    return (at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) +
           (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy;
}

// How far a monitor's picture is from the primary's part that covers it:
// the mean difference of a channel, and the share of pixels far off.
void compare(const Drawn& drawn, const PictureRect& primary, const PictureRect& m, double* mean, double* far_off) {
    const PictureRect from = picture_cover_rect(primary.width, primary.height, m.width, m.height);
    double total = 0;
    long off = 0;
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            const double px = from.x + (x + 0.5) * from.width / m.width;
            const double py = from.y + (y + 0.5) * from.height / m.height;
            int worst = 0;
            for (int channel = 0; channel < 3; ++channel) {
                const int difference = abs(drawn.at(m.x + x, m.y + y, channel) -
                                           static_cast<int>(sample(drawn, primary, px, py, channel)));
                total += difference;
                if (difference > worst) worst = difference;
            }
            if (worst > 48) ++off;
        }
    const double pixels = static_cast<double>(m.width) * m.height;
    *mean = total / (pixels * 3);
    *far_off = 100.0 * off / pixels;
}

void look_at_frame(HDC dc) {
    HWND display = WindowFromDC(dc);
    HWND saver = GetParent(display);
    RECT client = {}, saver_rect = {};
    GetClientRect(display, &client);
    GetWindowRect(saver, &saver_rect);
    std::vector<Monitor> monitors;
    EnumDisplayMonitors(NULL, NULL, add_monitor, reinterpret_cast<LPARAM>(&monitors));
    fprintf(stderr, "monitors: %d\n", GetSystemMetrics(SM_CMONITORS));
    fprintf(stderr, "saver window: %ld,%ld %ldx%ld\n", saver_rect.left, saver_rect.top,
            saver_rect.right - saver_rect.left, saver_rect.bottom - saver_rect.top);
    fprintf(stderr, "display window: %ldx%ld\n", client.right, client.bottom);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    fprintf(stderr, "picture: %dx%d\n", viewport[2], viewport[3]);

    Drawn drawn = {client.right, client.bottom, {}};
    drawn.rgba.resize(static_cast<size_t>(drawn.width) * drawn.height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, drawn.width, drawn.height, GL_RGBA, GL_UNSIGNED_BYTE, drawn.rgba.data());

    const POINT corner = {saver_rect.left, saver_rect.top};
    PictureRect primary = {};
    for (const Monitor& monitor : monitors)
        if (monitor.primary) primary = on_drawable(drawn, monitor.rect, corner);
    for (const Monitor& monitor : monitors) {
        const PictureRect m = on_drawable(drawn, monitor.rect, corner);
        fprintf(stderr, "monitor %s: %ld,%ld %dx%d%s, lit %.1f%%", monitor.device, monitor.rect.left, monitor.rect.top,
                m.width, m.height, monitor.primary ? " primary" : "", lit_share(drawn, m));
        if (!monitor.primary) {
            double mean = 0, far_off = 0;
            compare(drawn, primary, m, &mean, &far_off);
            fprintf(stderr, ", difference %.2f, far off %.2f%%", mean, far_off);
        }
        fprintf(stderr, "\n");
    }
    fflush(stderr);

    // A key, as a user ends the run.
    INPUT key[2] = {};
    key[0].type = key[1].type = INPUT_KEYBOARD;
    key[0].ki.wVk = key[1].ki.wVk = 'X';
    key[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, key, sizeof key[0]);
}

template <typename Proc>
Proc system_entry(const char* module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA(module), name)));
}

BOOL WINAPI probe_swap(HDC dc) {
    static const auto swap = system_entry<decltype(&SwapBuffers)>("gdi32.dll", "SwapBuffers");
    if (++frames == looked_at_frame) look_at_frame(dc);
    return swap(dc);
}

LONG WINAPI probe_query(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    static const auto query = system_entry<decltype(&RegQueryValueExA)>("advapi32.dll", "RegQueryValueExA");
    const char* resolution = getenv("ORRELUNE_PROBE_RESOLUTION");
    if (resolution && name && strcmp(name, "resolution") == 0 && data && size && *size >= sizeof(DWORD)) {
        const DWORD value = static_cast<DWORD>(atol(resolution));
        memcpy(data, &value, sizeof value);
        *size = sizeof value;
        if (type) *type = REG_DWORD;
        return ERROR_SUCCESS;
    }
    return query(key, name, reserved, type, data, size);
}

void WINAPI probe_debug_string(LPCSTR text) {
    fprintf(stderr, "%s", text);
    fflush(stderr);
}

}  // namespace

extern "C" {
decltype(&SwapBuffers) probe_swap_cell __asm__(IMPORT_CELL(SwapBuffers, 4)) = probe_swap;
decltype(&RegQueryValueExA) probe_query_cell __asm__(IMPORT_CELL(RegQueryValueExA, 24)) = probe_query;
decltype(&OutputDebugStringA) probe_debug_string_cell __asm__(IMPORT_CELL(OutputDebugStringA, 4)) = probe_debug_string;
}
