// scripts/run, the README's way to try the program: it returns the
// program's exit code, on a desktop and on its own private X server, and
// without a display it refuses a preview, which needs a window of the
// user's display.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <algorithm>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "e2e_support.h"
#include "scratch.h"

namespace {

const std::string program = ORRELUNE_PATH;
const std::string script = RUN_SCRIPT;
// Where the script saves its screenshot: beside the program's directory.
const std::string screenshot = program.substr(0, program.rfind("/src/")) + "/screenshot.png";

class RunScript : public testing::Test {
protected:
    void TearDown() override { unlink(child.stderr_path.c_str()); }

    // The script's exit code; its stderr in `errors`.
    int run(const std::vector<std::string>& args, bool with_display) {
        std::vector<std::string> argv = {script};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env = {"ORRELUNE_PROGRAM=" + program, "XDG_CONFIG_HOME=" + config.dir};
        if (!with_display) env.push_back("DISPLAY");
        child = spawn(argv, env);
        int code = wait_exit(&child, 60000);
        errors = read_stderr(child);
        return code;
    }

    Scratch config{"orrelune-run-config"};
    Child child;
    std::string errors;
};

TEST_F(RunScript, WithoutADisplayRunsOnAPrivateServerAndReturnsTheProgramsCode) {
    struct Case {
        std::vector<std::string> args;
        int code;
        bool screenshot;
    };
    const Case cases[] = {
        {{"/s"}, 0, true},     // ended by the script's Escape
        {{"/c"}, 1, true},     // the dialog cancelled by it
        {{"/x"}, 255, false},  // the program's own -1, at once
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        unlink(screenshot.c_str());
        EXPECT_EQ(run(c.args, false), c.code) << errors;
        struct stat st;
        EXPECT_EQ(stat(screenshot.c_str(), &st) == 0, c.screenshot);
    }
}

TEST_F(RunScript, WithoutADisplayRefusesAPreviewInOneLine) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"/p", "12345"}, {"-l", "7"}, {"/P12"}}) {
        SCOPED_TRACE(args[0]);
        EXPECT_EQ(run(args, false), 2);
        EXPECT_NE(errors.find("preview"), std::string::npos) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
}

TEST_F(RunScript, OnADisplayReturnsTheProgramsCode) {
    XServer server = start_xserver();
    EXPECT_EQ(run({"/p", "0"}, true), 255) << errors;
    stop_xserver(&server);
}

}  // namespace
