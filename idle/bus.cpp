// The session's buses. One watcher per session: the first takes a name of
// its own on the session bus, and a second finds it taken. Besides the
// inhibit service (inhibits.cpp), the holds: logind's LockedHint and idle
// inhibitors on the system bus, GNOME's screen shield and its session
// manager's idle inhibitors on the session bus. Each is believed only from
// the current owner of its name, forgotten when that owner goes and asked
// for again when one comes. Every answer comes back through the event loop:
// once the loop runs nothing waits on a peer, and the start waits, bounded,
// only for what it must know before anything starts (whether another
// watcher runs, and logind's object of this session).
#include "bus.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>

#include "holds.h"
#include "inhibits.h"
#include "options.h"
#include "watcher.h"

namespace {

const char* const instance_name = "org.orrelune.Idle";
const unsigned start_seconds = 10;  // how long the start waits for the buses, all told
const char* const logind_name = "org.freedesktop.login1";
const uint32_t inhibit_idle = 8;  // GNOME's session manager: "inhibit the session being marked as idle"

// A well-known name whose owner is followed.
struct Followed {
    const char* name = nullptr;
    sd_bus* bus = nullptr;
    bool known = false;           // the bus has said who owns it
    std::string owner;            // its unique name; empty while nobody owns it
    void (*changed)() = nullptr;  // the owner came, went or was replaced
};

struct Buses {
    sd_event* event = nullptr;
    sd_bus* session = nullptr;
    sd_bus* system = nullptr;
    bool instance_answered = false;  // the start's answers are in
    bool logind_answered = false;

    Followed logind;
    std::string session_path;   // logind's object of this session; empty until logind names it
    bool locked = false;        // its LockedHint
    bool idle_blocked = false;  // an idle inhibitor of logind's (BlockInhibited holds "idle")

    Followed shell;            // org.gnome.ScreenSaver: GNOME's shell
    Followed session_manager;  // org.gnome.SessionManager
    bool shield = false;       // the shell's screen shield is up
    bool gnome_inhibited = false;
} b;

uint64_t now_usec() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000ULL + now.tv_nsec / 1000;
}

// Before the loop runs: one line, and the process ends.
[[noreturn]] void fail(const std::string& line, int code = EXIT_NO_SESSION) {
    warn(line);
    exit(code);
}

void check(int r, const std::string& what) {
    if (r < 0) fail("cannot " + what + ": " + strerror(-r));
}

// The bus's messages come through the event loop; its end, to `disconnected`.
void attach(sd_bus* bus, const char* which, sd_bus_message_handler_t disconnected) {
    check(sd_bus_attach_event(bus, b.event, 0), std::string("attach ") + which + " to the event loop");
    check(sd_bus_match_signal_async(bus, nullptr, "org.freedesktop.DBus.Local", "/org/freedesktop/DBus/Local",
                                    "org.freedesktop.DBus.Local", "Disconnected", disconnected, nullptr, nullptr),
          std::string("follow ") + which);
}

// One hold's new state. A lock that comes ends a running saver; any hold
// that goes may let one start, a whole timeout later.
void set_hold(bool* hold, bool on, const char* on_text, const char* off_text, bool is_lock) {
    if (*hold == on) return;
    *hold = on;
    note(on ? on_text : off_text);
    if (!on)
        holds_changed();
    else if (is_lock)
        session_locked();
}

void set_locked(bool on) {
    set_hold(&b.locked, on, "the session is locked", "the session is unlocked", true);
}
void set_idle_blocked(bool on) {
    set_hold(&b.idle_blocked, on, "logind holds an idle inhibitor", "logind holds no idle inhibitor", false);
}
void set_shield(bool on) {
    set_hold(&b.shield, on, "GNOME's screen shield is up", "GNOME's screen shield is down", true);
}
void set_gnome_inhibited(bool on) {
    set_hold(&b.gnome_inhibited, on, "GNOME's session manager holds an idle inhibitor",
             "GNOME's session manager holds no idle inhibitor", false);
}

// Whether a signal or an answer comes from the name's current owner.
bool from_owner(sd_bus_message* message, const Followed& followed) {
    const char* sender = sd_bus_message_get_sender(message);
    return sender && !followed.owner.empty() && followed.owner == sender &&
           !sd_bus_message_is_method_error(message, nullptr);
}

void set_owner(Followed* followed, const char* owner) {
    if (followed->known && followed->owner == owner) return;
    followed->known = true;
    followed->owner = owner;
    followed->changed();
}

