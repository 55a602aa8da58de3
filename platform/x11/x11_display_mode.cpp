// The X11 driver's display modes, through XRandR 1.2: the modes of the
// screen's primary output, a switch of its CRTC with the screen resized to
// fit, and the way back. x11_mode_driver() is the table the core uses.
//
// The mode work runs on an X connection of its own, opened at first use and
// otherwise idle, and the process's terminating signals are held off while
// it is in use. So the restore on the way out, which may run inside a signal
// handler, finds that connection between requests: it writes requests that
// were prepared at the switch straight onto its socket and waits for the
// server's answer with poll and recv, all async-signal-safe, and never calls
// Xlib or malloc there.
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "x11/x11_private.h"

#include <X11/extensions/Xrandr.h>
#include <X11/extensions/randr.h>
#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <sys/socket.h>

namespace {

const int max_outputs = 16;

struct CrtcSetting {
    RRCrtc crtc;
    RRMode mode;
    int x, y;
    Rotation rotation;
    RROutput outputs[max_outputs];
    int output_count;
};

struct ScreenSize {
    int width, height;        // pixels
    int mm_width, mm_height;  // physical size, which RRSetScreenSize takes too
};

// The screen's main output and what drives it.
struct OutputState {
    XRRScreenResources* resources;
    XRROutputInfo* output;
    XRRCrtcInfo* crtc;
    RRCrtc crtc_id;
};

Display* connection;  // the mode work's own connection
Window root;
int randr_opcode;
bool no_modes;  // no XRandR 1.2 on this display
double mm_per_pixel_x, mm_per_pixel_y;

// The setting before the first switch, and what is on screen since.
volatile sig_atomic_t switched = 0;
CrtcSetting kept_crtc;
ScreenSize kept_screen;
ScreenSize shown_screen;

// The restore as protocol requests, ready for the exit path.
unsigned char exit_requests[3 * 20 + 28 + 4 * max_outputs + 4];
size_t exit_length;
int exit_request_count;

int trapped_error;
int (*previous_handler)(Display*, XErrorEvent*);

int on_error(Display* display, XErrorEvent* error) {
    if (display != connection) return previous_handler ? previous_handler(display, error) : 0;
    if (!trapped_error) trapped_error = error->error_code;
    return 0;
}

bool open_connection() {
    if (connection) return true;
    if (no_modes) return false;
    Display* shared = x11_display();
    Display* display = XOpenDisplay(shared ? DisplayString(shared) : nullptr);
    int event_base, error_base, major = 0, minor = 0, first_event, first_error;
    if (!display || !XRRQueryExtension(display, &event_base, &error_base) ||
        !XRRQueryVersion(display, &major, &minor) || major < 1 || (major == 1 && minor < 2) ||
        !XQueryExtension(display, "RANDR", &randr_opcode, &first_event, &first_error)) {
        if (display) XCloseDisplay(display);
        no_modes = true;
        return false;
    }
    int screen = shared ? x11_screen() : DefaultScreen(display);
    root = RootWindow(display, screen);
    // The physical size follows the pixel size at the screen's own density.
    mm_per_pixel_x = static_cast<double>(DisplayWidthMM(display, screen)) / DisplayWidth(display, screen);
    mm_per_pixel_y = static_cast<double>(DisplayHeightMM(display, screen)) / DisplayHeight(display, screen);
    connection = display;
    return true;
}

void free_output(OutputState* state) {
    if (state->crtc) XRRFreeCrtcInfo(state->crtc);
    if (state->output) XRRFreeOutputInfo(state->output);
    if (state->resources) XRRFreeScreenResources(state->resources);
    *state = OutputState{};
}

// The primary output, or else the first connected output that shows
// something.
bool find_output(OutputState* state) {
    *state = OutputState{};
    state->resources = XRRGetScreenResourcesCurrent(connection, root);
    if (!state->resources) return false;
    XRRScreenResources* resources = state->resources;
    RROutput primary = XRRGetOutputPrimary(connection, root);
    for (int pass = 0; pass < 2 && !state->crtc; ++pass) {
        for (int i = 0; i < resources->noutput && !state->crtc; ++i) {
            if (pass == 0 && resources->outputs[i] != primary) continue;
            XRROutputInfo* output = XRRGetOutputInfo(connection, resources, resources->outputs[i]);
            if (output && output->connection == RR_Connected && output->crtc) {
                XRRCrtcInfo* crtc = XRRGetCrtcInfo(connection, resources, output->crtc);
                if (crtc && crtc->mode) {
                    state->output = output;
                    state->crtc = crtc;
                    state->crtc_id = output->crtc;
                    break;
                }
                if (crtc) XRRFreeCrtcInfo(crtc);
            }
            if (output) XRRFreeOutputInfo(output);
        }
    }
    if (!state->crtc) free_output(state);
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

ScreenSize screen_of(int width, int height) {
    return ScreenSize{width, height, static_cast<int>(width * mm_per_pixel_x + 0.5),
                      static_cast<int>(height * mm_per_pixel_y + 0.5)};
}

ScreenSize current_screen() {
    Window ignored_root;
    int x, y;
    unsigned width = 0, height = 0, border, depth;
    XGetGeometry(connection, root, &ignored_root, &x, &y, &width, &height, &border, &depth);
    return screen_of(static_cast<int>(width), static_cast<int>(height));
}

bool same_size(const ScreenSize& a, const ScreenSize& b) {
    return a.width == b.width && a.height == b.height;
}

// Sets the CRTC and the screen size. The screen must hold every CRTC at each
// step, so it grows first to hold both the old and the new setting, and
// shrinks last.
bool apply(XRRScreenResources* resources, const CrtcSetting& setting, const ScreenSize& from, const ScreenSize& to) {
    ScreenSize wide =
        screen_of(from.width > to.width ? from.width : to.width, from.height > to.height ? from.height : to.height);
    trapped_error = 0;
    previous_handler = XSetErrorHandler(on_error);
    if (!same_size(wide, from))
        XRRSetScreenSize(connection, root, wide.width, wide.height, wide.mm_width, wide.mm_height);
    Status status =
        XRRSetCrtcConfig(connection, resources, setting.crtc, CurrentTime, setting.x, setting.y, setting.mode,
                         setting.rotation, const_cast<RROutput*>(setting.outputs), setting.output_count);
    bool done = status == RRSetConfigSuccess;
    const ScreenSize& last = done ? to : from;
    if (!same_size(last, wide))
        XRRSetScreenSize(connection, root, last.width, last.height, last.mm_width, last.mm_height);
    XSync(connection, False);
    XSetErrorHandler(previous_handler);
    return done && !trapped_error;
}

// The rest of the layer reads the screen's size from the shared connection:
// bring in the change notices now, as Windows reports the new size as soon
// as the change returns.
void follow_on_shared_connection() {
    Display* shared = x11_display();
    if (!shared || x11_randr_event_base < 0) return;
    XSync(shared, False);
    XEvent event;
    while (XCheckTypedEvent(shared, x11_randr_event_base + RRScreenChangeNotify, &event))
        XRRUpdateConfiguration(&event);
}

unsigned char* put16(unsigned char* out, unsigned value) {
    uint16_t v = static_cast<uint16_t>(value);
    memcpy(out, &v, 2);
    return out + 2;
}

unsigned char* put32(unsigned char* out, unsigned long value) {
    uint32_t v = static_cast<uint32_t>(value);
    memcpy(out, &v, 4);
    return out + 4;
}

unsigned char* put_screen_size(unsigned char* out, const ScreenSize& size) {
    *out++ = static_cast<unsigned char>(randr_opcode);
    *out++ = X_RRSetScreenSize;
    out = put16(out, 5);  // length in 4-byte units
    out = put32(out, root);
    out = put16(out, size.width);
    out = put16(out, size.height);
    out = put32(out, size.mm_width);
    return put32(out, size.mm_height);
}

// The requests of the restore, in the client's byte order (the connection's
// own): the same steps as apply, then GetInputFocus, whose reply tells that
// the server has done them all.
void prepare_exit_requests(Time config_time) {
    ScreenSize wide = screen_of(shown_screen.width > kept_screen.width ? shown_screen.width : kept_screen.width,
                                shown_screen.height > kept_screen.height ? shown_screen.height : kept_screen.height);
    unsigned char* out = exit_requests;
    int count = 0;
    if (!same_size(wide, shown_screen)) {
        out = put_screen_size(out, wide);
        ++count;
    }
    *out++ = static_cast<unsigned char>(randr_opcode);
    *out++ = X_RRSetCrtcConfig;
    out = put16(out, 7 + kept_crtc.output_count);
    out = put32(out, kept_crtc.crtc);
    out = put32(out, CurrentTime);
    out = put32(out, config_time);
    out = put16(out, static_cast<uint16_t>(static_cast<int16_t>(kept_crtc.x)));
    out = put16(out, static_cast<uint16_t>(static_cast<int16_t>(kept_crtc.y)));
    out = put32(out, kept_crtc.mode);
    out = put16(out, kept_crtc.rotation);
    out = put16(out, 0);
    for (int i = 0; i < kept_crtc.output_count; ++i) out = put32(out, kept_crtc.outputs[i]);
    ++count;
    if (!same_size(kept_screen, wide)) {
        out = put_screen_size(out, kept_screen);
        ++count;
    }
    *out++ = 43;  // GetInputFocus
    *out++ = 0;
    out = put16(out, 1);
    ++count;
    exit_length = static_cast<size_t>(out - exit_requests);
    exit_request_count = count;
}

bool wait_for(int fd, short events) {
    pollfd wanted = {fd, events, 0};
    int ready;
    do ready = poll(&wanted, 1, 1000);
    while (ready < 0 && errno == EINTR);
    return ready > 0 && (wanted.revents & events);
}

bool receive(int fd, unsigned char* buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        if (!wait_for(fd, POLLIN)) return false;
        ssize_t n = recv(fd, buffer + got, size - got, MSG_DONTWAIT);
        if (n == 0) return false;
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
            return false;
        }
        got += static_cast<size_t>(n);
    }
    return true;
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
    }
    layer_release_ending_signals(&held);
    return count;
}

