// The watcher against stand-ins of the services it asks (python3-dbusmock):
// logind, on a private system bus, for the lock after the saver (with the X
// server's idle time on a private Xvfb); GNOME's idle monitor on a private
// session bus.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "dbus_mock.h"
#include "idle_fixture.h"

namespace {

const char* const logind = "org.freedesktop.login1";
const char* const session_path = "/org/freedesktop/login1/session/auto";

class IdleLock : public IdleFixture {
protected:
    void SetUp() override {
        IdleFixture::SetUp();
        server = start_xserver(320, 240);
        system_bus = start_session_bus(scratch, scratch.dir + "/system-bus");
        logind_mock = start_dbus_mock(system_bus.address, true, {"--template", "logind"}, logind);
        client = connect_bus(system_bus.address);
    }
    void TearDown() override {
        sd_bus_flush_close_unref(client);
        kill_child(&logind_mock);
        stop_session_bus(&system_bus);
        IdleFixture::TearDown();
        stop_xserver(&server);
    }
    void start_watcher(const std::vector<std::string>& args) {
        IdleFixture::start_watcher(args, {"WAYLAND_DISPLAY", "XDG_RUNTIME_DIR=" + scratch.dir,
                                          "DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS=" + system_bus.address});
    }
    // The session logind names for the watcher ("auto"), which can lock.
    void add_session() {
        ASSERT_GE(
            sd_bus_call_method(client, logind, "/org/freedesktop/login1", "org.freedesktop.DBus.Mock", "AddSession",
                               nullptr, nullptr, "ssusb", "auto", "seat0", (uint32_t)getuid(), "someone", 1),
            0);
    }
    size_t locks() { return mock_calls(client, logind, session_path, "Lock"); }

    XServer server;
    SessionBus system_bus;
    Child logind_mock;
    sd_bus* client = nullptr;
};

// logind is asked to lock on time, also after a saver that failed (the
// user did not come back), and a running saver makes way for the lock.
TEST_F(IdleLock, AsksLogindToLockOnTime) {
    add_session();
    for (bool failed : {false, true}) {
        SCOPED_TRACE(failed ? "the saver failed" : "the saver runs");
        forget_recorded(scratch, "saver");
        size_t before = locks();
        start_watcher({"--timeout", "1", "--lock-after", "2", "--command",
                       recording_script(scratch, "saver", failed ? "exit 1" : "exec sleep 600")});
        ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
        EXPECT_TRUE(wait_until([&] { return locks() == before + 1; }, 30000)) << read_stderr(watcher);
        if (!failed) {
            EXPECT_TRUE(wait_ended(saver(0))) << read_stderr(watcher);
        }
        kill_child(&watcher);
        end_recorded(scratch, "saver");
    }
}

// A lock that logind refuses (here its session has no such object) leaves
// the screen saved rather than neither saved nor locked.
TEST_F(IdleLock, KeepsTheSaverWhenTheLockFails) {
    start_watcher({"--timeout", "1", "--lock-after", "1"});
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    ASSERT_TRUE(wait_for_stderr(watcher, "cannot lock the session", 30000)) << read_stderr(watcher);
    EXPECT_TRUE(alive(saver(0))) << read_stderr(watcher);
}

// GNOME's idle monitor fires the idle watch but refuses the watch for the
// user's return: the watcher gives up (exit 1), and starts no saver that
// nothing would end.
TEST(IdleGnome, StartsNoSaverOnceItGaveUp) {
    const char* const monitor = "org.gnome.Mutter.IdleMonitor";
    const char* const monitor_path = "/org/gnome/Mutter/IdleMonitor/Core";
    Scratch scratch("orrelune-idle-test", 0755);
    SessionBus bus = start_session_bus(scratch, scratch.dir + "/bus");
    Child mock = start_dbus_mock(bus.address, false, {monitor, monitor_path, monitor}, monitor);
    sd_bus* client = connect_bus(bus.address);
    mock_add_method(client, monitor, monitor_path, monitor, "AddIdleWatch", "t", "u", "ret = 1");
    mock_add_method(client, monitor, monitor_path, monitor, "AddUserActiveWatch", "", "u",
                    "raise dbus.exceptions.DBusException('no more watches', name='org.example.Refused')");
    // A saver of its own name, so that only it is looked for.
    std::string saver_program = scratch.dir + "/orrelune-test-saver";
    std::filesystem::copy_file("/bin/sleep", saver_program);
    Child watcher = spawn({IDLE_PATH, "--verbose", "--timeout", "1", "--command", saver_program + " 600"},
                          {"WAYLAND_DISPLAY", "DISPLAY", "DBUS_SESSION_BUS_ADDRESS=" + bus.address,
                           "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent"});
    ASSERT_TRUE(wait_for_stderr(watcher, "watching GNOME's idle monitor", 30000)) << read_stderr(watcher);
    mock_emit_u(client, monitor, monitor_path, monitor, "WatchFired", 1);
    EXPECT_EQ(wait_exit(&watcher, 30000), 1) << read_stderr(watcher);
    EXPECT_NE(read_stderr(watcher).find("GNOME's idle monitor refused a watch"), std::string::npos)
        << read_stderr(watcher);
    EXPECT_TRUE(processes_of(saver_program).empty());
    for (int pid : processes_of(saver_program)) kill(pid, SIGKILL);
    sd_bus_flush_close_unref(client);
    kill_child(&mock);
    stop_session_bus(&bus);
}

}  // namespace
