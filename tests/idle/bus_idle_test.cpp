// The watcher on the buses: one per session, org.freedesktop.ScreenSaver
// served only while no other program wants it, each client's inhibits its
// own, and the holds of logind and GNOME believed from their owners alone,
// followed as those come and go, and never waited on. On a private Xvfb (the
// idle source) with a private session bus; logind and GNOME's session
// manager are python3-dbusmock's stand-ins, logind on a private system bus
// (the IdleMocked tests, which their own CTest entry skips without it).
#include <signal.h>
#include <stdarg.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "idle_fixture.h"
#include "inhibits.h"

namespace {

const char* const screensaver = "org.freedesktop.ScreenSaver";
const char* const screensaver_path = "/org/freedesktop/ScreenSaver";
const uint32_t replace_existing = 2, do_not_queue = 4;  // RequestName's flags

// RequestName's answer (1: the primary owner, 3: owned by another), or
// -errno when the call failed.
int request_name(sd_bus* bus, const char* name, uint32_t flags) {
    sd_bus_message* reply = nullptr;
    uint32_t answer = 0;
    int r = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "RequestName", nullptr, &reply, "su", name, flags);
    if (r >= 0) r = sd_bus_message_read(reply, "u", &answer);
    sd_bus_message_unref(reply);
    return r < 0 ? r : (int)answer;
}

// The process that owns `name`; 0 when nobody does.
uint32_t owner_pid(sd_bus* bus, const char* name) {
    sd_bus_message* reply = nullptr;
    uint32_t pid = 0;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "GetConnectionUnixProcessID", nullptr, &reply, "s", name) >= 0)
        sd_bus_message_read(reply, "u", &pid);
    sd_bus_message_unref(reply);
    return pid;
}

// A method call's error name; empty when it succeeded. Reads a "u" answer
// into *answer where one is given.
std::string call(sd_bus* bus, const char* destination, const char* path, const char* interface, const char* method,
                 uint32_t* answer, const char* types, ...) {
    sd_bus_message *message = nullptr, *reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    va_list args;
    va_start(args, types);
    int r = sd_bus_message_new_method_call(bus, &message, destination, path, interface, method);
    if (r >= 0) r = sd_bus_message_appendv(message, types, args);
    va_end(args);
    if (r >= 0) r = sd_bus_call(bus, message, 0, &error, &reply);
    if (r >= 0 && answer) r = sd_bus_message_read(reply, "u", answer);
    std::string name = r >= 0 ? "" : error.name ? error.name : "failed: " + std::string(strerror(-r));
    sd_bus_error_free(&error);
    sd_bus_message_unref(message);
    sd_bus_message_unref(reply);
    return name;
}

std::string inhibit(sd_bus* bus, uint32_t* cookie) {
    return call(bus, screensaver, screensaver_path, screensaver, "Inhibit", cookie, "ss", "a player", "a video plays");
}
std::string uninhibit(sd_bus* bus, uint32_t cookie) {
    return call(bus, screensaver, screensaver_path, screensaver, "UnInhibit", nullptr, "u", cookie);
}

