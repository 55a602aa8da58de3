// The watcher's end-to-end fixture: a scratch folder, the watcher under
// test with a stand-in saver, a session bus where a test starts one, and
// the ending of what they leave running.
#pragma once

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "idle_support.h"

class IdleFixture : public testing::Test {
protected:
    // 0755: the stand-ins may run as another user (a compositor's tests).
    void SetUp() override { scratch = Scratch("orrelune-idle-test", 0755); }
    void TearDown() override {
        kill_child(&watcher);
        end_recorded(scratch, "saver");
        end_recorded(scratch, "locker");
        stop_session_bus(&bus);
    }
    // The watcher, verbose, with the stand-in saver (where `args` names no
    // other) and `args`, in the environment that `env` makes of the test's
    // (as spawn takes it).
    void start_watcher(const std::vector<std::string>& args, const std::vector<std::string>& env,
                       bool saver_stays = true) {
        std::vector<std::string> argv = {IDLE_PATH, "--verbose"};
        if (std::find(args.begin(), args.end(), "--command") == args.end())
            argv.insert(argv.end(), {"--command", recording_command(scratch, "saver", saver_stays)});
        argv.insert(argv.end(), args.begin(), args.end());
        watcher = spawn(argv, env);
    }
    size_t starts() { return recorded(scratch, "saver").size(); }
    bool wait_for_starts(size_t n) {
        return wait_until([&] { return starts() == n; }, 30000);
    }
    int saver(size_t start) { return recorded(scratch, "saver").at(start); }
    bool wait_ended(int pid) {
        return wait_until([&] { return !alive(pid); }, 30000);
    }
    // A runtime folder, a home and a session bus for a compositor that runs
    // as the unprivileged user (when the test runs as root).
    void start_user_session() {
        runtime = scratch.dir + "/runtime";
        home = scratch.dir + "/home";
        mkdir(runtime.c_str(), 0700);
        mkdir(home.c_str(), 0700);
        bus = start_session_bus(scratch, runtime + "/bus", true);
    }

    Scratch scratch;
    SessionBus bus;
    Child watcher;
    std::string runtime, home;
};