int on_owner_changed(sd_bus_message* message, void* followed, sd_bus_error*) {
    const char *name = nullptr, *old_owner = nullptr, *new_owner = nullptr;
    auto* f = (Followed*)followed;
    if (sd_bus_message_read(message, "sss", &name, &old_owner, &new_owner) >= 0 && !strcmp(name, f->name))
        set_owner(f, new_owner);
    return 0;
}

int on_owner_answer(sd_bus_message* reply, void* followed, sd_bus_error*) {
    const char* owner = "";
    if (sd_bus_message_is_method_error(reply, nullptr) || sd_bus_message_read(reply, "s", &owner) < 0) owner = "";
    set_owner((Followed*)followed, owner);
    return 0;
}

// Follows the owner of `name`: the match reaches the bus before the
// question, so no change after the answer goes unseen.
int follow(Followed* followed, sd_bus* bus, const char* name, void (*changed)()) {
    followed->name = name;
    followed->bus = bus;
    followed->changed = changed;
    std::string match =
        "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
        "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" +
        std::string(name) + "'";
    int r = sd_bus_add_match_async(bus, nullptr, match.c_str(), on_owner_changed, nullptr, followed);
    if (r < 0) return r;
    return sd_bus_call_method_async(bus, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus", "GetNameOwner", on_owner_answer, followed, "s", name);
}

// Asks the owner of `followed` for a method's answer, which goes to `answer`;
// false (with a line under --verbose) when the question cannot be sent.
bool ask(const Followed& followed, const char* path, const char* interface, const char* method,
         sd_bus_message_handler_t answer, const char* types, ...) {
    sd_bus_message* call = nullptr;
    va_list args;
    va_start(args, types);
    int r = sd_bus_message_new_method_call(followed.bus, &call, followed.owner.c_str(), path, interface, method);
    if (r >= 0) r = sd_bus_message_appendv(call, types, args);
    va_end(args);
    if (r >= 0) r = sd_bus_call_async(followed.bus, nullptr, call, answer, nullptr, 0);
    sd_bus_message_unref(call);
    if (r < 0) note(std::string("cannot ask ") + followed.name + " for " + method + ": " + strerror(-r));
    return r >= 0;
}

bool ask_property(const Followed& followed, const char* path, const char* interface, const char* property,
                  sd_bus_message_handler_t answer) {
    return ask(followed, path, "org.freedesktop.DBus.Properties", "Get", answer, "ss", interface, property);
}

bool read_variant(sd_bus_message* message, char type, void* value) {
    const char contents[] = {type, '\0'};
    return sd_bus_message_enter_container(message, 'v', contents) >= 0 &&
           sd_bus_message_read_basic(message, type, value) >= 0 && sd_bus_message_exit_container(message) >= 0;
}

// What a PropertiesChanged signal says of one property of `interface`: 1
// with its new value in *value, 0 when it changed without a value (ask for
// it), -1 when the signal does not touch it.
int changed_property(sd_bus_message* message, const char* interface, const char* property, char type, void* value) {
    const char* name = nullptr;
    if (sd_bus_message_read(message, "s", &name) < 0 || strcmp(name, interface)) return -1;
    if (sd_bus_message_enter_container(message, 'a', "{sv}") < 0) return -1;
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        if (sd_bus_message_read(message, "s", &name) < 0) return -1;
        if (!strcmp(name, property)) return read_variant(message, type, value) ? 1 : -1;
        if (sd_bus_message_skip(message, "v") < 0 || sd_bus_message_exit_container(message) < 0) return -1;
    }
    if (sd_bus_message_exit_container(message) < 0 || sd_bus_message_enter_container(message, 'a', "s") < 0) return -1;
    while (sd_bus_message_read(message, "s", &name) > 0)
        if (!strcmp(name, property)) return 0;
    return -1;
}

// logind: the session's LockedHint, and the idle inhibitors that
// `systemd-inhibit --what=idle` and the like take (BlockInhibited, a
// colon-separated list of what is inhibited).

bool holds_idle(const char* what) {
    return (std::string(":") + what + ":").find(":idle:") != std::string::npos;
}

int on_locked_hint(sd_bus_message* reply, void*, sd_bus_error*) {
    int locked = 0;
    if (from_owner(reply, b.logind) && read_variant(reply, 'b', &locked)) set_locked(locked);
    return 0;
}

void ask_locked_hint() {
    ask_property(b.logind, b.session_path.c_str(), "org.freedesktop.login1.Session", "LockedHint", on_locked_hint);
}

int on_block_inhibited(sd_bus_message* reply, void*, sd_bus_error*) {
    const char* what = nullptr;
    if (from_owner(reply, b.logind) && read_variant(reply, 's', &what)) set_idle_blocked(holds_idle(what));
    return 0;
}

