// The watcher on a private Xvfb (MIT-SCREEN-SAVER, XTest input through
// xdotool), with a private session bus where a test needs one.
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "idle_fixture.h"

#include <X11/extensions/scrnsaver.h>

namespace {

class IdleX11 : public IdleFixture {
protected:
    void SetUp() override {
        IdleFixture::SetUp();
        server = start_xserver(320, 240);
    }
    void TearDown() override {
        if (client) sd_bus_flush_close_unref(client);
        IdleFixture::TearDown();
        stop_xserver(&server);
    }
    // On this X server only: no compositor, and a session bus only when the
    // test started one.
    void start_watcher(const std::vector<std::string>& args, bool saver_stays = true) {
        IdleFixture::start_watcher(
            args,
            {"WAYLAND_DISPLAY", "XDG_RUNTIME_DIR=" + scratch.dir,
             bus.address.empty() ? "DBUS_SESSION_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS=" + bus.address},
            saver_stays);
    }
    void with_bus() {
        bus = start_session_bus(scratch, scratch.dir + "/bus");
        client = connect_bus(bus.address);
    }

    XServer server;
    sd_bus* client = nullptr;
};

TEST_F(IdleX11, StartsOnIdleEndsOnInputAndStartsOnTheNextIdle) {
    start_watcher({"--timeout", "1"});
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    ASSERT_TRUE(alive(saver(0)));
    ASSERT_TRUE(xdotool("key shift"));
    EXPECT_TRUE(wait_ended(saver(0))) << read_stderr(watcher);
    ASSERT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
    EXPECT_TRUE(alive(saver(1)));
    EXPECT_NE(read_stderr(watcher).find("no session bus"), std::string::npos);
}

// A client that sets the server's idle time back (a video player calling
// XResetScreenSaver) counts as the user: the saver ends, and the next one
// comes a whole timeout after the reset, never in the same instant.
TEST_F(IdleX11, AResetOfTheServersIdleTimeEndsTheSaver) {
    start_watcher({"--timeout", "4"});
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    double reset = uptime_seconds();
    XResetScreenSaver(display);
    XSync(display, False);
    EXPECT_TRUE(wait_until([&] { return !alive(saver(0)); }, 60000)) << read_stderr(watcher);
    double ended = uptime_seconds();
    ASSERT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
    double started = recorded_times(scratch, "saver").at(1) + 0.01;  // the record is in hundredths
    EXPECT_GE(started, reset + 4) << read_stderr(watcher);
    EXPECT_GE(started - ended, 1.0) << "ended and started again at once: " << read_stderr(watcher);
    XCloseDisplay(display);
}

// The return is seen at once while another client (as the saver does)
// holds the keyboard and the pointer.
TEST_F(IdleX11, SeesTheReturnThroughAnotherClientsGrab) {
    start_watcher({"--timeout", "1"});
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    Window root = DefaultRootWindow(display);
    ASSERT_EQ(XGrabKeyboard(display, root, False, GrabModeAsync, GrabModeAsync, CurrentTime), GrabSuccess);
    ASSERT_EQ(XGrabPointer(display, root, False, ButtonPressMask | PointerMotionMask, GrabModeAsync, GrabModeAsync,
                           None, None, CurrentTime),
              GrabSuccess);
    XSync(display, False);
    double pressed = uptime_seconds();
    ASSERT_TRUE(xdotool("key shift"));
    ASSERT_TRUE(wait_ended(saver(0))) << read_stderr(watcher);
    // The server's alarm comes at once; a slow machine gets room.
    EXPECT_LT(uptime_seconds() - pressed, 15.0) << read_stderr(watcher);
    XCloseDisplay(display);
}

// A client's XScreenSaverSuspend holds the saver off where the X server's
// own saver has a timeout (here 1 s, showing nothing): it shows as that
// saver staying off when its time has come. With the server's saver off
// (xset s off, as the README suggests) nothing is held.
TEST_F(IdleX11, AClientsSuspensionHoldsTheSaverOff) {
    Display* display = XOpenDisplay(server.name.c_str());
    Display* player = XOpenDisplay(server.name.c_str());
    ASSERT_TRUE(display && player);
    for (bool suspend : {true, false}) {
        SCOPED_TRACE(suspend ? "suspended" : "xset s off");
        forget_recorded(scratch, "saver");
        XSetScreenSaver(display, suspend ? 1 : 0, 0, DontPreferBlanking, DontAllowExposures);
        XSync(display, False);
        if (suspend) {
            XScreenSaverSuspend(player, True);
            XSync(player, False);
        }
        start_watcher({"--timeout", "2"});
        if (suspend) {
            ASSERT_TRUE(wait_for_stderr(watcher, "a client suspends the X server's saver", 30000))
                << read_stderr(watcher);
            EXPECT_EQ(starts(), 0u);
            XScreenSaverSuspend(player, False);
            XSync(player, False);
        }
        EXPECT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
        kill_child(&watcher);
        end_recorded(scratch, "saver");
    }
    XCloseDisplay(player);
    XCloseDisplay(display);
}

TEST_F(IdleX11, ASaverThatEndsByItselfWaitsForTheNextIdlePeriod) {
    start_watcher({"--timeout", "1"}, false);
    ASSERT_TRUE(wait_for_stderr(watcher, "the saver exited with 0", 20000)) << read_stderr(watcher);
    // Anything that restarts it would do so in the same turn of the loop, or
    // at the next look at the idle time, before the signal is handled.
    kill(watcher.pid, SIGTERM);
    EXPECT_EQ(wait_exit(&watcher, 20000), 0);
    EXPECT_EQ(starts(), 1u);
}

TEST_F(IdleX11, EndsItsSaverWhenItEnds) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        remove((scratch.dir + "/saver").c_str());
        start_watcher({"--timeout", "1"});
        ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
        kill(watcher.pid, sig);
        EXPECT_EQ(wait_exit(&watcher, 20000), 0) << strsignal(sig);
        EXPECT_TRUE(wait_ended(saver(0))) << strsignal(sig);
    }
    // The display going away ends the session.
    remove((scratch.dir + "/saver").c_str());
    start_watcher({"--timeout", "1"});
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    stop_xserver(&server);
    EXPECT_EQ(wait_exit(&watcher, 20000), 1);
    EXPECT_TRUE(wait_ended(saver(0)));
    EXPECT_NE(read_stderr(watcher).find("the X display went away"), std::string::npos) << read_stderr(watcher);
}

