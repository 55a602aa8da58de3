// org.freedesktop.ScreenSaver's inhibits, for desktops that have no service
// of their own (sway, X11 window managers). The name is asked for so that
// it never stands in a desktop's way: a program that asks to replace the
// owner gets it, and the watcher, queued behind whoever owns it, gets it
// (back) when that program leaves. KDE Plasma's screen locker asks for the
// name without replacing an owner and gives up when it is taken, so in a
// Plasma session the watcher never asks; Plasma's inhibits reach it through
// the compositor's idle protocol.
//
// Each client's inhibits are its own: a cookie is random and releases only
// an inhibit of the client that took it, a client holds a bounded number,
// and all of them go in one step when it leaves the bus.
#include "inhibits.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "watcher.h"

namespace {

const char* const service_name = "org.freedesktop.ScreenSaver";

struct Client {
    std::vector<uint32_t> cookies;  // never empty: a client without inhibits is forgotten
};

struct Service {
    sd_bus* bus = nullptr;
    bool serving = false;
    sd_bus_slot* objects[2] = {};
    std::unordered_map<std::string, Client> clients;  // by unique name
} s;

// A cookie no other inhibit of the client has, and that nobody can work out.
bool new_cookie(const Client& client, uint32_t* cookie) {
    do {
        if (getrandom(cookie, sizeof *cookie, 0) != sizeof *cookie) return false;
    } while (*cookie == 0 || std::count(client.cookies.begin(), client.cookies.end(), *cookie));
    return true;
}

void forget_client(const std::string& name, const char* why) {
    auto found = s.clients.find(name);
    if (found == s.clients.end()) return;
    size_t count = found->second.cookies.size();
    s.clients.erase(found);
    note(std::to_string(count) + (count == 1 ? " inhibit" : " inhibits") + " of " + name + " went (" + why + "); " +
         std::to_string(s.clients.size()) + " other clients hold inhibits");
    holds_changed();
}

int on_inhibit(sd_bus_message* message, void*, sd_bus_error*) {
    const char *application = nullptr, *reason = nullptr;
    int r = sd_bus_message_read(message, "ss", &application, &reason);
    if (r < 0) return r;
    const char* sender = sd_bus_message_get_sender(message);
    if (!sender) return sd_bus_reply_method_errorf(message, SD_BUS_ERROR_ACCESS_DENIED, "an inhibit needs a caller");
    auto found = s.clients.find(sender);
    if (found != s.clients.end() && found->second.cookies.size() >= max_inhibits_per_client)
        return sd_bus_reply_method_errorf(message, SD_BUS_ERROR_LIMITS_EXCEEDED, "a client holds at most %u inhibits",
                                          max_inhibits_per_client);
    uint32_t cookie = 0;
    if (!new_cookie(found != s.clients.end() ? found->second : Client{}, &cookie))
        return sd_bus_reply_method_errorf(message, SD_BUS_ERROR_FAILED, "no random cookie: %s", strerror(errno));
    s.clients[sender].cookies.push_back(cookie);
    note(std::string("inhibited by ") + application + " (" + sender + "): " + reason);
    return sd_bus_reply_method_return(message, "u", cookie);
}

int on_uninhibit(sd_bus_message* message, void*, sd_bus_error*) {
    uint32_t cookie = 0;
    int r = sd_bus_message_read(message, "u", &cookie);
    if (r < 0) return r;
    const char* sender = sd_bus_message_get_sender(message);
    auto found = sender ? s.clients.find(sender) : s.clients.end();
    if (found != s.clients.end()) {
        auto& cookies = found->second.cookies;
        auto at = std::find(cookies.begin(), cookies.end(), cookie);
        if (at != cookies.end()) {
            cookies.erase(at);
            r = sd_bus_reply_method_return(message, "");
            if (cookies.empty()) {
                forget_client(sender, "its last UnInhibit");
            } else {
                note("an inhibit of " + std::string(sender) + " went");
            }
            return r;
        }
    }
    return sd_bus_reply_method_errorf(message, SD_BUS_ERROR_INVALID_ARGS, "the caller holds no inhibit with cookie %u",
                                      cookie);
}

int on_get_active(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "b", saver_running());
}