void ask_block_inhibited() {
    ask_property(b.logind, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "BlockInhibited",
                 on_block_inhibited);
}

int on_session_properties(sd_bus_message* message, void*, sd_bus_error*) {
    int locked = 0;
    if (!from_owner(message, b.logind)) return 0;
    switch (changed_property(message, "org.freedesktop.login1.Session", "LockedHint", 'b', &locked)) {
    case 1: set_locked(locked); break;
    case 0: ask_locked_hint(); break;
    }
    return 0;
}

int on_manager_properties(sd_bus_message* message, void*, sd_bus_error*) {
    const char* what = nullptr;
    if (!from_owner(message, b.logind)) return 0;
    switch (changed_property(message, "org.freedesktop.login1.Manager", "BlockInhibited", 's', &what)) {
    case 1: set_idle_blocked(holds_idle(what)); break;
    case 0: ask_block_inhibited(); break;
    }
    return 0;
}

// logind's object for the session this user sees ("auto": ours, or the
// user's graphical one when the watcher runs as a user service).
int on_session_answer(sd_bus_message* reply, void*, sd_bus_error*) {
    b.logind_answered = true;
    const char* path = nullptr;
    if (!from_owner(reply, b.logind) || sd_bus_message_read(reply, "o", &path) < 0) {
        note("logind knows no session of ours");
        return 0;
    }
    int r = sd_bus_match_signal_async(b.system, nullptr, logind_name, path, "org.freedesktop.DBus.Properties",
                                      "PropertiesChanged", on_session_properties, nullptr, nullptr);
    if (r < 0) {
        note(std::string("cannot follow logind's session: ") + strerror(-r));
        return 0;
    }
    b.session_path = path;
    ask_locked_hint();
    note("following logind's session " + b.session_path);
    return 0;
}

void logind_changed() {
    // What the last logind said holds no more; a new one is asked.
    set_locked(false);
    set_idle_blocked(false);
    if (b.logind.owner.empty()) {
        note("no logind on the system bus");
        b.logind_answered = true;
        return;
    }
    ask_block_inhibited();
    if (!b.session_path.empty())
        ask_locked_hint();
    else if (!ask(b.logind, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "GetSession",
                  on_session_answer, "s", "auto"))
        b.logind_answered = true;
}

int on_lock_answer(sd_bus_message* reply, void*, sd_bus_error*) {
    if (const sd_bus_error* error = sd_bus_message_get_error(reply))
        warn(std::string("cannot lock the session: logind refused (") + error->message + "); the saver stays");
    else
        lock_granted();
    return 0;
}

int on_system_disconnected(sd_bus_message*, void*, sd_bus_error*) {
    note("the system bus went away: no logind");
    set_owner(&b.logind, "");
    return 0;
}

void open_system() {
    if (sd_bus_open_system(&b.system) < 0) {
        note("no system bus: no logind");
        b.system = nullptr;
        return;
    }
    attach(b.system, "the system bus", on_system_disconnected);
    check(sd_bus_match_signal_async(b.system, nullptr, logind_name, "/org/freedesktop/login1",
                                    "org.freedesktop.DBus.Properties", "PropertiesChanged", on_manager_properties,
                                    nullptr, nullptr),
          "follow logind's inhibitors");
    check(follow(&b.logind, b.system, logind_name, logind_changed), "follow logind");
}

// GNOME: its shell's screen shield (the lock screen), and its session
// manager's idle inhibitors.

int on_shield_answer(sd_bus_message* message, void*, sd_bus_error*) {
    int active = 0;
    if (from_owner(message, b.shell) && sd_bus_message_read(message, "b", &active) >= 0) set_shield(active);
    return 0;
}

