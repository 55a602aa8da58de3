// Idleness from the Wayland compositor: ext_idle_notifier_v1, which honours
// the compositor's idle inhibitors, else KDE's older org_kde_kwin_idle. Both
// send "idle" after the timeout without input on the seat and "resumed" on
// the next input, so the source only waits on the connection.
#include <wayland-client.h>

#include <errno.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <string>

#include "ext-idle-notify-v1-client-protocol.h"
#include "kde-idle-client-protocol.h"
#include "kernel/printable.h"
#include "sources.h"
#include "watcher.h"

namespace {

// How long the compositor has to answer at the start, as the saver waits.
const int answer_wait_seconds = 10;

struct WaylandSource {
    wl_display* display = nullptr;
    wl_seat* seat = nullptr;
    ext_idle_notifier_v1* notifier = nullptr;
    org_kde_kwin_idle* kde_idle = nullptr;
    sd_event_source* io = nullptr;
} wl;

void on_global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (!strcmp(interface, wl_seat_interface.name) && !wl.seat)
        wl.seat = (wl_seat*)wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (!strcmp(interface, ext_idle_notifier_v1_interface.name))
        wl.notifier = (ext_idle_notifier_v1*)wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1);
    else if (!strcmp(interface, org_kde_kwin_idle_interface.name))
        wl.kde_idle = (org_kde_kwin_idle*)wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1);
}

void on_global_remove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registry_listener = {on_global, on_global_remove};

void on_idled(void*, ext_idle_notification_v1*) {
    idle_began();
}
void on_resumed(void*, ext_idle_notification_v1*) {
    user_returned();
}
const ext_idle_notification_v1_listener notification_listener = {on_idled, on_resumed};

void on_kde_idle(void*, org_kde_kwin_idle_timeout*) {
    idle_began();
}
void on_kde_resumed(void*, org_kde_kwin_idle_timeout*) {
    user_returned();
}
const org_kde_kwin_idle_timeout_listener kde_timeout_listener = {on_kde_idle, on_kde_resumed};

int on_wayland_events(sd_event_source*, int, uint32_t revents, void*) {
    if (revents & EPOLLIN) {
        if (wl_display_dispatch(wl.display) < 0) {
            session_lost("the Wayland compositor went away");
            return 0;
        }
    } else if (revents & (EPOLLHUP | EPOLLERR)) {
        session_lost("the Wayland compositor went away");
        return 0;
    }
    wl_display_flush(wl.display);
    return 0;
}

void on_sync_done(void* data, wl_callback* callback, uint32_t) {
    wl_callback_destroy(callback);
    *static_cast<bool*>(data) = true;
}
const wl_callback_listener sync_listener = {on_sync_done};

std::string compositor_name() {
    const char* name = getenv("WAYLAND_DISPLAY");
    return "\"" + layer_printable(name && *name ? name : "wayland-0") + "\"";
}

// wl_display_roundtrip with a bound: a compositor that took the connection
// and says nothing (stopped, hung) would hold the watcher for ever. False
// when the connection broke; the watcher ends when the time is up.
bool roundtrip() {
    bool done = false;
    wl_callback* sync = wl_display_sync(wl.display);
    if (!sync) return false;
    wl_callback_add_listener(sync, &sync_listener, &done);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(answer_wait_seconds);
    while (!done) {
        if (wl_display_prepare_read(wl.display) != 0) {
            if (wl_display_dispatch_pending(wl.display) < 0) return false;
            continue;
        }
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            warn("the Wayland compositor " + compositor_name() + " did not answer within " +
                 std::to_string(answer_wait_seconds) + " s");
            exit(EXIT_NO_SESSION);
        }
        if (wl_display_flush(wl.display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(wl.display);
            return false;
        }
        pollfd connection = {wl_display_get_fd(wl.display), POLLIN, 0};
        int ready = poll(&connection, 1, (int)left.count());
        if (ready > 0) {
            if (wl_display_read_events(wl.display) < 0) return false;
        } else {
            wl_display_cancel_read(wl.display);
            if (ready < 0 && errno != EINTR) return false;
        }
        if (wl_display_dispatch_pending(wl.display) < 0) return false;
    }
    return true;
}

bool refuse(const char* why) {
    note(why);
    wl_display_disconnect(wl.display);
    wl = {};
    return false;
}

}  // namespace

bool start_wayland_source(sd_event* event, unsigned timeout) {
    // Without a runtime folder there is no socket to find, and the library
    // would say so on stderr.
    const char* name = getenv("WAYLAND_DISPLAY");
    bool findable = getenv("WAYLAND_SOCKET") || getenv("XDG_RUNTIME_DIR") || (name && name[0] == '/');
    wl.display = findable ? wl_display_connect(nullptr) : nullptr;
    if (!wl.display) {
        note("no Wayland compositor");
        return false;
    }
    wl_registry* registry = wl_display_get_registry(wl.display);
    if (!registry) give_up("ask the Wayland compositor for its globals", -ENOMEM);
    wl_registry_add_listener(registry, &registry_listener, nullptr);
    if (!roundtrip()) return refuse("the Wayland compositor went away");
    const char* protocol = wl.notifier ? "ext_idle_notifier_v1" : wl.kde_idle ? "org_kde_kwin_idle" : nullptr;
    if (!protocol) return refuse("the Wayland compositor has no idle protocol");
    if (!wl.seat) return refuse("the Wayland compositor has no seat");
    uint32_t timeout_ms = timeout * 1000;
    if (wl.notifier) {
        auto* notification = ext_idle_notifier_v1_get_idle_notification(wl.notifier, timeout_ms, wl.seat);
        if (!notification) give_up("ask the Wayland compositor for idleness", -ENOMEM);
        ext_idle_notification_v1_add_listener(notification, &notification_listener, nullptr);
    } else {
        auto* kde_timeout = org_kde_kwin_idle_get_idle_timeout(wl.kde_idle, wl.seat, timeout_ms);
        if (!kde_timeout) give_up("ask the Wayland compositor for idleness", -ENOMEM);
        org_kde_kwin_idle_timeout_add_listener(kde_timeout, &kde_timeout_listener, nullptr);
    }
    if (wl_display_flush(wl.display) < 0 && errno != EAGAIN) return refuse("the Wayland compositor went away");
    int r = sd_event_add_io(event, &wl.io, wl_display_get_fd(wl.display), EPOLLIN, on_wayland_events, nullptr);
    if (r < 0) give_up("watch the Wayland connection", r);
    note(std::string("watching the Wayland compositor's idle time (") + protocol + ")");
    return true;
}