const sd_bus_vtable service_vtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD_WITH_ARGS("Inhibit", SD_BUS_ARGS("s", application_name, "s", reason_for_inhibit),
                            SD_BUS_RESULT("u", cookie), on_inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("UnInhibit", SD_BUS_ARGS("u", cookie), SD_BUS_NO_RESULT, on_uninhibit,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("GetActive", SD_BUS_NO_ARGS, SD_BUS_RESULT("b", active), on_get_active,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

void start_serving() {
    if (s.serving) return;
    // Where KDE serves it, and where the freedesktop draft does.
    const char* const paths[] = {"/org/freedesktop/ScreenSaver", "/ScreenSaver"};
    for (int i = 0; i < 2; ++i) {
        int r = sd_bus_add_object_vtable(s.bus, &s.objects[i], paths[i], service_name, service_vtable, nullptr);
        if (r < 0) {
            session_lost(std::string("cannot serve ") + service_name + ": " + strerror(-r));
            return;
        }
    }
    s.serving = true;
    note(std::string("serving ") + service_name);
}

// Another program has the name now: its inhibits are its own, and those
// taken from the watcher could no longer be released through the name.
void stop_serving() {
    if (!s.serving) return;
    for (auto& object : s.objects) object = sd_bus_slot_unref(object);
    s.serving = false;
    size_t clients = s.clients.size();
    s.clients.clear();
    note(std::string("another program serves ") + service_name + " now; the inhibits of " + std::to_string(clients) +
         " clients went with the name");
    holds_changed();
}

const char* name_in(sd_bus_message* message) {
    const char* name = nullptr;
    return sd_bus_message_read(message, "s", &name) >= 0 ? name : "";
}

int on_name_acquired(sd_bus_message* message, void*, sd_bus_error*) {
    if (!strcmp(name_in(message), service_name)) start_serving();
    return 0;
}

int on_name_lost(sd_bus_message* message, void*, sd_bus_error*) {
    if (!strcmp(name_in(message), service_name)) stop_serving();
    return 0;
}

int on_request_answer(sd_bus_message* reply, void*, sd_bus_error*) {
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    uint32_t answer = 0;
    if (error || sd_bus_message_read(reply, "u", &answer) < 0) {
        warn(std::string("cannot ask for ") + service_name + ": " + (error ? error->message : "a bad answer"));
        return 0;
    }
    if (answer == 1)  // the primary owner
        start_serving();
    else
        note(std::string(service_name) + " is served by another program; the watcher serves it if that program leaves");
    return 0;
}

int on_owner_changed(sd_bus_message* message, void*, sd_bus_error*) {
    const char *name = nullptr, *old_owner = nullptr, *new_owner = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &old_owner, &new_owner) < 0) return 0;
    if (name[0] == ':' && !*new_owner) forget_client(name, "it left the bus");
    return 0;
}

// XDG_CURRENT_DESKTOP is a colon-separated list of names.
bool plasma_session() {
    const char* desktops = getenv("XDG_CURRENT_DESKTOP");
    std::string list = std::string(":") + (desktops ? desktops : "") + ":";
    return list.find(":KDE:") != std::string::npos;
}

}  // namespace

bool serve_inhibits(sd_bus* session, std::string* why) {
    s.bus = session;
    if (plasma_session()) {
        note(std::string("KDE Plasma serves ") + service_name + "; the watcher leaves it alone");
        return true;
    }
    // Each request below reaches the bus after the matches before it, so no
    // client leaves unseen and the name's signals are not missed.
    struct {
        int r;
        const char* what;
    } steps[] = {
        {sd_bus_match_signal_async(session, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "NameOwnerChanged", on_owner_changed, nullptr, nullptr),
         "follow the clients"},
        {sd_bus_match_signal_async(session, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "NameAcquired", on_name_acquired, nullptr, nullptr),
         "follow the name"},
        {sd_bus_match_signal_async(session, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "NameLost", on_name_lost, nullptr, nullptr),
         "follow the name"},
        {sd_bus_request_name_async(session, nullptr, service_name, SD_BUS_NAME_ALLOW_REPLACEMENT | SD_BUS_NAME_QUEUE,
                                   on_request_answer, nullptr),
         "ask for the name"},
    };
    for (const auto& step : steps)
        if (step.r < 0) {
            *why = std::string("cannot ") + step.what + " of " + service_name + ": " + strerror(-step.r);
            return false;
        }
    return true;
}

bool inhibits_held() {
    return !s.clients.empty();
}
