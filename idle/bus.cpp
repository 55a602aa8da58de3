// Holds on the buses besides the inhibit service (inhibits.cpp): logind's
// lock and LockedHint, and on GNOME its screen shield and the session
// manager's idle inhibitors.
#include "bus.h"

#include <stdlib.h>
#include <string.h>

#include <string>

#include "holds.h"
#include "inhibits.h"
#include "options.h"
#include "watcher.h"

namespace {

struct Buses {
    sd_bus* session = nullptr;
    sd_bus* system = nullptr;
    std::string session_path;  // logind's object of this session; empty without logind
    bool locked = false;       // logind's LockedHint
    bool shield = false;       // GNOME's screen shield is up
    bool gnome_session = false;
} b;

const char* const instance_name = "org.orrelune.Idle";
const uint32_t inhibit_idle = 8;  // GNOME's session manager: "inhibit the session being marked as idle"

int on_disconnected(sd_bus_message*, void*, sd_bus_error*) {
    session_lost("the session bus went away");
    return 0;
}

void read_locked_hint() {
    int locked = 0;
    if (sd_bus_get_property_trivial(b.system, "org.freedesktop.login1", b.session_path.c_str(),
                                    "org.freedesktop.login1.Session", "LockedHint", nullptr, 'b', &locked) < 0)
        return;
    bool was = b.locked;
    b.locked = locked;
    if (b.locked == was) return;
    note(b.locked ? "the session is locked" : "the session is unlocked");
    if (b.locked)
        session_locked();
    else
        holds_changed();
}

int on_session_properties(sd_bus_message*, void*, sd_bus_error*) {
    read_locked_hint();
    return 0;
}

// logind's object for the session this user sees ("auto": ours, or the
// user's graphical one when the watcher runs as a user service).
void follow_logind(sd_event* event) {
    if (sd_bus_open_system(&b.system) < 0) {
        note("no system bus: no logind");
        return;
    }
    sd_bus_message* reply = nullptr;
    const char* path = nullptr;
    if (sd_bus_call_method(b.system, "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "GetSession", nullptr, &reply, "s", "auto") < 0 ||
        sd_bus_message_read(reply, "o", &path) < 0) {
        note("logind knows no session of ours");
        sd_bus_message_unref(reply);
        b.system = sd_bus_flush_close_unref(b.system);
        return;
    }
    b.session_path = path;
    sd_bus_message_unref(reply);
    sd_bus_attach_event(b.system, event, 0);
    sd_bus_match_signal(b.system, nullptr, "org.freedesktop.login1", b.session_path.c_str(),
                        "org.freedesktop.DBus.Properties", "PropertiesChanged", on_session_properties, nullptr);
    read_locked_hint();
    note("following logind's session " + b.session_path);
}

int on_shield_changed(sd_bus_message* message, void*, sd_bus_error*) {
    int active = 0;
    if (sd_bus_message_read(message, "b", &active) < 0) return 0;
    b.shield = active;
    if (b.shield)
        session_locked();
    else
        holds_changed();
    return 0;
}

int on_inhibitors_changed(sd_bus_message*, void*, sd_bus_error*) {
    holds_changed();
    return 0;
}

bool has_owner(const char* name) {
    return sd_bus_call_method(b.session, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                              "GetNameOwner", nullptr, nullptr, "s", name) >= 0;
}

// GNOME: its shield (lock screen) and its session manager's inhibitors.
void follow_gnome() {
    sd_bus_match_signal(b.session, nullptr, "org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver",
                        "ActiveChanged", on_shield_changed, nullptr);
    if (has_owner("org.gnome.ScreenSaver")) {
        sd_bus_message* reply = nullptr;
        int active = 0;
        if (sd_bus_call_method(b.session, "org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver",
                               "GetActive", nullptr, &reply, "") >= 0 &&
            sd_bus_message_read(reply, "b", &active) >= 0)
            b.shield = active;
        sd_bus_message_unref(reply);
    }
    b.gnome_session = has_owner("org.gnome.SessionManager");
    if (!b.gnome_session) return;
    for (const char* member : {"InhibitorAdded", "InhibitorRemoved"})
        sd_bus_match_signal(b.session, nullptr, "org.gnome.SessionManager", "/org/gnome/SessionManager",
                            "org.gnome.SessionManager", member, on_inhibitors_changed, nullptr);
    note("following GNOME's session inhibitors");
}

bool gnome_inhibited() {
    if (!b.gnome_session) return false;
    sd_bus_message* reply = nullptr;
    int inhibited = 0;
    if (sd_bus_call_method(b.session, "org.gnome.SessionManager", "/org/gnome/SessionManager",
                           "org.gnome.SessionManager", "IsInhibited", nullptr, &reply, "u", inhibit_idle) >= 0)
        sd_bus_message_read(reply, "b", &inhibited);
    sd_bus_message_unref(reply);
    return inhibited;
}

// One watcher per session: a second one would start a saver of its own.
void claim_session() {
    int r = sd_bus_request_name(b.session, instance_name, 0);
    if (r >= 0) return;
    if (r != -EEXIST) {
        warn(std::string("cannot ask the session bus for ") + instance_name + ": " + strerror(-r));
        exit(EXIT_NO_SESSION);
    }
    sd_bus_creds* creds = nullptr;
    pid_t pid = 0;
    if (sd_bus_get_name_creds(b.session, instance_name, SD_BUS_CREDS_PID, &creds) >= 0)
        sd_bus_creds_get_pid(creds, &pid);
    sd_bus_creds_unref(creds);
    warn(std::string("another orrelune-idle") + (pid ? " (pid " + std::to_string(pid) + ")" : "") +
         " already watches this session");
    exit(EXIT_ANOTHER_WATCHER);
}

}  // namespace

sd_bus* bus_start(sd_event* event) {
    follow_logind(event);
    if (sd_bus_open_user(&b.session) < 0) return b.session = nullptr;
    sd_bus_attach_event(b.session, event, 0);
    sd_bus_set_exit_on_disconnect(b.session, 0);
    sd_bus_match_signal(b.session, nullptr, "org.freedesktop.DBus.Local", "/org/freedesktop/DBus/Local",
                        "org.freedesktop.DBus.Local", "Disconnected", on_disconnected, nullptr);
    claim_session();
    std::string why;
    if (!serve_inhibits(b.session, &why)) {
        warn(why);
        exit(EXIT_NO_SESSION);
    }
    follow_gnome();
    return b.session;
}

bool saver_held() {
    return inhibits_held() || b.locked || b.shield || gnome_inhibited();
}

bool lock_session() {
    if (b.session_path.empty()) return false;
    return sd_bus_call_method(b.system, "org.freedesktop.login1", b.session_path.c_str(),
                              "org.freedesktop.login1.Session", "Lock", nullptr, nullptr, "") >= 0;
}
