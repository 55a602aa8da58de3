// Idleness from the Wayland compositor: ext_idle_notifier_v1, which honours
// the compositor's idle inhibitors, else KDE's older org_kde_kwin_idle. Both
// send "idle" after the timeout without input on the seat and "resumed" on
// the next input, so the source only waits on the connection.
#include <wayland-client.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "ext-idle-notify-v1-client-protocol.h"
#include "kde-idle-client-protocol.h"
#include "sources.h"
#include "watcher.h"

namespace {

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
    wl_registry_add_listener(registry, &registry_listener, nullptr);
    wl_display_roundtrip(wl.display);
    const char* protocol = wl.notifier ? "ext_idle_notifier_v1" : wl.kde_idle ? "org_kde_kwin_idle" : nullptr;
    if (!protocol || !wl.seat) {
        note(protocol ? "the Wayland compositor has no seat" : "the Wayland compositor has no idle protocol");
        wl_display_disconnect(wl.display);
        wl = {};
        return false;
    }
    uint32_t timeout_ms = timeout * 1000;
    if (wl.notifier) {
        auto* notification = ext_idle_notifier_v1_get_idle_notification(wl.notifier, timeout_ms, wl.seat);
        ext_idle_notification_v1_add_listener(notification, &notification_listener, nullptr);
    } else {
        auto* kde_timeout = org_kde_kwin_idle_get_idle_timeout(wl.kde_idle, wl.seat, timeout_ms);
        org_kde_kwin_idle_timeout_add_listener(kde_timeout, &kde_timeout_listener, nullptr);
    }
    wl_display_flush(wl.display);
    sd_event_add_io(event, &wl.io, wl_display_get_fd(wl.display), EPOLLIN, on_wayland_events, nullptr);
    note(std::string("watching the Wayland compositor's idle time (") + protocol + ")");
    return true;
}