// mpv playing a video on X11 suspends the server's saver and sets the idle
// time back every 10 s or so. Where the server's saver has a timeout (here
// 1 s, showing nothing) the suspension holds the saver off for the whole
// playback; with the server's saver off (xset s off) the resets alone are
// seen: each ends the saver, and the next comes a timeout later, never at
// once.
class IdleMpv : public IdleX11 {};

TEST_F(IdleMpv, AVideoPlayerHoldsTheSaverOff) {
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    for (bool server_saver : {true, false}) {
        SCOPED_TRACE(server_saver ? "xset s noblank s noexpose s 1" : "xset s off");
        forget_recorded(scratch, "saver");
        XSetScreenSaver(display, server_saver ? 1 : 0, 0, DontPreferBlanking, DontAllowExposures);
        XSync(display, False);
        Child player = spawn({"/usr/bin/mpv", "--no-config", "--vo=x11", "--no-audio", "--really-quiet",
                              "av://lavfi:testsrc=size=64x48:rate=10"});
        ASSERT_TRUE(wait_until(
            [&] {
                Window root, parent, *children = nullptr;
                unsigned count = 0;
                XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
                if (children) XFree(children);
                return count > 0;
            },
            30000))
            << read_stderr(player);
        start_watcher({"--timeout", "3"});
        if (server_saver) {
            ASSERT_TRUE(wait_for_stderr(watcher, "a client suspends the X server's saver", 30000))
                << read_stderr(watcher);
            EXPECT_EQ(starts(), 0u);
            kill_child(&player);
            EXPECT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
        } else {
            for (size_t n = 1; n <= 2; ++n) {
                ASSERT_TRUE(wait_for_starts(n)) << read_stderr(watcher);
                ASSERT_TRUE(wait_ended(saver(n - 1))) << read_stderr(watcher);
                double ended = uptime_seconds();
                ASSERT_TRUE(wait_for_starts(n + 1)) << read_stderr(watcher);
                EXPECT_GE(recorded_times(scratch, "saver").at(n) + 0.01 - ended, 1.0)
                    << "ended and started again at once: " << read_stderr(watcher);
            }
        }
        kill_child(&player);
        kill_child(&watcher);
        end_recorded(scratch, "saver");
    }
    XCloseDisplay(display);
}

