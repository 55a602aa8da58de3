// The saver hook: reads the settings, makes the display window inside the
// saver window and switches the display mode for a full-screen run.
#include "display/saver_hook.h"

#include <math.h>
#include <time.h>

#include "display/gl_window.h"
#include "scene/scene_state.h"
#include "settings/settings_store.h"

namespace {

struct ResolutionRow {
    LONG id;
    LONG width;
    LONG height;
};

const ResolutionRow resolution_table[] = {
    {2001, 640, 480}, {2002, 800, 600}, {2003, 1024, 768}, {2004, 1152, 864}, {2005, 1280, 1024}, {2006, 1600, 1200},
};

const char mode_refused_text[] =
    "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?";

// Resolution ids 2001 to 2006 and their picture sizes; 2000 (and 0, never
// configured) mean the saver window's own size. False for ids with no row.
bool resolution_size(LONG resolution_id, LONG* width, LONG* height) {
    for (const ResolutionRow& row : resolution_table) {
        if (row.id == resolution_id) {
            *width = row.width;
            *height = row.height;
            return true;
        }
    }
    return false;
}

// 1000: 16 bits, 1001: 32 bits; any other id is used as the bit count.
LONG colour_bits_for(LONG colour_id) {
    switch (colour_id) {
    case 1000: return 16;
    case 1001: return 32;
    }
    return colour_id;
}

// The largest picture: no GL draws a viewport beyond its limit (16384 a side
// in Mesa's renderers and in many drivers), and a software renderer keeps
// colour and depth buffers of the whole picture in memory, which an area of
// 8192 x 8192 holds to about half a gigabyte (a 4K screen is an eighth of
// that). A larger saver window shows the picture at its own shape, scaled down to
// fit, in its top-left corner.
const double max_view_side = 16384;
const double max_view_area = 8192.0 * 8192.0;

void bound_view_size(LONG* width, LONG* height) {
    const double w = *width, h = *height;
    double scale = 1;
    if (w > max_view_side) scale = max_view_side / w;
    if (h * scale > max_view_side) scale = max_view_side / h;
    if (w * h * scale * scale > max_view_area) scale = sqrt(max_view_area / (w * h));
    if (scale >= 1) return;
    *width = static_cast<LONG>(w * scale) > 0 ? static_cast<LONG>(w * scale) : 1;
    *height = static_cast<LONG>(h * scale) > 0 ? static_cast<LONG>(h * scale) : 1;
}

// Asks the platform for the chosen mode for the run; true when granted.
// Covering every monitor, the mode is the primary's alone; the others keep
// theirs.
bool change_display_mode(const DisplayState& display) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = static_cast<DWORD>(display.view_width);
    mode.dmPelsHeight = static_cast<DWORD>(display.view_height);
    mode.dmBitsPerPel = static_cast<DWORD>(display.colour_bits);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if (!display.every_monitor) return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
    const char* device = display.monitors.primary_device[0] ? display.monitors.primary_device : NULL;
    return ChangeDisplaySettingsExA(device, &mode, NULL, CDS_FULLSCREEN, NULL) == DISP_CHANGE_SUCCESSFUL;
}

// The saver window and the display window over every monitor as they are
// now, and the copy onto each.
void cover_monitors(HWND saver_window) {
    DisplayState& display = display_state();
    read_monitors(&display.monitors);
    const RECT& all = display.monitors.bounds;
    MoveWindow(saver_window, all.left, all.top, all.right - all.left, all.bottom - all.top, TRUE);
    MoveWindow(display.window, 0, 0, all.right - all.left, all.bottom - all.top, TRUE);
    display.window_origin.x = all.left;
    display.window_origin.y = all.top;
    lay_out_picture();
}

