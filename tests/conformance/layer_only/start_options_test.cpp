// The Linux entry's own options, read before the program's switches: the
// daemons' ways of naming a window, and what is left for the switches.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <layer_test.h>
#include <windows.h>

#include "kernel/layer_kernel.h"
#include "kernel/start_options.h"

namespace {

LayerStartOptions read(std::vector<const char*> args, const char* env_window = nullptr) {
    args.insert(args.begin(), "orrelune");
    return layer_read_start_options(static_cast<int>(args.size()), args.data(), env_window);
}

std::string joined(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& arg : args) text += (text.empty() ? "" : " ") + arg;
    return text;
}

TEST(StartOptions, DaemonFormsHostTheRunInTheWindowTheyName) {
    const struct {
        std::vector<const char*> args;
        const char* env;
        const char* window;  // "" : the desktop window
        const char* source;
        bool fps;
    } cases[] = {
        {{"--root"}, "0x1a00004", "0x1a00004", "XSCREENSAVER_WINDOW", false},
        {{"-root"}, "27262980", "27262980", "XSCREENSAVER_WINDOW", false},
        {{"--root", "--fps"}, "0x1a00004", "0x1a00004", "XSCREENSAVER_WINDOW", true},
        {{"-fps", "-root"}, nullptr, "", "", true},
        {{"--root"}, nullptr, "", "", false},
        {{}, "27262980", "27262980", "XSCREENSAVER_WINDOW", false},  // xsecurelock passes no arguments
        {{"--window-id", "0x400007"}, "0x1a00004", "0x400007", "--window-id", false},
        {{"-window-id", "4194311", "--fps"}, nullptr, "4194311", "--window-id", true},
        {{"--window-id=0x400007"}, nullptr, "0x400007", "--window-id", false},
        // XScreenSaver's settings program previews with the programs: line's
        // command and a --window-id of its own.
        {{"--root", "--window-id", "0x400007"}, "0x1a00004", "0x400007", "--window-id", false},
        {{"--root"}, "", "", "XSCREENSAVER_WINDOW", false},  // set but empty: not the root window
    };
    for (const auto& c : cases) {
        LayerStartOptions options = read(c.args, c.env);
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
        EXPECT_EQ(options.action, LayerStartOptions::RUN);
        EXPECT_TRUE(options.hosted);
        EXPECT_EQ(options.window_text, c.window);
        EXPECT_EQ(options.window_source, c.source);
        EXPECT_EQ(options.show_fps, c.fps);
        EXPECT_TRUE(options.program_args.empty());
    }
}

TEST(StartOptions, WindowsSwitchesPassThroughUntouched) {
    const struct {
        std::vector<const char*> args;
        const char* program_args;
        bool fps;
    } cases[] = {
        {{"/s"}, "/s", false},         {{"/p", "1234"}, "/p 1234", false},
        {{"--//s"}, "--//s", false},  // dashes are the switches' separators
        {{"--s"}, "--s", false},       {{"-P", "1234"}, "-P 1234", false},
        {{"/s", "--fps"}, "/s", true}, {{"-", "/c:5678"}, "- /c:5678", false},
    };
    for (const auto& c : cases) {
        LayerStartOptions options = read(c.args, "0x1a00004");
        EXPECT_EQ(options.action, LayerStartOptions::RUN) << c.program_args;
        EXPECT_FALSE(options.hosted) << c.program_args;
        EXPECT_EQ(joined(options.program_args), c.program_args);
        EXPECT_EQ(options.show_fps, c.fps) << c.program_args;
    }
}

