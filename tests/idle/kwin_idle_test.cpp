// The watcher on a private virtual KWin 5.27, which offers
// ext_idle_notifier_v1; input through KWin's fake-input protocol.
// Skipped (77) where KWin is not installed.
#include <gtest/gtest.h>

#include "idle_fixture.h"

namespace {

class IdleKWin : public IdleFixture {
protected:
    void SetUp() override {
        IdleFixture::SetUp();
        start_user_session();
        ASSERT_TRUE(start_kwin(bus, runtime, home, scratch.dir + "/bin", FAKE_INPUT_PATH, &kwin))
            << read_stderr(kwin.input) << read_stderr(kwin.server);
        env = kwin.env;
    }
    void TearDown() override {
        kill_child(&watcher);
        stop_kwin(&kwin);
        IdleFixture::TearDown();
    }

    KWin kwin;
    std::vector<std::string> env;
};

TEST_F(IdleKWin, StartsOnIdleEndsOnInputAndStartsOnTheNextIdle) {
    start_watcher({"--timeout", "1"}, env);
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    EXPECT_NE(read_stderr(watcher).find("(ext_idle_notifier_v1)"), std::string::npos) << read_stderr(watcher);
    ASSERT_TRUE(kwin_move(&kwin)) << read_stderr(kwin.input);
    EXPECT_TRUE(wait_ended(saver(0))) << read_stderr(watcher);
    EXPECT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
}

}  // namespace