class IdleBus : public IdleFixture {
protected:
    void SetUp() override {
        IdleFixture::SetUp();
        server = start_xserver(320, 240);
        bus = start_session_bus(scratch, scratch.dir + "/bus");
        client = connect_bus(bus.address);
    }
    void TearDown() override {
        for (sd_bus* connection : {client, other})
            if (connection) sd_bus_flush_close_unref(connection);
        kill_child(&second);
        kill_child(&mock);
        end_recorded(scratch, "held");
        IdleFixture::TearDown();
        stop_session_bus(&system_bus);
        stop_xserver(&server);
    }
    // The watcher's environment: this X server, the private buses (a system
    // bus only where a test started one), no compositor and no desktop;
    // `changes` after that.
    std::vector<std::string> watcher_env(const std::vector<std::string>& changes = {}) {
        std::vector<std::string> env = {
            "WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "XDG_RUNTIME_DIR=" + scratch.dir,
            "DBUS_SESSION_BUS_ADDRESS=" + bus.address,
            "DBUS_SYSTEM_BUS_ADDRESS=" + (system_bus.address.empty() ? "unix:path=/nonexistent" : system_bus.address)};
        env.insert(env.end(), changes.begin(), changes.end());
        return env;
    }
    void start_watcher(const std::vector<std::string>& args, const std::vector<std::string>& changes = {}) {
        IdleFixture::start_watcher(args, watcher_env(changes));
    }
    // Ends the watcher and its saver, for the next case of a table.
    void end_watcher() {
        kill_child(&watcher);
        end_recorded(scratch, "saver");
        remove((scratch.dir + "/saver").c_str());
    }
    // Once the X source runs, the watcher has sent the bus every request of
    // its start.
    bool wait_for_start() { return wait_for_stderr(watcher, "watching the X server's idle time", 30000); }
    // Returns once the watcher has handled what `from` sent it before.
    void sync_with_watcher(sd_bus* from) {
        ASSERT_EQ(call(from, "org.orrelune.Idle", "/", "org.freedesktop.DBus.Peer", "Ping", nullptr, ""), "");
    }
    // Input, and the watcher idle again but held off: no saver starts.
    void expect_held_off() {
        ASSERT_TRUE(xdotool("key shift"));
        ASSERT_TRUE(wait_for_stderr(watcher, "idle, but held off", 30000)) << read_stderr(watcher);
        EXPECT_EQ(starts(), 1u);
    }

    XServer server;
    SessionBus system_bus;
    sd_bus *client = nullptr, *other = nullptr;
    Child second, mock;
};

TEST_F(IdleBus, ASecondWatcherInTheSessionSaysSoAndExits) {
    start_watcher({"--timeout", "1"});
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    second = spawn({IDLE_PATH, "--timeout", "1", "--command", recording_command(scratch, "saver")}, watcher_env());
    EXPECT_EQ(wait_exit(&second, 30000), 3);  // as documented
    std::string said = read_stderr(second);
    EXPECT_EQ(said, "orrelune-idle: another orrelune-idle (pid " + std::to_string(watcher.pid) +
                        ") already watches this session\n");
    EXPECT_EQ(starts(), 1u);
    EXPECT_TRUE(still_running(watcher));
}

// KDE Plasma's screen locker asks for the name without replacing its owner,
// and gives up when it is taken.
TEST_F(IdleBus, PlasmasRequestForTheNameMadeAfterTheWatchersGetsIt) {
    start_watcher({"--timeout", "600"}, {"XDG_CURRENT_DESKTOP=KDE"});
    ASSERT_TRUE(wait_for_start()) << read_stderr(watcher);
    sync_with_watcher(client);
    EXPECT_EQ(request_name(client, screensaver, do_not_queue), 1) << read_stderr(watcher);
}

