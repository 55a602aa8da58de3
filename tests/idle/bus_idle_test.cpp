// The watcher on the buses: one per session. On a private Xvfb (the idle
// source) with a private session bus.
#include <signal.h>

#include <gtest/gtest.h>

#include "idle_fixture.h"

namespace {

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
        IdleFixture::TearDown();
        stop_xserver(&server);
    }
    // The watcher's environment: this X server, the private session bus, no
    // system bus, no compositor and no desktop; `changes` after that.
    std::vector<std::string> watcher_env(const std::vector<std::string>& changes = {}) {
        std::vector<std::string> env = {"WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "XDG_RUNTIME_DIR=" + scratch.dir,
                                        "DBUS_SESSION_BUS_ADDRESS=" + bus.address,
                                        "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent"};
        env.insert(env.end(), changes.begin(), changes.end());
        return env;
    }
    void start_watcher(const std::vector<std::string>& args, const std::vector<std::string>& changes = {}) {
        IdleFixture::start_watcher(args, watcher_env(changes));
    }

    XServer server;
    sd_bus *client = nullptr, *other = nullptr;
    Child second;
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

}  // namespace
