// The X11 driver's display modes, through XRandR 1.2: the modes of the
// output that shows the primary monitor, a switch of its CRTC with the
// screen resized to hold it and every other CRTC as they are, and the way
// back. x11_mode_driver() is the table the core uses.
//
// The mode work runs on an X connection of its own, opened at first use and
// otherwise idle, and the process's terminating signals are held off while
// it is in use: the restore on the way out, which may run inside a signal
// handler, finds that connection between requests (x11_mode_exit.h).
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "x11/x11_mode_exit.h"
#include "x11/x11_private.h"

#include <X11/extensions/Xrandr.h>
#include <X11/extensions/randr.h>
#include <signal.h>
#include <string.h>

namespace {

// The primary monitor's output and what drives it.
struct OutputState {
    XRRScreenResources* resources;
    XRROutputInfo* output;
    XRRCrtcInfo* crtc;
    RRCrtc crtc_id;
};

bool open_connection() {
    X11Modes& modes = x11_state.modes;
    if (modes.connection) return true;
    if (modes.none) return false;
    Display* shared = x11_state.display;
    Display* display = x11_connect(shared ? DisplayString(shared) : nullptr);
    int event_base, error_base, major = 0, minor = 0, first_event, first_error;
    if (!display || !XRRQueryExtension(display, &event_base, &error_base) ||
        !XRRQueryVersion(display, &major, &minor) || major < 1 || (major == 1 && minor < 2) ||
        !XQueryExtension(display, "RANDR", &modes.randr_opcode, &first_event, &first_error)) {
        if (display) XCloseDisplay(display);
        modes.none = true;
        return false;
    }
    int screen = shared ? x11_state.screen : DefaultScreen(display);
    modes.root = RootWindow(display, screen);
    // The physical size follows the pixel size at the screen's own density.
    modes.mm_per_pixel_x = static_cast<double>(DisplayWidthMM(display, screen)) / DisplayWidth(display, screen);
    modes.mm_per_pixel_y = static_cast<double>(DisplayHeightMM(display, screen)) / DisplayHeight(display, screen);
    modes.connection = display;
    return true;
}

void free_output(OutputState* state) {
    if (state->crtc) XRRFreeCrtcInfo(state->crtc);
    if (state->output) XRRFreeOutputInfo(state->output);
    if (state->resources) XRRFreeScreenResources(state->resources);
    *state = OutputState{};
}

bool lists(const std::vector<XID>& outputs, XID output) {
    for (XID listed : outputs)
        if (listed == output) return true;
    return false;
}

// The output that shows the primary monitor and its CRTC; false when no
// output shows it alone.
bool find_output(OutputState* state) {
    const X11Modes& modes = x11_state.modes;
    *state = OutputState{};
    state->resources = XRRGetScreenResourcesCurrent(modes.connection, modes.root);
    if (!state->resources) return false;
    XRRScreenResources* resources = state->resources;
    const X11Monitor& primary = x11_monitors().front();
    std::vector<X11Crtc> crtcs;
    for (int i = 0; i < resources->ncrtc; ++i) {
        XRRCrtcInfo* info = XRRGetCrtcInfo(modes.connection, resources, resources->crtcs[i]);
        if (!info) continue;
        if (info->mode && info->noutput > 0)
            crtcs.push_back({resources->crtcs[i], info->x, info->y, static_cast<int>(info->width),
                             static_cast<int>(info->height),
                             std::vector<XID>(info->outputs, info->outputs + info->noutput)});
        XRRFreeCrtcInfo(info);
    }
    const int chosen = x11_primary_crtc(primary, crtcs);
    if (chosen < 0) {
        free_output(state);
        return false;
    }
    const X11Crtc& crtc = crtcs[chosen];
    RROutput output = crtc.outputs.front();
    for (XID listed : crtc.outputs)
        if (lists(primary.outputs, listed)) output = listed;
    state->crtc_id = crtc.id;
    state->crtc = XRRGetCrtcInfo(modes.connection, resources, crtc.id);
    state->output = XRRGetOutputInfo(modes.connection, resources, output);
    if (!state->crtc || !state->output) free_output(state);
    return state->crtc != nullptr;
}

const XRRModeInfo* mode_info(const XRRScreenResources* resources, RRMode id) {
    for (int i = 0; i < resources->nmode; ++i)
        if (resources->modes[i].id == id) return &resources->modes[i];
    return nullptr;
}

LayerDisplayMode describe(const XRRModeInfo& info, Rotation rotation) {
    LayerDisplayMode mode = {static_cast<int>(info.width), static_cast<int>(info.height), 0};
    if (rotation & (RR_Rotate_90 | RR_Rotate_270)) mode = {mode.height, mode.width, 0};
    if (info.hTotal && info.vTotal) {
        double rate = static_cast<double>(info.dotClock) / (static_cast<double>(info.hTotal) * info.vTotal);
        if (info.modeFlags & RR_Interlace) rate *= 2;
        if (info.modeFlags & RR_DoubleScan) rate /= 2;
        mode.refresh = static_cast<int>(rate + 0.5);
    }
    return mode;
}

// A primary monitor that no output shows alone (part of an output, or a
// screen without XRandR 1.2) has one mode: its size, as it is.
LayerDisplayMode primary_monitor_mode() {
    const X11Monitor& primary = x11_monitors().front();
    return LayerDisplayMode{primary.width, primary.height, 0};
}

X11ScreenSize screen_of(int width, int height) {
    const X11Modes& modes = x11_state.modes;
    return X11ScreenSize{width, height, static_cast<int>(width * modes.mm_per_pixel_x + 0.5),
                         static_cast<int>(height * modes.mm_per_pixel_y + 0.5)};
}

X11ScreenSize current_screen() {
    const X11Modes& modes = x11_state.modes;
    Window ignored_root;
    int x, y;
    unsigned width = 0, height = 0, border, depth;
    XGetGeometry(modes.connection, modes.root, &ignored_root, &x, &y, &width, &height, &border, &depth);
    return screen_of(static_cast<int>(width), static_cast<int>(height));
}

bool same_size(const X11ScreenSize& a, const X11ScreenSize& b) {
    return a.width == b.width && a.height == b.height;
}

// Large enough for both sizes.
X11ScreenSize holding(const X11ScreenSize& a, const X11ScreenSize& b) {
    return screen_of(a.width > b.width ? a.width : b.width, a.height > b.height ? a.height : b.height);
}

// Sets the CRTC and the screen size. The screen must hold every CRTC at each
// step, so it grows first to hold both the old and the new setting, and
// shrinks last.
bool apply(XRRScreenResources* resources, const X11CrtcSetting& setting, const X11ScreenSize& from,
           const X11ScreenSize& to) {
    const X11Modes& modes = x11_state.modes;
    X11ScreenSize wide = holding(from, to);
    x11_expect_error(modes.connection);
    if (!same_size(wide, from))
        XRRSetScreenSize(modes.connection, modes.root, wide.width, wide.height, wide.mm_width, wide.mm_height);
    Status status =
        XRRSetCrtcConfig(modes.connection, resources, setting.crtc, CurrentTime, setting.x, setting.y, setting.mode,
                         setting.rotation, const_cast<RROutput*>(setting.outputs), setting.output_count);
    bool done = status == RRSetConfigSuccess;
    const X11ScreenSize& last = done ? to : from;
    if (!same_size(last, wide))
        XRRSetScreenSize(modes.connection, modes.root, last.width, last.height, last.mm_width, last.mm_height);
    const int error = x11_check_error();
    return done && !error;
}

// The rest of the layer reads the screen's size and its monitors from the
// shared connection: bring in the change notices now, as Windows reports
// the new size as soon as the change returns.
void follow_on_shared_connection() {
    Display* shared = x11_state.display;
    if (!shared || x11_state.randr_event_base < 0) return;
    XSync(shared, False);
    XEvent event;
    while (XCheckTypedEvent(shared, x11_state.randr_event_base + RRScreenChangeNotify, &event))
        XRRUpdateConfiguration(&event);
    x11_screen_changed();
}

int x11_list_modes(LayerDisplayMode* modes, int max) {
    sigset_t held;
    layer_hold_ending_signals(&held);
    int count = 0;
    OutputState state;
    if (open_connection() && find_output(&state)) {
        for (int i = 0; i < state.output->nmode; ++i) {
            const XRRModeInfo* info = mode_info(state.resources, state.output->modes[i]);
            if (!info) continue;
            if (count < max) modes[count] = describe(*info, state.crtc->rotation);
            ++count;
        }
        free_output(&state);
    } else {
        if (max > 0) modes[0] = primary_monitor_mode();
        count = 1;
    }
    layer_release_ending_signals(&held);
    return count;
}

bool x11_current_mode(LayerDisplayMode* mode, int* bits) {
    sigset_t held;
    layer_hold_ending_signals(&held);
    *mode = primary_monitor_mode();
    OutputState state;
    if (open_connection() && find_output(&state)) {
        if (const XRRModeInfo* info = mode_info(state.resources, state.crtc->mode))
            *mode = describe(*info, state.crtc->rotation);
        free_output(&state);
    }
    // Windows counts the padding byte of a 24-bit visual: 32 bits per pixel.
    Display* shared = x11_state.display;
    int depth = DefaultDepth(shared, x11_state.screen);
    *bits = depth == 24 ? 32 : depth;
    layer_release_ending_signals(&held);
    return true;
}

bool x11_set_mode(const LayerDisplayMode* wanted) {
    X11Modes& modes = x11_state.modes;
    sigset_t held;
    layer_hold_ending_signals(&held);
    bool done = false;
    OutputState state;
    if (open_connection() && find_output(&state)) {
        XRRScreenResources* resources = state.resources;
        X11CrtcSetting setting = {};
        setting.crtc = state.crtc_id;
        setting.x = state.crtc->x;
        setting.y = state.crtc->y;
        setting.rotation = state.crtc->rotation;
        setting.output_count = state.crtc->noutput < x11_max_crtc_outputs ? state.crtc->noutput : x11_max_crtc_outputs;
        memcpy(setting.outputs, state.crtc->outputs, sizeof(RROutput) * setting.output_count);
        for (int i = 0; i < state.output->nmode && !setting.mode; ++i) {
            const XRRModeInfo* info = mode_info(resources, state.output->modes[i]);
            if (!info) continue;
            LayerDisplayMode mode = describe(*info, setting.rotation);
            if (mode.width == wanted->width && mode.height == wanted->height &&
                (!wanted->refresh || mode.refresh == wanted->refresh))
                setting.mode = info->id;
        }

        // The screen holds every CRTC, this one at its new size.
        int width = setting.x + wanted->width, height = setting.y + wanted->height;
        for (int i = 0; i < resources->ncrtc; ++i) {
            if (resources->crtcs[i] == setting.crtc) continue;
            XRRCrtcInfo* other = XRRGetCrtcInfo(modes.connection, resources, resources->crtcs[i]);
            if (!other) continue;
            if (other->mode) {
                if (other->x + static_cast<int>(other->width) > width)
                    width = other->x + static_cast<int>(other->width);
                if (other->y + static_cast<int>(other->height) > height)
                    height = other->y + static_cast<int>(other->height);
            }
            XRRFreeCrtcInfo(other);
        }
        int min_width, min_height, max_width, max_height;
        XRRGetScreenSizeRange(modes.connection, modes.root, &min_width, &min_height, &max_width, &max_height);
        if (width < min_width) width = min_width;
        if (height < min_height) height = min_height;

        if (setting.mode && width <= max_width && height <= max_height) {
            X11ScreenSize before = current_screen();
            if (!modes.switched) {
                modes.kept_crtc = setting;
                modes.kept_crtc.mode = state.crtc->mode;
                modes.kept_screen = before;
            }
            X11ScreenSize after = screen_of(width, height);
            done = apply(resources, setting, before, after);
            if (done) {
                XRRScreenResources* now = XRRGetScreenResourcesCurrent(modes.connection, modes.root);
                x11_prepare_exit_restore({modes.connection, modes.randr_opcode, modes.root, modes.kept_crtc, after,
                                          holding(after, modes.kept_screen), modes.kept_screen,
                                          now ? now->configTimestamp : resources->configTimestamp});
                if (now) XRRFreeScreenResources(now);
                modes.switched = true;
            }
        }
        free_output(&state);
    }
    layer_release_ending_signals(&held);
    if (done) follow_on_shared_connection();
    return done;
}

void x11_restore_mode() {
    X11Modes& modes = x11_state.modes;
    if (!modes.switched) return;
    sigset_t held;
    layer_hold_ending_signals(&held);
    x11_cancel_exit_restore();
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(modes.connection, modes.root);
    if (resources) {
        apply(resources, modes.kept_crtc, current_screen(), modes.kept_screen);
        XRRFreeScreenResources(resources);
    }
    modes.switched = false;
    layer_release_ending_signals(&held);
    follow_on_shared_connection();
}

void x11_mode_reset() {}

const LayerModeDriver mode_driver = {
    x11_list_modes, x11_current_mode, x11_set_mode, x11_restore_mode, x11_restore_at_exit, x11_mode_reset,
};

}  // namespace

int x11_primary_crtc(const X11Monitor& primary, const std::vector<X11Crtc>& crtcs) {
    for (size_t i = 0; i < crtcs.size(); ++i) {
        const X11Crtc& crtc = crtcs[i];
        if (crtc.x != primary.x || crtc.y != primary.y || crtc.width != primary.width || crtc.height != primary.height)
            continue;
        // Where RandR names the monitor's outputs, one of them.
        bool named = primary.outputs.empty();
        for (XID output : crtc.outputs) named = named || lists(primary.outputs, output);
        if (named) return static_cast<int>(i);
    }
    return -1;
}

const LayerModeDriver* x11_mode_driver() {
    return &mode_driver;
}