// A saver that ignores SIGTERM gets SIGKILL after a grace period, so that
// the next idle period has its saver; the watcher's own end waits for it.
TEST_F(IdleX11, ASaverThatIgnoresSigtermIsKilled) {
    for (bool by_key : {true, false}) {
        SCOPED_TRACE(by_key ? "the user is back" : "the watcher ends");
        forget_recorded(scratch, "saver");
        start_watcher(
            {"--timeout", "1", "--command", recording_script(scratch, "saver", "trap '' TERM; exec sleep 600")});
        ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
        if (by_key) {
            ASSERT_TRUE(xdotool("key shift"));
            EXPECT_TRUE(wait_ended(saver(0))) << read_stderr(watcher);
            EXPECT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
        } else {
            kill(watcher.pid, SIGTERM);
            EXPECT_EQ(wait_exit(&watcher, 30000), 0) << read_stderr(watcher);
            EXPECT_FALSE(alive(saver(0)));  // gone by the time the watcher is
        }
        kill_child(&watcher);
        end_recorded(scratch, "saver");
    }
}

// A wrapper that starts the saver in the background and exits: what it left
// in its process group ends with it, and no saver is taken for running.
TEST_F(IdleX11, WhatASaverLeftBehindEndsWithIt) {
    std::string left = scratch.dir + "/left";
    start_watcher(
        {"--timeout", "1", "--command", recording_script(scratch, "saver", "sleep 600 & echo $! >> " + left)});
    ASSERT_TRUE(wait_until([&] { return recorded(scratch, "left").size() == 1; }, 30000)) << read_stderr(watcher);
    EXPECT_TRUE(wait_ended(recorded(scratch, "left")[0])) << read_stderr(watcher);
    end_recorded(scratch, "left");
}

// A failure of what the run depends on (here no descriptor left to follow
// the saver with) ends the watcher with one line and code 3, and its saver
// with it, rather than leaving a saver that it can neither end nor follow.
TEST_F(IdleX11, ASetUpFailureEndsTheWatcherAndItsSaver) {
    // A saver of its own name, so that only it is looked for.
    std::string saver_program = scratch.dir + "/orrelune-test-saver";
    std::filesystem::copy_file("/bin/sleep", saver_program);
    start_watcher({"--timeout", "3", "--command", saver_program + " 600"});
    ASSERT_TRUE(wait_for_stderr(watcher, "watching the X server's idle time", 30000)) << read_stderr(watcher);
    ASSERT_TRUE(xdotool("key shift"));  // the idle time starts from here
    // No descriptor number left free below the limit.
    std::set<int> open;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(watcher.pid) + "/fd"))
        open.insert(std::stoi(entry.path().filename()));
    rlim_t lowest_free = 0;
    while (open.count((int)lowest_free)) ++lowest_free;
    rlimit limit = {lowest_free, lowest_free};
    ASSERT_EQ(prlimit(watcher.pid, RLIMIT_NOFILE, &limit, nullptr), 0);
    EXPECT_EQ(wait_exit(&watcher, 60000), 4) << read_stderr(watcher);
    EXPECT_NE(read_stderr(watcher).find("cannot follow the saver: Too many open files"), std::string::npos)
        << read_stderr(watcher);
    EXPECT_TRUE(processes_of(saver_program).empty());
    for (int pid : processes_of(saver_program)) kill(pid, SIGKILL);
}