void shell_changed() {
    set_shield(false);
    if (!b.shell.owner.empty())
        ask(b.shell, "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "GetActive", on_shield_answer, "");
}

int on_inhibited_answer(sd_bus_message* reply, void*, sd_bus_error*) {
    int inhibited = 0;
    if (from_owner(reply, b.session_manager) && sd_bus_message_read(reply, "b", &inhibited) >= 0)
        set_gnome_inhibited(inhibited);
    return 0;
}

void ask_gnome_inhibited() {
    ask(b.session_manager, "/org/gnome/SessionManager", "org.gnome.SessionManager", "IsInhibited", on_inhibited_answer,
        "u", inhibit_idle);
}

int on_inhibitors_changed(sd_bus_message* message, void*, sd_bus_error*) {
    if (from_owner(message, b.session_manager)) ask_gnome_inhibited();
    return 0;
}

void session_manager_changed() {
    set_gnome_inhibited(false);
    if (b.session_manager.owner.empty()) return;
    note("following GNOME's session inhibitors");
    ask_gnome_inhibited();
}

void follow_gnome() {
    check(sd_bus_match_signal_async(b.session, nullptr, "org.gnome.ScreenSaver", "/org/gnome/ScreenSaver",
                                    "org.gnome.ScreenSaver", "ActiveChanged", on_shield_answer, nullptr, nullptr),
          "follow GNOME's screen shield");
    check(follow(&b.shell, b.session, "org.gnome.ScreenSaver", shell_changed), "follow GNOME's screen shield");
    for (const char* member : {"InhibitorAdded", "InhibitorRemoved"})
        check(sd_bus_match_signal_async(b.session, nullptr, "org.gnome.SessionManager", "/org/gnome/SessionManager",
                                        "org.gnome.SessionManager", member, on_inhibitors_changed, nullptr, nullptr),
              "follow GNOME's session inhibitors");
    check(follow(&b.session_manager, b.session, "org.gnome.SessionManager", session_manager_changed),
          "follow GNOME's session manager");
}

// One watcher per session: a second one would start a saver of its own.

[[noreturn]] void another_watcher(uint32_t pid) {
    fail(std::string("another orrelune-idle") + (pid ? " (pid " + std::to_string(pid) + ")" : "") +
             " already watches this session",
         EXIT_ANOTHER_WATCHER);
}

int on_other_watcher(sd_bus_message* reply, void*, sd_bus_error*) {
    uint32_t pid = 0;
    if (sd_bus_message_is_method_error(reply, nullptr) || sd_bus_message_read(reply, "u", &pid) < 0) pid = 0;
    another_watcher(pid);
}

int on_instance_answer(sd_bus_message* reply, void*, sd_bus_error*) {
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    uint32_t answer = 0;
    if (error || sd_bus_message_read(reply, "u", &answer) < 0)
        fail(std::string("cannot ask the session bus for ") + instance_name + ": " +
             (error ? error->message : "a bad answer"));
    if (answer == 1) {  // the primary owner
        b.instance_answered = true;
        return 0;
    }
    int r = sd_bus_call_method_async(b.session, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                     "org.freedesktop.DBus", "GetConnectionUnixProcessID", on_other_watcher, nullptr,
                                     "s", instance_name);
    if (r < 0) another_watcher(0);
    return 0;
}

int on_session_disconnected(sd_bus_message*, void*, sd_bus_error*) {
    session_lost("the session bus went away");
    return 0;
}

void open_session() {
    if (sd_bus_open_user(&b.session) < 0) {
        b.session = nullptr;  // the entry says so
        return;
    }
    attach(b.session, "the session bus", on_session_disconnected);
    check(sd_bus_request_name_async(b.session, nullptr, instance_name, 0, on_instance_answer, nullptr),
          std::string("ask the session bus for ") + instance_name);
}

// Runs the loop until the start's answers are in or the deadline passes; a
// signal that ends the watcher meanwhile ends it here.
void settle(uint64_t deadline) {
    for (;;) {
        bool waiting = (b.session && !b.instance_answered) || (b.system && !b.logind_answered);
        uint64_t now = now_usec();
        if (!waiting || now >= deadline) return;
        check(sd_event_run(b.event, deadline - now), "run the event loop");
        int code = 0;
        if (sd_event_get_exit_code(b.event, &code) >= 0) exit(code);
    }
}

}  // namespace

sd_bus* bus_start(sd_event* event) {
    b.event = event;
    uint64_t deadline = now_usec() + start_seconds * 1000000ULL;
    open_system();
    open_session();
    settle(deadline);
    std::string waited = " (waited " + std::to_string(start_seconds) + " s)";
    if (b.session && !b.instance_answered) fail("the session bus does not answer" + waited);
    if (b.system && !b.logind_answered) {
        warn("the system bus does not answer" + waited + ": logind's lock and inhibitors are not followed");
        b.system = sd_bus_close_unref(b.system);
    }
    if (b.session) {
        std::string why;
        if (!serve_inhibits(b.session, &why)) fail(why);
        follow_gnome();
    }
    return b.session;
}

bool saver_held() {
    return inhibits_held() || b.locked || b.idle_blocked || b.shield || b.gnome_inhibited;
}

bool lock_session() {
    if (!b.system || b.session_path.empty() || b.logind.owner.empty()) return false;
    return sd_bus_call_method_async(b.system, nullptr, b.logind.owner.c_str(), b.session_path.c_str(),
                                    "org.freedesktop.login1.Session", "Lock", on_lock_answer, nullptr, "") >= 0;
}

bool lock_possible() {
    return !b.session_path.empty();
}
