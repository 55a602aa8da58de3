// The watcher on a private headless mutter (GNOME's compositor), which has
// no Wayland idle protocol: the watcher falls back to its IdleMonitor on the
// session bus. Keys go through mutter's RemoteDesktop API. Skipped (77)
// where mutter is not installed.
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "idle_fixture.h"

namespace {

const char* const mutter_path = "/usr/bin/mutter";

class IdleMutter : public IdleFixture {
protected:
    void SetUp() override {
        IdleFixture::SetUp();
        // mutter and its bus run as an unprivileged user when the test runs
        // as root, as a user's session would; the test and the watcher connect
        // to both as root, which the bus allows.
        start_user_session();
        env = {"XDG_RUNTIME_DIR=" + runtime,
               "WAYLAND_DISPLAY=orrelune-mutter",
               "DISPLAY",
               "DBUS_SESSION_BUS_ADDRESS=" + bus.address,
               "HOME=" + home,
               "LIBGL_ALWAYS_SOFTWARE=1"};
        mutter = spawn(as_unprivileged({mutter_path, "--headless", "--wayland", "--no-x11",
                                        "--wayland-display=orrelune-mutter", "--virtual-monitor", "640x480"},
                                       {runtime, home}),
                       env);
        client = connect_bus(bus.address);
        ASSERT_TRUE(wait_for_name(client, "org.gnome.Mutter.RemoteDesktop", 60000)) << read_stderr(mutter);
        ASSERT_TRUE(wait_for_name(client, "org.gnome.Mutter.IdleMonitor", 60000)) << read_stderr(mutter);
        start_remote_desktop();
    }
    void TearDown() override {
        kill_child(&watcher);
        if (client) sd_bus_flush_close_unref(client);
        kill_child(&mutter);
        IdleFixture::TearDown();
    }
    void start_remote_desktop() {
        sd_bus_message* reply = nullptr;
        const char* path = nullptr;
        ASSERT_GE(sd_bus_call_method(client, "org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                                     "org.gnome.Mutter.RemoteDesktop", "CreateSession", nullptr, &reply, ""),
                  0);
        ASSERT_GE(sd_bus_message_read(reply, "o", &path), 0);
        session = path;
        sd_bus_message_unref(reply);
        ASSERT_GE(sd_bus_call_method(client, "org.gnome.Mutter.RemoteDesktop", session.c_str(),
                                     "org.gnome.Mutter.RemoteDesktop.Session", "Start", nullptr, nullptr, ""),
                  0);
        // The first key after the session starts can be lost: a harmless one.
        press(0xffe1);  // Shift_L
    }
    bool press(uint32_t keysym) {
        for (int down : {1, 0})
            if (sd_bus_call_method(client, "org.gnome.Mutter.RemoteDesktop", session.c_str(),
                                   "org.gnome.Mutter.RemoteDesktop.Session", "NotifyKeyboardKeysym", nullptr, nullptr,
                                   "ub", keysym, down) < 0)
                return false;
        return true;
    }
    std::vector<std::string> env;
    Child mutter;
    sd_bus* client = nullptr;
    std::string session;
};

TEST_F(IdleMutter, StartsOnIdleEndsOnAKeyAndStartsOnTheNextIdle) {
    start_watcher({"--timeout", "1"}, env);
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    EXPECT_NE(read_stderr(watcher).find("watching GNOME's idle monitor"), std::string::npos) << read_stderr(watcher);
    ASSERT_TRUE(press('a'));
    EXPECT_TRUE(wait_ended(saver(0))) << read_stderr(watcher);
    EXPECT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
}

// The compositor going ends the watcher and its saver.
TEST_F(IdleMutter, EndsWithTheCompositor) {
    start_watcher({"--timeout", "1"}, env);
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    kill_child(&mutter);
    EXPECT_EQ(wait_exit(&watcher, 30000), 1) << read_stderr(watcher);
    EXPECT_TRUE(wait_ended(saver(0)));
}

}  // namespace
