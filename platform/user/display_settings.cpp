// Display modes and window frames: ChangeDisplaySettingsA,
// EnumDisplaySettingsA and AdjustWindowRectEx. The Win32 rules live here;
// the driver's mode table lists and switches the screen's modes.
//
// A changed mode is temporary on the layer, whatever the flags: it comes back
// on ChangeDisplaySettingsA(NULL, 0) and however the process ends (exit,
// a terminating signal, a fault), through the kernel's exit hooks.
#include <signal.h>
#include <string.h>

#include <layer_test.h>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"

namespace {

const int max_modes = 256;

// Set on the first switch and cleared by the restore; the exit hook, which
// may run in a signal handler, reads only these two.
volatile sig_atomic_t mode_changed = 0;
const LayerModeDriver* volatile changed_by = nullptr;

LayerDisplayMode registry_mode;  // the mode before the first switch
bool exit_hook_set = false;
LayerDisplayRequest last_request;

void restore_at_exit() {
    if (mode_changed && changed_by) changed_by->restore_mode_at_exit();
}

void restore() {
    if (!mode_changed) return;
    changed_by->restore_mode();
    mode_changed = 0;
}

// Windows offers each mode at 8, 16 and 32 bits (24 on older cards); X can't
// change the depth of a running screen, so any of these is met at the
// screen's own depth. 0 means "the current depth", as a missing field does.
bool depth_can_be_met(DWORD bits) {
    return bits == 0 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// A listed mode of that size: the requested refresh when one is given, else
// the current refresh, else the highest.
bool choose_mode(const LayerModeDriver* driver, int width, int height, int refresh, int current_refresh,
                 LayerDisplayMode* chosen) {
    LayerDisplayMode modes[max_modes];
    int count = driver->list_modes(modes, max_modes);
    if (count > max_modes) count = max_modes;
    bool found = false;
    for (int i = 0; i < count; ++i) {
        const LayerDisplayMode& mode = modes[i];
        if (mode.width != width || mode.height != height) continue;
        if (refresh && mode.refresh != refresh) continue;
        bool better = !found || mode.refresh == current_refresh ||
                      (chosen->refresh != current_refresh && mode.refresh > chosen->refresh);
        if (better) *chosen = mode;
        found = true;
    }
    return found;
}

void fill_record(DEVMODEA* record, const LayerDisplayMode& mode, int bits) {
    // Windows fills what the caller's dmSize covers and leaves dmSize alone.
    WORD size = record->dmSize;
    memset(record, 0, size < sizeof *record ? size : sizeof *record);
    record->dmSize = size;
    record->dmSpecVersion = DM_SPECVERSION;
    record->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY | DM_DISPLAYFLAGS;
    record->dmBitsPerPel = static_cast<DWORD>(bits);
    record->dmPelsWidth = static_cast<DWORD>(mode.width);
    record->dmPelsHeight = static_cast<DWORD>(mode.height);
    record->dmDisplayFrequency = static_cast<DWORD>(mode.refresh);
}

// Window frame metrics of Windows at 96 dots per inch.
const int border_width = 1;     // SM_CXBORDER
const int dialog_frame = 3;     // SM_CXDLGFRAME
const int sizing_frame = 8;     // SM_CXSIZEFRAME with the padded border
const int caption_height = 23;  // SM_CYCAPTION
const int small_caption = 23;   // SM_CYSMCAPTION
const int menu_height = 20;     // SM_CYMENU
const int edge_width = 2;       // SM_CXEDGE

}  // namespace

void layer_display_settings_reset() {
    // Without asking for a driver: a reset may come before any was chosen.
    restore();
    const LayerDriver* driver = layer_chosen_driver();
    if (driver && driver->modes) driver->modes->reset();
    last_request = LayerDisplayRequest{};
}

LayerDisplayRequest layer_last_display_request() {
    return last_request;
}

extern "C" {

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* request, DWORD flags) {
    ++last_request.calls;
    last_request.has_mode = request != nullptr;
    if (request) last_request.mode = *request;
    last_request.flags = flags;

    const DWORD known_flags = CDS_UPDATEREGISTRY | CDS_TEST | CDS_FULLSCREEN;
    if (flags & ~known_flags)
        layer_fixme_once("ChangeDisplaySettingsA flags 0x%x are not implemented", flags & ~known_flags);
    if (!request) {
        // Back to the registry's mode; succeeds also when nothing was changed.
        restore();
        return DISP_CHANGE_SUCCESSFUL;
    }
    // A record too short to hold the display fields is refused, not read past its end.
    if (request->dmSize < offsetof(DEVMODEA, dmICMMethod)) return DISP_CHANGE_BADMODE;
    if ((flags & CDS_UPDATEREGISTRY) && !(flags & CDS_TEST))
        layer_fixme_once("ChangeDisplaySettingsA: CDS_UPDATEREGISTRY is not kept; the mode is restored at exit");
    if (request->dmFields & ~(DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY | DM_DISPLAYFLAGS))
        layer_fixme_once("ChangeDisplaySettingsA: dmFields 0x%x beyond size, depth and refresh are ignored",
                         request->dmFields);

    const LayerModeDriver* driver = layer_driver()->modes;
    LayerDisplayMode current;
    int bits = 0;
    if (!driver || !driver->current_mode(&current, &bits)) return DISP_CHANGE_FAILED;

    // Fields not named in dmFields keep their current value, as on Windows.
    const DWORD fields = request->dmFields;
    int width = (fields & DM_PELSWIDTH) ? static_cast<int>(request->dmPelsWidth) : current.width;
    int height = (fields & DM_PELSHEIGHT) ? static_cast<int>(request->dmPelsHeight) : current.height;
    // 0 and 1 both mean the hardware's default refresh.
    int refresh = (fields & DM_DISPLAYFREQUENCY) && request->dmDisplayFrequency > 1
                      ? static_cast<int>(request->dmDisplayFrequency)
                      : 0;
    if ((fields & DM_BITSPERPEL) && !depth_can_be_met(request->dmBitsPerPel)) return DISP_CHANGE_BADMODE;

    bool is_current = width == current.width && height == current.height && (!refresh || refresh == current.refresh);
    LayerDisplayMode chosen = current;
    if (!is_current && !choose_mode(driver, width, height, refresh, current.refresh, &chosen))
        return DISP_CHANGE_BADMODE;
    if (flags & CDS_TEST) return DISP_CHANGE_SUCCESSFUL;
    if (is_current) return DISP_CHANGE_SUCCESSFUL;

    if (!mode_changed) registry_mode = current;
    // The exit hook is in place, and the change marked, before the change:
    // a signal that comes during it is held off until the change is done,
    // and its hooks must then find it to undo (the driver knows whether
    // there is anything to put back).
    const sig_atomic_t was_changed = mode_changed;
    const LayerModeDriver* const was_changed_by = changed_by;
    changed_by = driver;
    mode_changed = 1;
    if (!exit_hook_set) {
        layer_at_exit(restore_at_exit);
        exit_hook_set = true;
    }
    if (!driver->set_mode(&chosen)) {
        changed_by = was_changed_by;
        mode_changed = was_changed;
        return DISP_CHANGE_FAILED;
    }
    return DISP_CHANGE_SUCCESSFUL;
}

BOOL WINAPI EnumDisplaySettingsA(LPCSTR device, DWORD mode_number, DEVMODEA* record) {
    if (device) {
        layer_fixme_once("EnumDisplaySettingsA of device \"%s\" is not implemented", device);
        return FALSE;
    }
    const LayerModeDriver* driver = layer_driver()->modes;
    LayerDisplayMode current;
    int bits = 0;
    if (!driver || !driver->current_mode(&current, &bits)) return FALSE;
    if (mode_number == ENUM_CURRENT_SETTINGS) {
        fill_record(record, current, bits);
        return TRUE;
    }
    if (mode_number == ENUM_REGISTRY_SETTINGS) {
        fill_record(record, mode_changed ? registry_mode : current, bits);
        return TRUE;
    }
    LayerDisplayMode modes[max_modes];
    int count = driver->list_modes(modes, max_modes);
    if (count > max_modes) count = max_modes;
    if (mode_number >= static_cast<DWORD>(count)) return FALSE;
    fill_record(record, modes[mode_number], bits);
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD ex_style) {
    if (!rect) return FALSE;
    int frame = 0;
    if ((ex_style & WS_EX_DLGMODALFRAME) || ((style & WS_DLGFRAME) && !(style & WS_THICKFRAME)))
        frame = dialog_frame;  // a caption (WS_BORDER | WS_DLGFRAME) brings the dialog frame
    else if (style & WS_THICKFRAME)
        frame = sizing_frame;
    else if (style & WS_BORDER)
        frame = border_width;
    if (ex_style & WS_EX_CLIENTEDGE) frame += edge_width;
    const DWORD static_edge = 0x00020000L;  // WS_EX_STATICEDGE
    if (ex_style & static_edge) layer_fixme_once("AdjustWindowRectEx: WS_EX_STATICEDGE is not counted");
    int top = frame;
    if ((style & WS_CAPTION) == WS_CAPTION) top += (ex_style & WS_EX_TOOLWINDOW) ? small_caption : caption_height;
    if (menu) top += menu_height;
    rect->left -= frame;
    rect->right += frame;
    rect->top -= top;
    rect->bottom += frame;
    return TRUE;
}

}  // extern "C"
