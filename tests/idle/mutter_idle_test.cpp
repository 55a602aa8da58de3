// The watcher on a private headless mutter (GNOME's compositor), which has
// no Wayland idle protocol: the watcher falls back to its IdleMonitor on the
// session bus. Keys go through mutter's RemoteDesktop API. Skipped (77)
// where mutter is not installed.
#include <gtest/gtest.h>

#include "idle_fixture.h"

namespace {

class IdleMutter : public IdleFixture {
protected:
    void SetUp() override {
        IdleFixture::SetUp();
        // mutter and its bus run as an unprivileged user when the test runs
        // as root, as a user's session would; the test and the watcher connect
        // to both as root, which the bus allows.
        start_user_session();
        ASSERT_TRUE(start_mutter(bus, runtime, home, &mutter)) << read_stderr(mutter.server);
        env = mutter.env;
    }
    void TearDown() override {
        kill_child(&watcher);
        stop_mutter(&mutter);
        IdleFixture::TearDown();
    }
    bool press(uint32_t keysym) { return mutter_key(mutter, keysym); }

    Mutter mutter;
    std::vector<std::string> env;
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
    stop_mutter(&mutter);
    EXPECT_EQ(wait_exit(&watcher, 30000), 1) << read_stderr(watcher);
    EXPECT_TRUE(wait_ended(saver(0)));
}

}  // namespace