// An inhibit taken while the saver shows holds off the next one; its end
// (the call, or the caller leaving the bus) lets one start a timeout later.
TEST_F(IdleX11, AnInhibitOnTheBusHoldsTheSaverOff) {
    for (bool leave : {false, true}) {
        SCOPED_TRACE(leave ? "the caller leaves" : "UnInhibit");
        remove((scratch.dir + "/saver").c_str());
        with_bus();
        start_watcher({"--timeout", "1"});
        ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
        sd_bus_message* reply = nullptr;
        uint32_t cookie = 0;
        const char* path = leave ? "/ScreenSaver" : "/org/freedesktop/ScreenSaver";
        ASSERT_GE(sd_bus_call_method(client, "org.freedesktop.ScreenSaver", path, "org.freedesktop.ScreenSaver",
                                     "Inhibit", nullptr, &reply, "ss", "a player", "a video plays"),
                  0);
        ASSERT_GE(sd_bus_message_read(reply, "u", &cookie), 0);
        sd_bus_message_unref(reply);

        ASSERT_TRUE(xdotool("key shift"));
        ASSERT_TRUE(wait_for_stderr(watcher, "idle, but held off", 20000)) << read_stderr(watcher);
        EXPECT_EQ(starts(), 1u);
        if (leave) {
            client = sd_bus_flush_close_unref(client);
        } else {
            ASSERT_GE(sd_bus_call_method(client, "org.freedesktop.ScreenSaver", path, "org.freedesktop.ScreenSaver",
                                         "UnInhibit", nullptr, nullptr, "u", cookie),
                      0);
        }
        EXPECT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
        kill_child(&watcher);
        end_recorded(scratch, "saver");
        if (client) client = sd_bus_flush_close_unref(client);
        stop_session_bus(&bus);
    }
}

// The lock command ends the saver, and while it runs (the session locked)
// no saver starts, also where it went on in the background (as swaylock -f
// does); once it ends, the next idle period starts one. One that returns at
// once locks nothing the watcher can see: it says so.
TEST_F(IdleX11, LocksAfterTheSaverHasRunAndStartsNoneWhileLocked) {
    std::string left = scratch.dir + "/left";
    struct Case {
        const char* what;
        std::string then;
        const char* runs;  // the record of the process that holds the lock
    } cases[] = {
        {"stays", "exec sleep 600", "locker"},
        {"goes into the background", "setsid sleep 600 & echo $! >> " + left + "; exit 0", "left"},
        {"returns at once", "exit 0", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* name : {"saver", "locker", "left"}) forget_recorded(scratch, name);
        start_watcher(
            {"--timeout", "1", "--lock-after", "1", "--lock-command", recording_script(scratch, "locker", c.then)});
        ASSERT_TRUE(wait_until([&] { return recorded(scratch, "locker").size() == 1; }, 20000)) << read_stderr(watcher);
        EXPECT_TRUE(wait_ended(saver(0)));
        if (!c.runs) {
            EXPECT_TRUE(wait_for_stderr(watcher, "the lock command ended at once", 20000)) << read_stderr(watcher);
            ASSERT_TRUE(xdotool("key shift"));
        } else {
            ASSERT_TRUE(wait_until([&] { return recorded(scratch, c.runs).size() == 1; }, 20000));
            ASSERT_TRUE(xdotool("key shift"));
            ASSERT_TRUE(wait_for_stderr(watcher, "idle, but held off", 20000)) << read_stderr(watcher);
            EXPECT_EQ(starts(), 1u);
            kill(recorded(scratch, c.runs)[0], SIGTERM);
        }
        EXPECT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
        kill_child(&watcher);
        for (const char* name : {"saver", "locker", "left"}) end_recorded(scratch, name);
    }
}