// The mode was refused: true when the user would go on at the current mode.
bool ask_to_go_on_windowed() {
    return MessageBoxA(NULL, mode_refused_text, "Brix GL", MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

// The prompt comes and goes while the saver window is being created and not
// yet shown, so its going leaves the program without an active window, and
// the saver window's rules take that loss of activation for the user
// leaving. The answer decides instead: this drops that close request.
void drop_pending_close(HWND saver_window) {
    MSG dropped;
    while (PeekMessageA(&dropped, saver_window, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
    }
}

}  // namespace

void create_display(HWND saver_window, const DisplayRequest& request) {
    DisplayState& display = display_state();
    display.in_daemon_window = request.in_daemon_window;
    display.password_guarded = request.password_guarded;
    const SaverSettings settings = load_saver_settings();
    random_seed(static_cast<uint32_t>(time(NULL)));

    WNDCLASSA display_class = {};
    display_class.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
    display_class.lpfnWndProc = gl_window_proc;
    display_class.hInstance = GetModuleHandleA(NULL);
    display_class.lpszClassName = "OpenGL";
    if (!RegisterClassA(&display_class)) {
        MessageBoxA(NULL, "Class registration error.", "Error", MB_OK | MB_ICONERROR);
        return;
    }

    if (display.saver_width == 0) {
        RECT client = {};
        GetClientRect(saver_window, &client);
        display.saver_width = client.right;
        display.saver_height = client.bottom;
    }
    // A daemon's window is shown whole, whatever its size, and nothing of a
    // full-screen run applies: no mode, no hidden cursor, no closing on input.
    display.full_screen = display.saver_width >= small_window_width && !display.in_daemon_window;
    display.every_monitor = display.full_screen && request.every_monitor;
    if (display.every_monitor) read_monitors(&display.monitors);

    // An id the table doesn't know (only a hand-edited store holds one)
    // takes the saver window's size like "Desktop Res", rather than a 0 x 0
    // picture.
    if (!display.full_screen || !resolution_size(settings.resolution_id, &display.view_width, &display.view_height)) {
        display.view_width = display.saver_width;
        display.view_height = display.saver_height;
        if (display.every_monitor) {
            // The primary's size, whichever place it has among the others.
            const RECT& primary = display.monitors.monitors[display.monitors.primary];
            display.view_width = primary.right - primary.left;
            display.view_height = primary.bottom - primary.top;
        }
    }
    bound_view_size(&display.view_width, &display.view_height);

    if (display.full_screen) ShowCursor(FALSE);

    // Covering every monitor, the window covers the saver window.
    RECT frame = {0, 0, display.view_width, display.view_height};
    if (display.every_monitor) frame = {0, 0, display.saver_width, display.saver_height};
    AdjustWindowRectEx(&frame, WS_POPUP, FALSE, WS_EX_APPWINDOW);
    display.window = CreateWindowExA(0, "OpenGL", "Orrelune", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                     0, 0, frame.right - frame.left, frame.bottom - frame.top, saver_window, NULL,
                                     GetModuleHandleA(NULL), NULL);
    if (!display.window) {
        MessageBoxA(NULL, "Window creation error.", "Error", MB_OK | MB_ICONERROR);
        return;
    }

    display.colour_bits = colour_bits_for(settings.colour_id);

    if (display.full_screen && !change_display_mode(display)) {
        const bool windowed = ask_to_go_on_windowed();
        drop_pending_close(saver_window);
        if (!windowed) {
            MessageBoxA(NULL, "Program Will Now Close.", "ERROR", MB_OK | MB_ICONERROR);
            PostQuitMessage(0);
            return;
        }
    }
    // The switch moved the monitors (and the system may tell of it only
    // once this creation is over).
    if (display.every_monitor) cover_monitors(saver_window);
    GetCursorPos(&display.start_cursor);
}

void follow_display_change(HWND saver_window) {
    const DisplayState& display = display_state();
    if (display.every_monitor && display.window) cover_monitors(saver_window);
}

void follow_saver_size(LONG width, LONG height) {
    // The daemon's window changed size (a new screen layout).
    const DisplayState& display = display_state();
    if (!display.in_daemon_window || !display.window) return;
    bound_view_size(&width, &height);
    MoveWindow(display.window, 0, 0, width, height, TRUE);
}
