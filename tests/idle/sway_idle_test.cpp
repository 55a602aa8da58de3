// The watcher on a private headless sway 1.7, which offers org_kde_kwin_idle
// (ext_idle_notifier_v1 came with sway 1.8): keys through wtype.
#include <gtest/gtest.h>

#include "idle_fixture.h"
#include "sway_support.h"

namespace {

class IdleSway : public IdleFixture {
protected:
    void SetUp() override {
        IdleFixture::SetUp();
        sway = start_sway();
    }
    void TearDown() override {
        kill_child(&inhibitor);
        IdleFixture::TearDown();
        stop_sway(&sway);
    }
    void start_watcher() {
        std::vector<std::string> env = sway_env(sway);
        env.push_back("DBUS_SESSION_BUS_ADDRESS");
        IdleFixture::start_watcher({"--timeout", "1"}, env);
    }

    Sway sway;
    Child inhibitor;
};

TEST_F(IdleSway, StartsOnIdleEndsOnAKeyAndStartsOnTheNextIdle) {
    start_watcher();
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    EXPECT_NE(read_stderr(watcher).find("(org_kde_kwin_idle)"), std::string::npos) << read_stderr(watcher);
    ASSERT_TRUE(press_key(sway, "a", 250));
    EXPECT_TRUE(wait_ended(saver(0))) << read_stderr(watcher);
    EXPECT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
}

// sway 1.7 honours an idle inhibitor on a visible surface: its idle
// timeouts do not run while one is held.
TEST_F(IdleSway, AnIdleInhibitorOnAVisibleSurfaceHoldsTheSaverOff) {
    inhibitor = spawn({INHIBITOR_PATH}, sway_env(sway));
    ASSERT_TRUE(wait_for_stderr(inhibitor, "inhibiting", 30000)) << read_stderr(inhibitor);
    start_watcher();
    ASSERT_TRUE(wait_for_stderr(watcher, "org_kde_kwin_idle", 30000)) << read_stderr(watcher);
    // Held off for several timeouts; a wait is the only way to see nothing happen.
    sleep_ms(4000);
    EXPECT_EQ(starts(), 0u) << read_stderr(watcher);
    kill_child(&inhibitor);
    EXPECT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
}

// The compositor going ends the watcher and its saver.
TEST_F(IdleSway, EndsWithTheCompositor) {
    start_watcher();
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    stop_sway(&sway);
    EXPECT_EQ(wait_exit(&watcher, 30000), 1) << read_stderr(watcher);
    EXPECT_TRUE(wait_ended(saver(0)));
    EXPECT_NE(read_stderr(watcher).find("the Wayland compositor went away"), std::string::npos) << read_stderr(watcher);
}

}  // namespace
