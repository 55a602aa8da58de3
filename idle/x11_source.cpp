// Idleness from the X server's idle counter (MIT-SCREEN-SAVER). While the
// user is active nothing can happen before the counter reaches the timeout,
// so the source sleeps until then and looks again. Once idle, raw input
// events (XInput 2, on the root window, taken away again when the user is
// back) say at once that the user returned; a check every few seconds sees
// the counter set back by clients that call XResetScreenSaver.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/scrnsaver.h>

#include <unistd.h>

#include <string>

#include "sources.h"
#include "watcher.h"

namespace {

const uint64_t recheck_usec = 20 * 1000000ULL;

struct X11Source {
    Display* display = nullptr;
    sd_event_source* io = nullptr;
    sd_event_source* timer = nullptr;
    XScreenSaverInfo* info = nullptr;
    unsigned long timeout_ms = 0;
    bool raw_input = false;  // XInput 2 is there
    bool idle = false;
    unsigned long last_idle = 0;  // the counter at the last look
    uint64_t looked_at = 0;       // when that was (CLOCK_MONOTONIC, µs)
} x;

void select_raw_input(bool on) {
    if (!x.raw_input) return;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (on) {
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawButtonPress);
        XISetMask(bits, XI_RawMotion);
        XISetMask(bits, XI_RawTouchBegin);
    }
    XIEventMask mask = {XIAllMasterDevices, sizeof bits, bits};
    XISelectEvents(x.display, DefaultRootWindow(x.display), &mask, 1);
    XFlush(x.display);
}

void arm(uint64_t usec) {
    sd_event_source_set_time_relative(x.timer, usec);
    sd_event_source_set_enabled(x.timer, SD_EVENT_ONESHOT);
}

void back() {
    x.idle = false;
    select_raw_input(false);
    user_returned();
}

void look();

void take_events() {
    bool input = false;
    while (XPending(x.display)) {
        XEvent event;
        XNextEvent(x.display, &event);
        if (event.type == GenericEvent) input = true;
    }
    if (input && x.idle) {
        back();
        look();
    }
}

void look() {
    if (!XScreenSaverQueryInfo(x.display, DefaultRootWindow(x.display), x.info)) return;
    unsigned long idle_ms = x.info->idle;
    uint64_t now = 0;
    sd_event_now(sd_event_source_get_event(x.timer), CLOCK_MONOTONIC, &now);
    // Set back since the last look: more than a second short of the time
    // that has passed.
    if (x.idle && idle_ms + 1000 < x.last_idle + (now - x.looked_at) / 1000) back();
    if (!x.idle && idle_ms >= x.timeout_ms) {
        x.idle = true;
        select_raw_input(true);
        idle_began();
    }
    x.last_idle = idle_ms;
    x.looked_at = now;
    // Without raw input only the counter tells of the return: look each second.
    arm(!x.idle ? (x.timeout_ms - idle_ms) * 1000ULL : x.raw_input ? recheck_usec : 1000000ULL);
    // Input read from the connection along with the reply waits in Xlib's
    // queue, where the descriptor no longer tells of it.
    if (XEventsQueued(x.display, QueuedAlready)) take_events();
}

int on_timer(sd_event_source*, uint64_t, void*) {
    look();
    return 0;
}

int on_x_events(sd_event_source*, int, uint32_t revents, void*) {
    if (revents & (EPOLLHUP | EPOLLERR)) {
        session_lost("the X display went away");
        return 0;
    }
    take_events();
    return 0;
}

int on_io_error(Display*) {
    // Xlib would end the process: end the saver first.
    warn("the X display went away");
    watcher_finish();
    _exit(EXIT_NO_SESSION);
}

}  // namespace

bool start_x11_source(sd_event* event, unsigned timeout) {
    x.display = XOpenDisplay(nullptr);
    if (!x.display) {
        note("no X display");
        return false;
    }
    int event_base, error_base, major = 2, minor = 0, opcode;
    if (!XScreenSaverQueryExtension(x.display, &event_base, &error_base)) {
        note("the X display has no MIT-SCREEN-SAVER");
        XCloseDisplay(x.display);
        return false;
    }
    x.raw_input = XQueryExtension(x.display, "XInputExtension", &opcode, &event_base, &error_base) &&
                  XIQueryVersion(x.display, &major, &minor) == Success;
    XSetIOErrorHandler(on_io_error);
    x.info = XScreenSaverAllocInfo();
    x.timeout_ms = timeout * 1000UL;
    sd_event_add_io(event, &x.io, ConnectionNumber(x.display), EPOLLIN, on_x_events, nullptr);
    sd_event_add_time_relative(event, &x.timer, CLOCK_MONOTONIC, 0, 0, on_timer, nullptr);
    note(std::string("watching the X server's idle time on ") + DisplayString(x.display) +
         (x.raw_input ? "" : " (no XInput 2: the return is seen by the counter)"));
    return true;
}