bool x11_current_mode(LayerDisplayMode* mode, int* bits) {
    sigset_t held;
    layer_hold_ending_signals(&held);
    bool found = false;
    OutputState state;
    if (open_connection() && find_output(&state)) {
        const XRRModeInfo* info = mode_info(state.resources, state.crtc->mode);
        if (info) {
            *mode = describe(*info, state.crtc->rotation);
            // Windows counts the padding byte of a 24-bit visual: 32 bits per pixel.
            int depth = DefaultDepth(connection, DefaultScreen(connection));
            *bits = depth == 24 ? 32 : depth;
            found = true;
        }
        free_output(&state);
    }
    layer_release_ending_signals(&held);
    return found;
}

bool x11_set_mode(const LayerDisplayMode* wanted) {
    sigset_t held;
    layer_hold_ending_signals(&held);
    bool done = false;
    OutputState state;
    if (open_connection() && find_output(&state)) {
        XRRScreenResources* resources = state.resources;
        CrtcSetting setting = {};
        setting.crtc = state.crtc_id;
        setting.x = state.crtc->x;
        setting.y = state.crtc->y;
        setting.rotation = state.crtc->rotation;
        setting.output_count = state.crtc->noutput < max_outputs ? state.crtc->noutput : max_outputs;
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
            XRRCrtcInfo* other = XRRGetCrtcInfo(connection, resources, resources->crtcs[i]);
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
        XRRGetScreenSizeRange(connection, root, &min_width, &min_height, &max_width, &max_height);
        if (width < min_width) width = min_width;
        if (height < min_height) height = min_height;

        if (setting.mode && width <= max_width && height <= max_height) {
            ScreenSize before = current_screen();
            if (!switched) {
                kept_crtc = setting;
                kept_crtc.mode = state.crtc->mode;
                kept_screen = before;
            }
            ScreenSize after = screen_of(width, height);
            done = apply(resources, setting, before, after);
            if (done) {
                shown_screen = after;
                XRRScreenResources* now = XRRGetScreenResourcesCurrent(connection, root);
                prepare_exit_requests(now ? now->configTimestamp : resources->configTimestamp);
                if (now) XRRFreeScreenResources(now);
                switched = 1;
            }
        }
        free_output(&state);
    }
    layer_release_ending_signals(&held);
    if (done) follow_on_shared_connection();
    return done;
}

