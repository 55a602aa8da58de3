// The program under real screen-saver daemons from Debian's packages,
// started as their users start a saver: XScreenSaver from a plain
// `programs:` line with --root, xsecurelock through XSECURELOCK_SAVER. Each
// daemon launches it once, it draws, and it is gone soon after the daemon
// lets go of the screen. XScreenSaver refuses to run savers as root, so when
// the test runs as root the daemons run as the unprivileged "nobody", with a
// copy of the program that nobody can run.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "scratch.h"

namespace {

const char* const program = ORRELUNE_PATH;
const char* const daemon_path = "/usr/bin/xscreensaver";
const char* const command_path = "/usr/bin/xscreensaver-command";
const char* const locker_path = "/usr/bin/xsecurelock";

int run_command(const std::vector<std::string>& args) {
    Child child = spawn(args);
    int code = wait_exit(&child, 10000);
    unlink(child.stderr_path.c_str());
    return code;
}

class DaemonTest : public testing::Test {
protected:
    void SetUp() override {
        server = start_xserver(1024, 768);
        display = XOpenDisplay(server.name.c_str());
        ASSERT_NE(display, nullptr);

        // A folder the daemon's user can read: the program's copy, and a
        // home for the daemon's settings and the program's.
        work = Scratch("orrelune-daemon", 0755);
        saver = work.dir + "/orrelune";
        std::filesystem::copy_file(program, saver);
        chmod(saver.c_str(), 0755);
        home = work.dir + "/home";
        std::filesystem::create_directory(home);
    }

    // Starts the daemon, as an unprivileged user when the test is root.
    void start_daemon(const std::vector<std::string>& argv, std::vector<std::string> env) {
        env.push_back("HOME=" + home);
        env.push_back("XDG_CONFIG_HOME=" + home + "/.config");
        daemon = spawn(as_unprivileged(argv, {home}), env);
    }

    void TearDown() override {
        if (daemon.pid) {
            kill(daemon.pid, SIGTERM);  // both daemons end their savers and leave
            if (wait_exit(&daemon, 10000) < 0) kill_child(&daemon);
        }
        if (!daemon.stderr_path.empty()) unlink(daemon.stderr_path.c_str());
        for (int pid : processes_of(saver)) kill(pid, SIGKILL);
        if (display) XCloseDisplay(display);
        stop_xserver(&server);
    }

    std::string daemon_log() {
        std::ifstream in(home + "/daemon.log");
        return std::string(std::istreambuf_iterator<char>(in), {}) + read_stderr(daemon);
    }

    // Watches the saver's processes: it appears, draws, and stays the one
    // process (a saver that failed would be launched again and again).
    void expect_launched_once_and_drawing() {
        ASSERT_TRUE(wait_until([&] { return !watch().empty(); }, 20000)) << daemon_log();
        EXPECT_TRUE(wait_until(
            [&] {
                watch();
                return lit_share() > 0.05;
            },
            20000))
            << daemon_log();
        for (int i = 0; i < 50; ++i) {
            watch();
            sleep_ms(20);
        }
        EXPECT_EQ(launched.size(), 1u) << daemon_log();
        EXPECT_EQ(watch().size(), 1u) << daemon_log();
    }

    std::set<int> watch() {
        std::set<int> now = processes_of(saver);
        launched.insert(now.begin(), now.end());
        return now;
    }

    // Share of the screen that is not black.
    double lit_share() {
        XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, 1024, 768, AllPlanes, ZPixmap);
        int lit = 0, total = 0;
        for (int y = 0; y < 768; y += 4)
            for (int x = 0; x < 1024; x += 4, ++total) lit += (XGetPixel(image, x, y) & 0xFFFFFF) != 0;
        XDestroyImage(image);
        return double(lit) / total;
    }

    XServer server;
    Display* display = nullptr;
    Scratch work;
    std::string saver, home;
    Child daemon;
    std::set<int> launched;
};

TEST_F(DaemonTest, XScreenSaverLaunchesItOnceAndEndsItOnDeactivation) {
    if (access(daemon_path, X_OK) != 0) GTEST_SKIP() << "XScreenSaver is not installed (scripts/test installs it)";
    std::ofstream settings(home + "/.xscreensaver");
    settings << "timeout: 0:30:00\nlock: False\nmode: one\nselected: 0\nsplash: False\n"
                "fade: False\nunfade: False\nprograms: "
             << saver << " --root \\n\n";
    settings.close();
    start_daemon({daemon_path, "--no-splash", "--verbose", "--log", home + "/daemon.log"}, {});

    // The daemon answers once it is up.
    ASSERT_TRUE(wait_until([] { return run_command({command_path, "-activate"}) == 0; }, 30000)) << daemon_log();
    expect_launched_once_and_drawing();

    ASSERT_EQ(run_command({command_path, "-deactivate"}), 0);
    EXPECT_TRUE(wait_until([&] { return processes_of(saver).empty(); }, 10000)) << daemon_log();
    EXPECT_EQ(launched.size(), 1u);
}

// xsecurelock locks at once and unlocks only after a password; what ends
// its saver without one is the locker itself ending, which it does on
// SIGTERM, and it stops its saver as it would at an unlock.
TEST_F(DaemonTest, XsecurelockLaunchesItOnceAndEndsItWhenItLetsGo) {
    if (access(locker_path, X_OK) != 0) GTEST_SKIP() << "xsecurelock is not installed (scripts/test installs it)";
    start_daemon({locker_path}, {"XSECURELOCK_SAVER=" + saver, "XSECURELOCK_NO_COMPOSITE=1"});
    expect_launched_once_and_drawing();

    kill(daemon.pid, SIGTERM);
    EXPECT_GE(wait_exit(&daemon, 10000), 0) << daemon_log();
    EXPECT_TRUE(wait_until([&] { return processes_of(saver).empty(); }, 10000)) << daemon_log();
    EXPECT_EQ(launched.size(), 1u);
}

}  // namespace