// Another program has the name, from before the watcher or by replacing it:
// when it leaves, the watcher serves the name (again).
TEST_F(IdleBus, TheWatcherServesTheNameWhenTheProgramThatHadItLeaves) {
    struct Case {
        const char* what;
        bool before_the_watcher;
        uint32_t flags;
    } cases[] = {
        {"it had the name first", true, do_not_queue},
        {"it asked to replace the watcher", false, do_not_queue | replace_existing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        other = connect_bus(bus.address);
        if (c.before_the_watcher) {
            ASSERT_EQ(request_name(other, screensaver, c.flags), 1);
        }
        start_watcher({"--timeout", "600"});
        ASSERT_TRUE(wait_for_start()) << read_stderr(watcher);
        if (!c.before_the_watcher) {
            ASSERT_TRUE(wait_until([&] { return owner_pid(client, screensaver) == (uint32_t)watcher.pid; }, 30000));
            ASSERT_EQ(request_name(other, screensaver, c.flags), 1) << read_stderr(watcher);
        }
        sync_with_watcher(client);
        EXPECT_EQ(owner_pid(client, screensaver), (uint32_t)getpid());
        other = sd_bus_flush_close_unref(other);
        EXPECT_TRUE(wait_until([&] { return owner_pid(client, screensaver) == (uint32_t)watcher.pid; }, 30000))
            << read_stderr(watcher);
        uint32_t cookie = 0;
        EXPECT_EQ(inhibit(client, &cookie), "");
        end_watcher();
    }
}

// The same with KDE's own: KWin 5.27, which runs Plasma's screen locker on
// Wayland, started after the watcher in a Plasma session.
TEST_F(IdleBus, KWinsScreenLockerGetsTheNameAfterTheWatcher) {
    start_watcher({"--timeout", "600"}, {"XDG_CURRENT_DESKTOP=KDE"});
    ASSERT_TRUE(wait_for_start()) << read_stderr(watcher);
    sync_with_watcher(client);
    // A plain copy: the installed binary carries a file capability.
    std::string kwin = scratch.dir + "/kwin_wayland", runtime = scratch.dir + "/runtime";
    std::filesystem::copy_file("/usr/bin/kwin_wayland", kwin);
    mkdir(runtime.c_str(), 0700);
    second =
        spawn({kwin, "--virtual", "--width", "640", "--height", "480", "--socket", "orrelune-kwin",
               "--no-global-shortcuts", "--no-kactivities"},
              {"XDG_RUNTIME_DIR=" + runtime, "WAYLAND_DISPLAY", "DISPLAY", "DBUS_SESSION_BUS_ADDRESS=" + bus.address,
               "HOME=" + scratch.dir, "KWIN_COMPOSE=Q", "QT_QPA_PLATFORM", "XDG_CURRENT_DESKTOP=KDE"});
    EXPECT_TRUE(wait_until([&] { return owner_pid(client, screensaver) == (uint32_t)second.pid; }, 60000))
        << read_stderr(second);
}

// A cookie is random and releases only an inhibit of the client that took
// it; one client holds a bounded number, and its leaving drops them all.
TEST_F(IdleBus, EachClientsInhibitsAreItsOwnAndBounded) {
    start_watcher({"--timeout", "1"});
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    ASSERT_TRUE(wait_until([&] { return owner_pid(client, screensaver) == (uint32_t)watcher.pid; }, 30000));
    sd_bus* first = connect_bus(bus.address);
    other = connect_bus(bus.address);
    std::vector<uint32_t> cookies(max_inhibits_per_client);
    for (auto& cookie : cookies) ASSERT_EQ(inhibit(first, &cookie), "");
    uint32_t refused = 0;
    EXPECT_EQ(inhibit(first, &refused), "org.freedesktop.DBus.Error.LimitsExceeded");
    EXPECT_EQ(std::set<uint32_t>(cookies.begin(), cookies.end()).size(), cookies.size());
    size_t counted = 0;  // cookies that follow the one before
    for (size_t i = 1; i < cookies.size(); ++i) counted += cookies[i] == cookies[i - 1] + 1;
    EXPECT_EQ(counted, 0u);

    uint32_t theirs = 0;
    ASSERT_EQ(inhibit(other, &theirs), "");
    uint32_t unknown = 1;
    while (unknown == theirs || std::count(cookies.begin(), cookies.end(), unknown)) ++unknown;
    struct Case {
        const char* what;
        sd_bus* caller;
        uint32_t cookie;
        std::string error;
    } cases[] = {
        {"another client's cookie", other, cookies[0], "org.freedesktop.DBus.Error.InvalidArgs"},
        {"a cookie never handed out", other, unknown, "org.freedesktop.DBus.Error.InvalidArgs"},
        {"its own cookie", first, cookies[0], ""},
        {"its own cookie again", first, cookies[0], "org.freedesktop.DBus.Error.InvalidArgs"},
    };
    for (const auto& c : cases) EXPECT_EQ(uninhibit(c.caller, c.cookie), c.error) << c.what;

    expect_held_off();
    sd_bus_flush_close_unref(first);  // with the rest of its inhibits
    ASSERT_EQ(uninhibit(other, theirs), "");
    EXPECT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
}

// GNOME's shell says whether its screen shield (the lock screen) is up; a
// program that does not own its name is not believed, and what the owner
// said goes with it.
TEST_F(IdleBus, TheShieldIsBelievedFromItsOwnerAloneAndForgottenWhenItGoes) {
    start_watcher({"--timeout", "1"});
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    auto shield_up = [](sd_bus* from) {
        return sd_bus_emit_signal(from, "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "ActiveChanged", "b", 1);
    };
    ASSERT_GE(shield_up(client), 0);
    sync_with_watcher(client);
    EXPECT_EQ(read_stderr(watcher).find("shield is up"), std::string::npos);
    EXPECT_TRUE(alive(saver(0)));

    other = connect_bus(bus.address);
    ASSERT_EQ(request_name(other, "org.gnome.ScreenSaver", do_not_queue), 1);
    ASSERT_GE(shield_up(other), 0);
    ASSERT_GE(sd_bus_flush(other), 0);
    EXPECT_TRUE(wait_ended(saver(0))) << read_stderr(watcher);
    expect_held_off();
    other = sd_bus_flush_close_unref(other);
    EXPECT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
}

// A peer that owns its name and never answers holds nothing up: the saver
// starts a timeout after idleness and ends on input as usual. (Waiting on it
// took 25 s a call, three calls before the first saver.)
TEST_F(IdleBus, APeerThatNeverAnswersHoldsNothingUp) {
    other = connect_bus(bus.address);
    for (const char* name : {"org.gnome.SessionManager", "org.gnome.ScreenSaver"})
        ASSERT_EQ(request_name(other, name, do_not_queue), 1);
    start_watcher({"--timeout", "1"});
    EXPECT_TRUE(wait_until([&] { return starts() == 1; }, 40000)) << read_stderr(watcher);
    ASSERT_GE(sd_bus_emit_signal(other, "/org/gnome/SessionManager", "org.gnome.SessionManager", "InhibitorAdded", "o",
                                 "/org/gnome/SessionManager/Inhibitor1"),
              0);
    ASSERT_GE(sd_bus_flush(other), 0);
    ASSERT_TRUE(xdotool("key shift"));
    EXPECT_TRUE(wait_until([&] { return starts() == 2; }, 40000)) << read_stderr(watcher);
}

// A bus that accepts the connection and never answers: the session bus ends
// the start within the bound, with one line; without logind's the watcher
// runs on.
TEST_F(IdleBus, ASilentBusBoundsTheStart) {
    std::string path = scratch.dir + "/silent";
    int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listener, (sockaddr*)&address, sizeof address), 0);
    ASSERT_EQ(listen(listener, 16), 0);
    std::string silent = "unix:path=" + path;

    start_watcher({"--timeout", "1"}, {"DBUS_SESSION_BUS_ADDRESS=" + silent});
    EXPECT_EQ(wait_exit(&watcher, 30000), 1);
    std::string said = read_stderr(watcher);
    EXPECT_NE(said.find("orrelune-idle: the session bus does not answer (waited 10 s)\n"), std::string::npos) << said;
    EXPECT_EQ(said.find("served by another program"), std::string::npos) << said;

    start_watcher({"--timeout", "1"}, {"DBUS_SYSTEM_BUS_ADDRESS=" + silent});
    EXPECT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    EXPECT_NE(read_stderr(watcher).find("the system bus does not answer (waited 10 s)"), std::string::npos);
    close(listener);
}