// The lock comes on time when the saver failed (the user did not come
// back), but not after a saver that ended by itself, which is how a saver
// ends on the user's input.
TEST_F(IdleX11, LocksOnTimeAfterASaverThatFailed) {
    for (bool failed : {true, false}) {
        SCOPED_TRACE(failed ? "the saver failed" : "the saver ended by itself");
        for (const char* name : {"saver", "locker"}) forget_recorded(scratch, name);
        start_watcher({"--timeout", "1", "--command", recording_script(scratch, "saver", failed ? "exit 1" : "exit 0"),
                       "--lock-after", "2", "--lock-command", recording_command(scratch, "locker")});
        ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
        if (failed) {
            EXPECT_TRUE(wait_until([&] { return recorded(scratch, "locker").size() == 1; }, 30000))
                << read_stderr(watcher);
        } else {
            ASSERT_TRUE(wait_for_stderr(watcher, "taken as the user's return", 20000)) << read_stderr(watcher);
            // Past the lock's time; a wait is the only way to see nothing happen.
            sleep_ms(4000);
            EXPECT_TRUE(recorded(scratch, "locker").empty()) << read_stderr(watcher);
        }
        kill_child(&watcher);
        end_recorded(scratch, "locker");
    }
}

// A Wayland compositor or an X server that takes the connection and then
// says nothing (hung, stopped) ends the start with one line after 10 s.
TEST(IdleStart, GivesUpOnASilentServerWithOneLine) {
    Scratch scratch("orrelune-idle-test", 0755);
    int silent = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof address.sun_path, "%s/wayland-silent", scratch.dir.c_str());
    ASSERT_EQ(bind(silent, (sockaddr*)&address, sizeof address), 0);
    ASSERT_EQ(listen(silent, 4), 0);  // and never accepts
    XServer stopped = start_xserver(320, 240);
    // The server itself, below the script that runs it.
    int xvfb = 0;
    std::ifstream children("/proc/" + std::to_string(stopped.pid) + "/task/" + std::to_string(stopped.pid) +
                           "/children");
    for (int pid; children >> pid;) {
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        if (comm >> name && name == "Xvfb") xvfb = pid;
    }
    ASSERT_NE(xvfb, 0);
    kill(xvfb, SIGSTOP);
    struct Case {
        std::vector<std::string> env;
        std::string said;
    } cases[] = {
        {{"WAYLAND_DISPLAY=wayland-silent", "DISPLAY"},
         "the Wayland compositor \"wayland-silent\" did not answer within 10 s"},
        {{"WAYLAND_DISPLAY", "DISPLAY=" + stopped.name},
         "the X display \"" + stopped.name + "\" did not answer within 10 s"},
    };
    for (auto& c : cases) {
        c.env.insert(c.env.end(), {"XDG_RUNTIME_DIR=" + scratch.dir, "DBUS_SESSION_BUS_ADDRESS",
                                   "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent"});
        Child child = spawn({IDLE_PATH, "--command", "true"}, c.env);
        EXPECT_EQ(wait_exit(&child, 60000), 1) << c.said;
        std::string said = read_stderr(child);
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
    kill(xvfb, SIGCONT);
    stop_xserver(&stopped);
    close(silent);
}

// Bad input: one line and a documented code, with no display at all.
TEST(IdleCommandLine, RefusesBadInputWithOneLine) {
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string said;
    } cases[] = {
        {{"--frobnicate"}, 2, "unknown option '--frobnicate'"},
        {{"--timeout", "0"}, 2, "--timeout wants whole seconds"},
        {{"--timeout", "-1"}, 2, "--timeout wants whole seconds"},
        {{"--timeout", "4294967296"}, 2, "--timeout wants whole seconds"},
        {{"--command", "/nonexistent/saver /s"}, 2, "'/nonexistent/saver' is not a program"},
        {{"--command", "true"}, 1, "nothing tells when the session is idle"},
        {{"--command", "true", "--lock-after", "5"}, 2, "--lock-after: there is no way to lock"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {IDLE_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        Child child = spawn(argv, {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR=/nonexistent",
                                   "DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent"});
        EXPECT_EQ(wait_exit(&child, 20000), c.code) << c.args[0];
        std::string said = read_stderr(child);
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
}

}  // namespace