void x11_restore_mode() {
    if (!switched) return;
    sigset_t held;
    layer_hold_ending_signals(&held);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(connection, root);
    if (resources) {
        apply(resources, kept_crtc, current_screen(), kept_screen);
        XRRFreeScreenResources(resources);
    }
    switched = 0;
    layer_release_ending_signals(&held);
    follow_on_shared_connection();
}

void x11_restore_mode_at_exit() {
    if (!switched || !connection) return;
    switched = 0;
    int fd = ConnectionNumber(connection);
    // The connection is idle: its last request has had its answer, and the
    // requests written here carry the numbers after it.
    unsigned long last = NextRequest(connection) - 1;
    size_t sent = 0;
    while (sent < exit_length) {
        if (!wait_for(fd, POLLOUT)) return;
        ssize_t n = send(fd, exit_requests + sent, exit_length - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
    // Errors, replies and events come in 32-byte units; replies may carry more.
    const unsigned last_sequence = static_cast<unsigned>((last + exit_request_count) & 0xffff);
    for (;;) {
        unsigned char unit[32];
        if (!receive(fd, unit, sizeof unit)) return;
        uint16_t sequence;
        memcpy(&sequence, unit + 2, 2);
        if (unit[0] == 1 || unit[0] == GenericEvent) {
            uint32_t more;
            memcpy(&more, unit + 4, 4);
            for (uint32_t skipped = 0; skipped < more; ++skipped) {
                unsigned char word[4];
                if (!receive(fd, word, sizeof word)) return;
            }
        }
        if (unit[0] <= 1 && sequence == last_sequence) return;
    }
}

void x11_mode_reset() {}

const LayerModeDriver mode_driver = {
    x11_list_modes, x11_current_mode, x11_set_mode, x11_restore_mode, x11_restore_mode_at_exit, x11_mode_reset,
};

}  // namespace

const LayerModeDriver* x11_mode_driver() {
    return &mode_driver;
}