// With python3-dbusmock's logind on a private system bus, and its GNOME
// session manager.
class IdleMocked : public IdleBus {
protected:
    void start_system_bus() {
        system_bus = start_session_bus(scratch, scratch.dir + "/system");
        system_client = connect_bus(system_bus.address);
    }
    void TearDown() override {
        if (system_client) sd_bus_flush_close_unref(system_client);
        IdleBus::TearDown();
    }
    // The stand-in of `template_name`, once it owns `name` on `on`.
    void start_mock(const std::string& template_name, sd_bus* on, const char* name) {
        mock = spawn({"/usr/bin/python3", "-m", "dbusmock", "--template", MOCKS_DIR "/" + template_name, "-l",
                      scratch.dir + "/" + template_name + ".log"},
                     {"DBUS_SESSION_BUS_ADDRESS=" + bus.address, "DBUS_SYSTEM_BUS_ADDRESS=" + system_bus.address});
        ASSERT_TRUE(wait_for_name(on, name, 30000)) << read_stderr(mock);
    }

    sd_bus* system_client = nullptr;
};

// `systemd-inhibit --what=idle` holds the saver off until it ends, or until
// logind, which holds it, goes.
TEST_F(IdleMocked, LogindsIdleInhibitorsHoldTheSaverOff) {
    start_system_bus();
    for (bool logind_goes : {false, true}) {
        SCOPED_TRACE(logind_goes ? "logind goes" : "the inhibitor ends");
        if (!mock.pid) start_mock("logind.py", system_client, "org.freedesktop.login1");
        start_watcher({"--timeout", "1"});
        ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
        recording_command(scratch, "held");
        Child inhibitor = spawn({"/usr/bin/systemd-inhibit", "--what=idle", "--who=a player", "--why=a video plays",
                                 "sh", scratch.dir + "/held.sh"},
                                {"DBUS_SYSTEM_BUS_ADDRESS=" + system_bus.address});
        ASSERT_TRUE(wait_for_stderr(watcher, "logind holds an idle inhibitor", 30000)) << read_stderr(watcher);
        expect_held_off();
        if (logind_goes)
            kill_child(&mock);
        else
            end_recorded(scratch, "held");
        EXPECT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
        end_recorded(scratch, "held");
        EXPECT_GE(wait_exit(&inhibitor, 30000), 0);
        end_watcher();
    }
}

