// The watcher on a private virtual KWin 5.27, which offers
// ext_idle_notifier_v1; input through KWin's fake-input protocol. KWin's
// installed binary carries a file capability that an unprivileged user may
// not exec here, so a plain copy runs, named kwin_wayland as KWin expects.
// Skipped (77) where KWin is not installed.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "idle_fixture.h"

namespace {

const char* const kwin_path = "/usr/bin/kwin_wayland";

class IdleKWin : public IdleFixture {
protected:
    void SetUp() override {
        IdleFixture::SetUp();
        start_user_session();
        mkdir((scratch.dir + "/bin").c_str(), 0755);
        std::string kwin = scratch.dir + "/bin/kwin_wayland";
        std::filesystem::copy_file(kwin_path, kwin);
        env = {"XDG_RUNTIME_DIR=" + runtime,
               "WAYLAND_DISPLAY=orrelune-kwin",
               "DISPLAY",
               "DBUS_SESSION_BUS_ADDRESS=" + bus.address,
               "HOME=" + home,
               "KWIN_COMPOSE=Q",
               "KWIN_WAYLAND_NO_PERMISSION_CHECKS=1",
               "QT_QPA_PLATFORM"};
        kwin_child =
            spawn(as_unprivileged({kwin, "--virtual", "--width", "640", "--height", "480", "--socket", "orrelune-kwin",
                                   "--no-lockscreen", "--no-global-shortcuts", "--no-kactivities"},
                                  {runtime, home}),
                  env);
        ASSERT_TRUE(wait_until([&] { return access((runtime + "/orrelune-kwin").c_str(), F_OK) == 0; }, 60000))
            << read_stderr(kwin_child);
        input = spawn(as_unprivileged({FAKE_INPUT_PATH}, {}), env);
        ASSERT_TRUE(wait_for_stderr(input, "ready", 60000)) << read_stderr(input) << read_stderr(kwin_child);
    }
    void TearDown() override {
        kill_child(&watcher);
        kill_child(&input);
        kill_child(&kwin_child);
        IdleFixture::TearDown();
    }

    std::vector<std::string> env;
    Child kwin_child, input;
};

TEST_F(IdleKWin, StartsOnIdleEndsOnInputAndStartsOnTheNextIdle) {
    start_watcher({"--timeout", "1"}, env);
    ASSERT_TRUE(wait_for_starts(1)) << read_stderr(watcher);
    EXPECT_NE(read_stderr(watcher).find("(ext_idle_notifier_v1)"), std::string::npos) << read_stderr(watcher);
    kill(input.pid, SIGUSR1);
    ASSERT_TRUE(wait_for_stderr(input, "moved", 30000)) << read_stderr(input);
    EXPECT_TRUE(wait_ended(saver(0))) << read_stderr(watcher);
    EXPECT_TRUE(wait_for_starts(2)) << read_stderr(watcher);
}

}  // namespace
