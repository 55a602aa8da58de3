// Idleness from GNOME's compositor over the session bus: a watch that fires
// each time the user has been idle for the timeout, and, once it has, a
// one-shot watch that fires on the next input.
#include <stdint.h>
#include <string.h>

#include <string>

#include "sources.h"
#include "watcher.h"

namespace {

const char* const monitor_name = "org.gnome.Mutter.IdleMonitor";
const char* const monitor_path = "/org/gnome/Mutter/IdleMonitor/Core";

struct GnomeSource {
    sd_bus* bus = nullptr;
    uint32_t idle_watch = 0;
    uint32_t active_watch = 0;
} g;

bool add_watch(const char* method, uint32_t* id, const char* types, uint64_t interval_ms) {
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r = types ? sd_bus_call_method(g.bus, monitor_name, monitor_path, monitor_name, method, &error, &reply, types,
                                       interval_ms)
                  : sd_bus_call_method(g.bus, monitor_name, monitor_path, monitor_name, method, &error, &reply, "");
    if (r >= 0) r = sd_bus_message_read(reply, "u", id);
    if (r < 0) note(std::string(method) + " failed: " + (error.message ? error.message : strerror(-r)));
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    return r >= 0;
}

int on_watch_fired(sd_bus_message* message, void*, sd_bus_error*) {
    uint32_t id = 0;
    if (sd_bus_message_read(message, "u", &id) < 0) return 0;
    if (id == g.idle_watch) {
        // The user-active watch fires once and is gone by itself. Without
        // it the return would go unseen: no saver then.
        if (!g.active_watch && !add_watch("AddUserActiveWatch", &g.active_watch, nullptr, 0)) {
            session_lost("GNOME's idle monitor refused a watch");
            return 0;
        }
        idle_began();
    } else if (id == g.active_watch) {
        g.active_watch = 0;
        user_returned();
    }
    return 0;
}

int on_monitor_owner(sd_bus_message* message, void*, sd_bus_error*) {
    const char *name = nullptr, *old_owner = nullptr, *new_owner = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &old_owner, &new_owner) >= 0 && !*new_owner)
        session_lost("GNOME's idle monitor went away");
    return 0;
}

}  // namespace

bool start_gnome_source(sd_bus* session, unsigned timeout) {
    if (!session) return false;
    g.bus = session;
    if (sd_bus_call_method(g.bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "GetNameOwner", nullptr, nullptr, "s", monitor_name) < 0) {
        note("no GNOME idle monitor on the session bus");
        return false;
    }
    int r = sd_bus_match_signal(g.bus, nullptr, monitor_name, monitor_path, monitor_name, "WatchFired", on_watch_fired,
                                nullptr);
    if (r < 0) give_up("follow GNOME's idle monitor", r);
    r = sd_bus_add_match(g.bus, nullptr,
                         "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',"
                         "arg0='org.gnome.Mutter.IdleMonitor'",
                         on_monitor_owner, nullptr);
    if (r < 0) give_up("follow GNOME's idle monitor", r);
    if (!add_watch("AddIdleWatch", &g.idle_watch, "t", timeout * 1000ULL)) return false;
    note("watching GNOME's idle monitor");
    return true;
}