TEST_F(IdleMocked, ALockedSessionEndsTheSaverAndHoldsTheNextOff) {
    start_system_bus();
    start_mock("logind.py", system_client, "org.freedesktop.login1");
    start_watcher({"--timeout", "1"});
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    auto set_locked_hint = [&](bool locked) {
        return call(system_client, "org.freedesktop.login1", "/org/freedesktop/login1/session/auto",
                    "org.freedesktop.login1.Session", "SetLockedHint", nullptr, "b", (int)locked);
    };
    ASSERT_EQ(set_locked_hint(true), "");
    EXPECT_TRUE(wait_ended(saver(0))) << read_stderr(watcher);
    expect_held_off();
    ASSERT_EQ(set_locked_hint(false), "");
    EXPECT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
}

// A session manager that comes after the watcher is followed: its idle
// inhibitor holds the saver off until it is released or the manager goes.
TEST_F(IdleMocked, AGnomeSessionManagerThatComesLaterIsFollowed) {
    for (bool manager_goes : {false, true}) {
        SCOPED_TRACE(manager_goes ? "the manager goes" : "Uninhibit");
        start_watcher({"--timeout", "1"});
        ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
        start_mock("gnome_session.py", client, "org.gnome.SessionManager");
        uint32_t cookie = 0;
        ASSERT_EQ(call(client, "org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
                       "Inhibit", &cookie, "susu", "a player", 0u, "a video plays", 8u),
                  "");
        ASSERT_TRUE(wait_for_stderr(watcher, "GNOME's session manager holds an idle inhibitor", 30000))
            << read_stderr(watcher);
        expect_held_off();
        if (manager_goes)
            kill_child(&mock);
        else
            ASSERT_EQ(call(client, "org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
                           "Uninhibit", nullptr, "u", cookie),
                      "");
        EXPECT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
        kill_child(&mock);
        end_watcher();
    }
}

}  // namespace
