// Idleness from the X server's idle time, the SYNC extension's IDLETIME
// counter: two alarms on it, one when it rises through the timeout (idle),
// one when it falls back below it (input, whichever client grabbed it, a
// client's XResetScreenSaver, or the end of an XScreenSaverSuspend). The
// server sends both as events, so the source waits on the connection alone.
//
// A client's XScreenSaverSuspend shows only through the server's own saver
// (MIT-SCREEN-SAVER): its time has come, and it stays off. Where it is off
// altogether (xset s off) there is nothing to see.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <X11/extensions/sync.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "kernel/printable.h"
#include "sources.h"
#include "watcher.h"

namespace {

// How long the server has to answer the connection, as the saver waits.
const int answer_wait_seconds = 10;
// The server's own saver may come on a little after its time: a suspension
// is believed when it is still off this much later.
const uint64_t suspension_check_usec = 1000000;

struct X11Source {
    Display* display = nullptr;
    sd_event_source* io = nullptr;
    sd_event_source* recheck = nullptr;  // a suspension, looked at again
    int sync_event_base = 0;
    XSyncAlarm rose = None;  // the idle time reached the timeout
    XSyncAlarm fell = None;  // and was set back below it
    XScreenSaverInfo* info = nullptr;
    unsigned long timeout_ms = 0;
    bool idle = false;
    bool suspended = false;  // a client holds the server's saver off
} x;

std::string display_name() {
    return "\"" + layer_printable(XDisplayName(nullptr)) + "\"";
}

int on_recheck(sd_event_source*, uint64_t, void*);

// The idle time reached the timeout (or did at the start): idle, unless it
// was set back meanwhile or a client suspends the server's saver.
void look(bool again) {
    x.recheck = sd_event_source_disable_unref(x.recheck);
    if (x.idle || !XScreenSaverQueryInfo(x.display, DefaultRootWindow(x.display), x.info)) return;
    if (x.info->idle < x.timeout_ms) return;
    if (x.info->state == ScreenSaverOff && x.info->til_or_since == 0) {
        if (!again) {
            int r = sd_event_add_time_relative(sd_event_source_get_event(x.io), &x.recheck, CLOCK_MONOTONIC,
                                               suspension_check_usec, 0, on_recheck, nullptr);
            if (r < 0) give_up("time a look at the X server's saver", r);
        } else if (!x.suspended) {
            x.suspended = true;
            note("idle, but a client suspends the X server's saver");
        }
        return;
    }
    x.idle = true;
    idle_began();
}

void take_events();

int on_recheck(sd_event_source*, uint64_t, void*) {
    look(true);
    take_events();
    return 0;
}

void set_back() {
    x.recheck = sd_event_source_disable_unref(x.recheck);
    if (x.suspended) note("the X server's saver is no longer suspended");
    x.suspended = false;
    if (!x.idle) return;
    x.idle = false;
    user_returned();
}

void take_events() {
    while (XPending(x.display)) {
        XEvent event;
        XNextEvent(x.display, &event);
        if (event.type != x.sync_event_base + XSyncAlarmNotify) continue;
        XSyncAlarm alarm = reinterpret_cast<XSyncAlarmNotifyEvent*>(&event)->alarm;
        if (alarm == x.rose)
            look(false);  // its reply may bring more events: the loop takes them
        else if (alarm == x.fell)
            set_back();
    }
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
    // Xlib ends the process after this: the saver first.
    warn("the X display went away");
    watcher_finish();
    _exit(EXIT_NO_SESSION);
}

int on_x_error(Display* display, XErrorEvent* error) {
    char text[256];
    XGetErrorText(display, error->error_code, text, sizeof text);
    warn(std::string("the X server refused a request: ") + text);
    return 0;
}

// XOpenDisplay waits for the server's answer without a bound, and a server
// that is stopped never gives it: opened on a thread of its own, the
// connection is waited for as long as the saver waits.
Display* open_display() {
    std::packaged_task<Display*()> task([] { return XOpenDisplay(nullptr); });
    std::future<Display*> opened = task.get_future();
    std::thread(std::move(task)).detach();
    if (opened.wait_for(std::chrono::seconds(answer_wait_seconds)) == std::future_status::timeout) {
        warn("the X display " + display_name() + " did not answer within " + std::to_string(answer_wait_seconds) +
             " s");
        exit(EXIT_NO_SESSION);
    }
    return opened.get();
}

XSyncCounter idle_counter() {
    int count = 0;
    XSyncSystemCounter* counters = XSyncListSystemCounters(x.display, &count);
    XSyncCounter counter = None;
    for (int i = 0; i < count; ++i)
        if (!strcmp(counters[i].name, "IDLETIME")) counter = counters[i].counter;
    if (counters) XSyncFreeSystemCounterList(counters);
    return counter;
}

XSyncAlarm make_alarm(XSyncCounter counter, XSyncTestType test) {
    XSyncAlarmAttributes alarm;
    alarm.trigger.counter = counter;
    alarm.trigger.value_type = XSyncAbsolute;
    XSyncIntToValue(&alarm.trigger.wait_value, (int)x.timeout_ms);
    alarm.trigger.test_type = test;
    XSyncIntToValue(&alarm.delta, 0);  // stays armed for every crossing
    alarm.events = True;
    return XSyncCreateAlarm(
        x.display, XSyncCACounter | XSyncCAValueType | XSyncCAValue | XSyncCATestType | XSyncCADelta | XSyncCAEvents,
        &alarm);
}

bool refuse(const char* why) {
    note(why);
    XCloseDisplay(x.display);
    x = {};
    return false;
}

}  // namespace

bool start_x11_source(sd_event* event, unsigned timeout) {
    const char* name = getenv("DISPLAY");
    if (!name || !*name) {
        note("no X display");
        return false;
    }
    // One handler for every connection, so set before the connection is
    // made: the server may go while it is being made.
    XSetIOErrorHandler(on_io_error);
    XSetErrorHandler(on_x_error);
    x.display = open_display();
    if (!x.display) {
        note("cannot open the X display " + display_name());
        return false;
    }
    int event_base, error_base, major, minor;
    if (!XScreenSaverQueryExtension(x.display, &event_base, &error_base))
        return refuse("the X display has no MIT-SCREEN-SAVER");
    if (!XSyncQueryExtension(x.display, &x.sync_event_base, &error_base) || !XSyncInitialize(x.display, &major, &minor))
        return refuse("the X display has no SYNC extension");
    XSyncCounter counter = idle_counter();
    if (counter == None) return refuse("the X display has no idle-time counter (IDLETIME)");
    x.info = XScreenSaverAllocInfo();
    if (!x.info) give_up("hold the X server's saver state", -ENOMEM);
    x.timeout_ms = timeout * 1000UL;
    x.rose = make_alarm(counter, XSyncPositiveTransition);
    x.fell = make_alarm(counter, XSyncNegativeTransition);
    XSync(x.display, False);
    int r = sd_event_add_io(event, &x.io, ConnectionNumber(x.display), EPOLLIN, on_x_events, nullptr);
    if (r < 0) give_up("watch the X connection", r);
    note("watching the X server's idle time on " + display_name());
    // Idle already (the alarms tell only of crossings from now on).
    look(false);
    // Events read along with a reply wait in Xlib's queue, where the
    // descriptor no longer tells of them.
    take_events();
    return true;
}