// The run the switches ask for, by which the driver is chosen: the letter
// the program itself decides by (the first that is not a separator).
TEST(StartOptions, TheRunIsTheFirstSwitchsLetter) {
    const struct {
        std::vector<const char*> args;
        char run;
    } cases[] = {
        {{"/s"}, 's'},    {{"-P", "1234"}, 'p'}, {{"/l", "1234"}, 'p'},
        {{"--//c"}, 'c'}, {{"/c:5678"}, 'c'},    {{"-", "/S"}, 's'},
        {{}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(read(c.args).program_switch, c.run) << c.args.size();
}

TEST(StartOptions, AnEmptyVariableAloneIsNoDaemon) {
    LayerStartOptions options = read({}, "");
    EXPECT_EQ(options.action, LayerStartOptions::RUN);
    EXPECT_FALSE(options.hosted);
    EXPECT_TRUE(options.program_args.empty());  // the settings dialog
}

TEST(StartOptions, HelpVersionAndMistakesAreSettledBeforeAnyRun) {
    EXPECT_EQ(read({"--help"}).action, LayerStartOptions::HELP);
    EXPECT_EQ(read({"/s", "--version"}).action, LayerStartOptions::VERSION);
    const struct {
        std::vector<const char*> args;
        const char* error;
    } cases[] = {
        {{"--frobnicate"}, "unknown option '--frobnicate' (see --help)"},
        {{"--root", "--colour"}, "unknown option '--colour' (see --help)"},
        {{"--window-id"}, "--window-id needs a window id"},
        {{"--root", "/s"}, "unexpected argument '/s' with --root"},
        {{"--window-id", "12", "extra"}, "unexpected argument 'extra' with --window-id"},
        {{"--colour\x1b]0;title\x07"}, "unknown option '--colour\\x1b]0;title\\x07' (see --help)"},
        {{"--root", "\r/s"}, "unexpected argument '\\r/s' with --root"},
    };
    for (const auto& c : cases) {
        LayerStartOptions options = read(c.args);
        EXPECT_EQ(options.action, LayerStartOptions::USAGE_ERROR) << c.error;
        EXPECT_EQ(options.error, c.error);
    }
}

// A switch the program would end on at once with -1 gets one line naming it.
TEST(StartOptions, SwitchesTheProgramCannotRunHereAreNamed) {
    const struct {
        std::vector<const char*> args;
        const char* error;
    } cases[] = {
        {{"-h"}, "unknown switch '-h' (see --help)"},
        {{"-v"}, "unknown switch '-v' (see --help)"},
        {{"/x"}, "unknown switch '/x' (see --help)"},
        {{"-", "/1", "/s"}, "unknown switch '/1' (see --help)"},  // the first switch decides
        // An argument that the command tail holds in quotes: the program
        // stops at the quote.
        {{" /s"}, "unknown switch ' /s' (a switch is one word, with no space or quote in it; see --help)"},
        {{"/s junk"}, "unknown switch '/s junk' (a switch is one word, with no space or quote in it; see --help)"},
        {{"/s\"x"}, "unknown switch '/s\"x' (a switch is one word, with no space or quote in it; see --help)"},
        {{""}, "unknown switch '' (an empty argument; see --help)"},
        {{"-", "", "/s"}, "unknown switch '' (an empty argument; see --help)"},
        // Repeated escaped: nothing of an argument reaches the terminal raw,
        // and UTF-8 text stays as it is.
        {{"/\ts\n"}, "unknown switch '/\\ts\\n' (a switch is one word, with no space or quote in it; see --help)"},
        {{"/x\x1b[2J\xc2\x9b\x7f"}, "unknown switch '/x\\x1b[2J\\xc2\\x9b\\x7f' (see --help)"},
        {{"/\xff\xc3"}, "unknown switch '/\\xff\\xc3' (see --help)"},
        {{"/\xc3\xa9t\xc3\xa9"}, "unknown switch '/\xc3\xa9t\xc3\xa9' (see --help)"},
        {{"/a"}, "'/a': there is no screen-saver password to change on Linux (see --help)"},
        {{"-A", "1234"}, "'-A': there is no screen-saver password to change on Linux (see --help)"},
    };
    for (const auto& c : cases) {
        LayerStartOptions options = read(c.args);
        EXPECT_EQ(options.action, LayerStartOptions::SWITCH_ERROR) << c.error;
        EXPECT_EQ(options.error, c.error);
    }
}

TEST(StartOptions, WindowIdsAreHexWithPrefixOrDecimalAndNothingElse) {
    const struct {
        const char* text;
        bool valid;
        DWORD id;
    } cases[] = {
        {"0x1a00004", true, 0x1a00004},
        {"0X1A00004", true, 0x1a00004},
        {"27262980", true, 27262980},
        {"4294967295", true, 0xFFFFFFFF},
        {"0xffffffff", true, 0xFFFFFFFF},
        {"4294967296", false, 0},  // does not fit a handle
        {"0x100000000", false, 0},
        {"0", false, 0},
        {"0x0", false, 0},
        {"", false, 0},
        {"0x", false, 0},
        {"abc", false, 0},
        {"12abc", false, 0},
        {" 12", false, 0},
        {"+12", false, 0},
        {"-12", false, 0},
        {"0x-12", false, 0},
        {"0x0x12", false, 0},
        {"99999999999999999999999", false, 0},
    };
    for (const auto& c : cases) {
        DWORD id = 0;
        EXPECT_EQ(layer_parse_window_id(c.text, &id), c.valid) << '"' << c.text << '"';
        if (c.valid) {
            EXPECT_EQ(id, c.id) << c.text;
        }
    }
}

// The program's question, answered by the layer.
TEST(StartOptions, HostedMetricAnswersWhileADaemonHostsTheRun) {
    layer_reset();
    EXPECT_EQ(GetSystemMetrics(layer_hosted_metric), 0);
    HWND desktop = GetDesktopWindow();
    ASSERT_TRUE(IsWindow(desktop));
    layer_set_hosted(desktop);
    EXPECT_NE(GetSystemMetrics(layer_hosted_metric), 0);
    layer_reset();
    EXPECT_EQ(GetSystemMetrics(layer_hosted_metric), 0);
}

}  // namespace
