// The real program on a private X server, driven as a user would drive it.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <algorithm>
#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

#include "program_fixture.h"

namespace {

const char* const saver_class = "WindowsScreenSaverClass";

testing::Environment* const environment = testing::AddGlobalTestEnvironment(new ProgramEnvironment);

class ProgramTest : public ProgramRuns {
protected:
    // A saver run whose window is up with the keyboard and presents frames,
    // so whatever its start stirred up has been through its message loop:
    // still running then, it was not dismissed by start-up noise.
    Window start_saver(Child** child) {
        *child = &run({"/s"});
        Window window = wait_for_class(display, root, saver_class, 10000);
        if (!window || !wait_for_focus(display, window, 10000) || !wait_for_frames(display, 2, 10000)) return None;
        return still_running(**child) ? window : None;
    }
};

// The topmost viewable top-level window, as the server stacks them.
Window topmost_viewable(Display* display) {
    Window root_return, parent, *top = nullptr;
    unsigned count = 0;
    Window topmost = None;
    if (XQueryTree(display, DefaultRootWindow(display), &root_return, &parent, &top, &count)) {
        for (unsigned i = 0; i < count; ++i)
            if (is_viewable(display, top[i])) topmost = top[i];
        XFree(top);
    }
    return topmost;
}

TEST_F(ProgramTest, SaverWindowCoversTheScreenAndStaysOnTop) {
    Child* saver;
    Window window = start_saver(&saver);
    ASSERT_NE(window, None) << read_stderr(*saver);

    EXPECT_EQ(string_property(display, window, "_NET_WM_NAME"), "Screen Saver");
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, 1024);
    EXPECT_EQ(attributes.height, 768);
    EXPECT_TRUE(attributes.override_redirect);

    // Another client's window put over it goes under again.
    XSetWindowAttributes over_attributes{};
    over_attributes.override_redirect = True;
    Window over = XCreateWindow(display, root, 100, 100, 200, 200, 0, CopyFromParent, InputOutput, CopyFromParent,
                                CWOverrideRedirect, &over_attributes);
    XMapRaised(display, over);
    XSync(display, False);
    EXPECT_TRUE(wait_until([&] { return topmost_viewable(display) == window; }, 10000));
    XDestroyWindow(display, over);
    XSync(display, False);
}

struct Dismissal {
    const char* name;
    const char* xdotool_arguments;
};

class SaverDismissal : public ProgramTest, public testing::WithParamInterface<Dismissal> {};

TEST_P(SaverDismissal, EndsTheRunWithZero) {
    ASSERT_TRUE(xdotool("mousemove 500 400"));
    Child* saver;
    ASSERT_NE(start_saver(&saver), None) << read_stderr(*saver);
    ASSERT_TRUE(xdotool(GetParam().xdotool_arguments));
    EXPECT_EQ(wait_exit(saver, 20000), 0) << read_stderr(*saver);
}

INSTANTIATE_TEST_SUITE_P(Input, SaverDismissal,
                         testing::Values(Dismissal{"Letter", "key x"}, Dismissal{"Escape", "key Escape"},
                                         Dismissal{"Shift", "key Shift_L"}, Dismissal{"AltTab", "key alt+Tab"},
                                         Dismissal{"MoveElevenPixels", "mousemove_relative 11 0"},
                                         Dismissal{"MoveSixAndFive", "mousemove_relative 6 5"},
                                         Dismissal{"LeftClick", "click 1"}, Dismissal{"MiddleClick", "click 2"},
                                         Dismissal{"RightClick", "click 3"}),
                         [](const testing::TestParamInfo<Dismissal>& info) { return info.param.name; });

// The picture covers the saver window, so the mouse's motion is the
// display window's: it ends the run only beyond 10 pixels from where it was
// at the start.
TEST_F(ProgramTest, MovesOfTenPixelsLeaveTheSaverRunning) {
    ASSERT_TRUE(xdotool("mousemove 500 400"));
    Child* saver;
    ASSERT_NE(start_saver(&saver), None) << read_stderr(*saver);
    ASSERT_TRUE(xdotool("mousemove_relative 6 4 mousemove_relative -- -12 -8"));
    EXPECT_TRUE(wait_for_frames(display, 2, 10000));  // the input handled
    EXPECT_TRUE(still_running(*saver)) << read_stderr(*saver);
    ASSERT_TRUE(xdotool("key x"));
    EXPECT_EQ(wait_exit(saver, 20000), 0) << read_stderr(*saver);
}

TEST_F(ProgramTest, AnotherClientTakingTheFocusEndsTheSaverWithZero) {
    Child* saver;
    ASSERT_NE(start_saver(&saver), None) << read_stderr(*saver);
    Window other = XCreateSimpleWindow(display, root, 0, 0, 100, 100, 0, 0, 0);
    XMapWindow(display, other);
    XSync(display, False);
    XSetInputFocus(display, other, RevertToParent, CurrentTime);
    XSync(display, False);
    EXPECT_EQ(wait_exit(saver, 20000), 0) << read_stderr(*saver);
    XDestroyWindow(display, other);
    XSync(display, False);
}

// A window manager may put the focus on no window as the saver starts
// (Xwayland's does, before or after the saver takes the keyboard): no other
// program gets the keys, so the user has not left. Also when another client
// held the keyboard at the start and the saver runs without it.
TEST_F(ProgramTest, FocusOnNoWindowLeavesTheSaverRunning) {
    for (bool keyboard_taken : {false, true}) {
        SCOPED_TRACE(keyboard_taken ? "keyboard held by another client" : "keyboard held by the saver");
        if (keyboard_taken) {
            ASSERT_EQ(XGrabKeyboard(display, root, False, GrabModeAsync, GrabModeAsync, CurrentTime), GrabSuccess);
        }
        Child* saver;
        ASSERT_NE(start_saver(&saver), None) << read_stderr(*saver);
        if (keyboard_taken) {
            ASSERT_TRUE(
                wait_until([&] { return read_stderr(*saver).find("could not grab") != std::string::npos; }, 20000));
            XUngrabKeyboard(display, CurrentTime);
        }
        XSetInputFocus(display, None, RevertToPointerRoot, CurrentTime);
        XSync(display, False);
        EXPECT_TRUE(wait_for_frames(display, 2, 10000));  // the focus change handled
        EXPECT_TRUE(still_running(*saver)) << read_stderr(*saver);
        if (!keyboard_taken) {  // without the keyboard no key reaches it: the fixture ends it
            ASSERT_TRUE(xdotool("key x"));
            EXPECT_EQ(wait_exit(saver, 20000), 0) << read_stderr(*saver);
        }
    }
}

TEST_F(ProgramTest, SecondSaverFindsTheFirstRaisesItAndLeaves) {
    Child* first;
    Window window = start_saver(&first);
    ASSERT_NE(window, None) << read_stderr(*first);

    Child& second = run({"/s"});
    EXPECT_EQ(wait_exit(&second, 20000), 0) << read_stderr(second);
    EXPECT_TRUE(still_running(*first));

    // The first one's window is the topmost one, and the only one.
    Window root_return, parent;
    Window* top = nullptr;
    unsigned count = 0;
    ASSERT_TRUE(XQueryTree(display, root, &root_return, &parent, &top, &count));
    int savers = 0;
    for (unsigned i = 0; i < count; ++i)
        if (string_property(display, top[i], "_WIN32_CLASS") == saver_class) ++savers;
    XFree(top);
    EXPECT_EQ(savers, 1);
    EXPECT_EQ(topmost_viewable(display), window);

    ASSERT_TRUE(xdotool("key space"));
    EXPECT_EQ(wait_exit(first, 20000), 0) << read_stderr(*first);
}

TEST_F(ProgramTest, PreviewLivesInsideAnotherProcessWindowUntilThatGoes) {
    XSetWindowAttributes host_attributes{};
    host_attributes.background_pixel = WhitePixel(display, 0);
    host_attributes.override_redirect = True;
    Window host = XCreateWindow(display, root, 50, 60, 300, 200, 0, CopyFromParent, InputOutput, CopyFromParent,
                                CWBackPixel | CWOverrideRedirect, &host_attributes);
    XMapRaised(display, host);
    XSync(display, False);

    Child& preview = run({"/p", std::to_string(host)});
    Window window = wait_for_class(display, host, saver_class, 10000);
    ASSERT_NE(window, None) << read_stderr(preview);
    EXPECT_EQ(string_property(display, window, "_NET_WM_NAME"), "Preview");
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
    EXPECT_EQ(attributes.width, 300);
    EXPECT_EQ(attributes.height, 200);

    // A user working over the preview does not end it.
    ASSERT_TRUE(xdotool("mousemove 200 160"));
    ASSERT_TRUE(xdotool("mousemove 260 200 click 1 click 3 key x key Escape"));
    EXPECT_TRUE(wait_for_frames(display, 2, 10000));  // the input handled
    EXPECT_TRUE(still_running(preview)) << read_stderr(preview);

    // Its parent's end is the preview's ordinary end: nothing to report,
    // though frames were under way when the server took its windows.
    XDestroyWindow(display, host);
    XSync(display, False);
    EXPECT_EQ(wait_exit(&preview, 20000), 0);
    EXPECT_EQ(read_stderr(preview), "");
}

TEST_F(ProgramTest, SwitchesThatNameNoWindowOrModeExitWith255Cleanly) {
    // A handle that certainly names no window: one that was destroyed.
    Window gone = XCreateSimpleWindow(display, root, 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(display, gone);
    XSync(display, False);

    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        // A bad handle is simply "not a window": no X error is reported.
        {{"/p", "0"}, ""},
        {{"/p", "abc"}, ""},
        {{"/p", "12345"}, ""},
        {{"/p", std::to_string(gone)}, ""},
        {{"/p"}, ""},
        // Beyond 32 bits: not the window that the low 32 bits name.
        {{"/p", std::to_string((1ull << 32) + root)}, ""},
        {{"/l", std::to_string((1ull << 32) + root)}, ""},
        // A switch it cannot run here is named, once.
        {{"/x"}, "orrelune: unknown switch '/x' (see --help)\n"},
        {{"-h"}, "orrelune: unknown switch '-h' (see --help)\n"},
        // Arguments that the command tail holds in quotes, where the
        // program stops.
        {{" /s"}, "orrelune: unknown switch ' /s' (a switch is one word, with no space or quote in it; see --help)\n"},
        {{"-", "", "/s"}, "orrelune: unknown switch '' (an empty argument; see --help)\n"},
        {{"/a"}, "orrelune: '/a': there is no screen-saver password to change on Linux (see --help)\n"},
    };
    for (const Case& c : cases) {
        Child& child = run(c.args);
        SCOPED_TRACE(c.args.size() > 1 ? c.args[0] + " " + c.args[1] : c.args[0]);
        EXPECT_EQ(wait_exit(&child, 20000), 255);
        EXPECT_EQ(read_stderr(child), c.error);
    }
    EXPECT_EQ(wait_for_class(display, root, saver_class, 0), None);
}

// Every mode says once that there is no display. The settings dialog then
// ends with -1, as a dialog that can't be created does; the other modes with 1.
TEST_F(ProgramTest, WithoutADisplayItSaysSoOnceAndFails) {
    // A display number with no server behind it.
    int free_number = 1999;
    struct stat st;
    while (stat(("/tmp/.X11-unix/X" + std::to_string(free_number)).c_str(), &st) == 0) ++free_number;

    struct Case {
        std::vector<std::string> args;
        int code;
    };
    const Case cases[] = {{{"/s"}, 1}, {{"/p", "12345"}, 1}, {{"/c"}, 255}, {{}, 255}};
    // A driver named in the environment that can't run is the same: the
    // test's own display is there, but not used.
    // A named driver that lacks what the preview or the dialog needs says
    // that first.
    struct Environment {
        std::vector<std::string> changes;
        const char* said;
        const char* said_for_preview_and_dialog = nullptr;
    };
    const Environment environments[] = {
        {{"DISPLAY"}, "cannot open the X display"},
        {{"DISPLAY=:" + std::to_string(free_number)}, "cannot open the X display"},
        // (A build without the Wayland driver says that instead.)
        {{"ORRELUNE_DRIVER=wayland", "WAYLAND_DISPLAY=orrelune-no-compositor", "WAYLAND_SOCKET"},
         ORRELUNE_WAYLAND ? "cannot connect to the Wayland compositor \"orrelune-no-compositor\""
                          : "ORRELUNE_DRIVER=wayland: this build has no wayland driver",
         ORRELUNE_WAYLAND ? "ORRELUNE_DRIVER=wayland: that driver " : nullptr},
        {{"ORRELUNE_DRIVER=null"}, "ORRELUNE_DRIVER=null: that driver shows nothing"},
        {{"ORRELUNE_DRIVER=vulkan"}, "ORRELUNE_DRIVER=vulkan: no such driver"},
        // A value repeated comes escaped: one line, no escape sequence.
        {{"ORRELUNE_DRIVER=x\n\x1b[31m"}, "ORRELUNE_DRIVER=x\\n\\x1b[31m: no such driver"},
        {{"DISPLAY=:\x1b[31m\n", "ORRELUNE_DRIVER=x11"}, "cannot open the X display \":\\x1b[31m\\n\""},
    };
    for (const Environment& env : environments) {
        for (const Case& c : cases) {
            SCOPED_TRACE(env.changes[0] + (c.args.empty() ? " no switch" : " " + c.args[0]));
            Child& child = run(c.args, env.changes);
            EXPECT_EQ(wait_exit(&child, 10000), c.code);
            std::string text = read_stderr(child);
            bool needs_x = c.args.empty() || c.args[0] != "/s";
            const char* said = needs_x && env.said_for_preview_and_dialog ? env.said_for_preview_and_dialog : env.said;
            EXPECT_NE(text.find(said), std::string::npos) << text;
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        }
    }
}

TEST_F(ProgramTest, ServerGoingAwayEndsTheRunInsteadOfHanging) {
    XServer doomed = start_xserver(640, 480);
    Display* other = XOpenDisplay(doomed.name.c_str());
    ASSERT_NE(other, nullptr);
    Child& saver = run({"/s"}, {"DISPLAY=" + doomed.name});
    Window window = wait_for_class(other, DefaultRootWindow(other), saver_class, 10000);
    XCloseDisplay(other);
    stop_xserver(&doomed);
    setenv("DISPLAY", server.name.c_str(), 1);
    ASSERT_NE(window, None) << read_stderr(saver);

    int code = wait_exit(&saver, 20000);
    EXPECT_GT(code, 0);
    EXPECT_LT(code, 128);
    EXPECT_NE(read_stderr(saver), "");
}

// A server that takes connections and never answers (stopped): every mode
// waits a bounded time, then names it in one line and ends with 1. The runs
// go side by side, each waiting out the program's bound (10 s); then the
// server goes on and a run starts on it as usual.
TEST_F(ProgramTest, AStoppedServerIsNamedWithinABound) {
    XServer stopped = start_xserver(640, 480);
    setenv("DISPLAY", server.name.c_str(), 1);
    const int pid = xvfb_pid(stopped);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(pid, SIGSTOP), 0);
    const std::vector<std::string> env = {"DISPLAY=" + stopped.name, "WAYLAND_DISPLAY", "WAYLAND_SOCKET",
                                          "ORRELUNE_DRIVER"};
    const std::vector<std::string> modes[] = {{"/s"}, {"/p", "12345"}, {"/c"}, {}, {"--root"}, {"--window-id", "42"}};
    std::vector<Child*> children;
    for (const std::vector<std::string>& args : modes) children.push_back(&run(args, env));
    for (size_t i = 0; i < children.size(); ++i) {
        SCOPED_TRACE(modes[i].empty() ? "no switch" : modes[i][0]);
        // Far past the program's bound, so that only a hang runs into it.
        EXPECT_EQ(wait_exit(children[i], 60000), 1);
        EXPECT_EQ(read_stderr(*children[i]),
                  "orrelune: the X display \"" + stopped.name + "\" did not answer within 10 s\n");
    }
    ASSERT_EQ(kill(pid, SIGCONT), 0);
    Child& live = run({"/s"}, env);
    Display* other = XOpenDisplay(stopped.name.c_str());
    ASSERT_NE(other, nullptr);
    EXPECT_NE(wait_for_class(other, DefaultRootWindow(other), saver_class, 20000), None) << read_stderr(live);
    EXPECT_TRUE(wait_for_frames(other, 2, 20000));
    EXPECT_TRUE(still_running(live)) << read_stderr(live);
    end_runs();
    XCloseDisplay(other);
    stop_xserver(&stopped);
}

// The program's own name cannot choose the mode, whatever it holds. With no
// display the mode shows in the exit code: the dialog's 255 (-1), the
// saver's 1.
TEST_F(ProgramTest, AQuoteInTheProgramsNameDoesNotChangeTheMode) {
    running.push_back(spawn({"/bin/bash", "-c", "exec -a 'x\" /s' \"$0\" /c", program}, {"DISPLAY"}));
    EXPECT_EQ(wait_exit(&running.back(), 10000), 255) << read_stderr(running.back());
}

// The server going away at any moment of start-up: the run ends with the
// one line that says so and exit 1, never with a fault. The moments are
// spread over the time a start-up takes here and now (measured first, to
// the saver window's first frame), from before the program connects to
// after its picture is up.
TEST_F(ProgramTest, ServerGoingAwayDuringStartUpEndsWithOneLine) {
    const int moments = 12;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"/s"}, {"--root"}}) {
        SCOPED_TRACE(args[0]);
        XServer measured = start_xserver(640, 480);
        Display* other = XOpenDisplay(measured.name.c_str());
        ASSERT_NE(other, nullptr);
        const auto started = std::chrono::steady_clock::now();
        Child& first = run(args, {"DISPLAY=" + measured.name});
        ASSERT_NE(wait_for_class(other, DefaultRootWindow(other), saver_class, 20000), None) << read_stderr(first);
        EXPECT_TRUE(wait_for_frames(other, 1, 20000));
        const auto span = std::chrono::steady_clock::now() - started;
        kill_child(&first);
        XCloseDisplay(other);
        stop_xserver(&measured);

        int lost = 0;
        for (int i = 0; i < moments; ++i) {
            XServer doomed = start_xserver(640, 480);
            const auto start = std::chrono::steady_clock::now();
            Child& child = run(args, {"DISPLAY=" + doomed.name});
            std::this_thread::sleep_until(start + span * i / (moments - 1));
            stop_xserver(&doomed);
            int code = wait_exit(&child, 20000);
            std::string text = read_stderr(child);
            SCOPED_TRACE("killed after " + std::to_string(i) + "/" + std::to_string(moments - 1) + " of start-up");
            EXPECT_EQ(code, 1) << text;
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
            EXPECT_TRUE(text.find("lost the connection") != std::string::npos ||
                        text.find("cannot open the X display") != std::string::npos)
                << text;
            if (text.find("lost the connection") != std::string::npos) ++lost;
        }
        // Some runs were killed while connected (the rest before connecting).
        EXPECT_GT(lost, 0);
    }
    setenv("DISPLAY", server.name.c_str(), 1);
}

}  // namespace

// ---- The display window inside the saver, and the display-mode prompt ----

namespace {

// The top-level window titled `title` (a message box), or None after timeout_ms.
Window wait_for_title(Display* display, const char* title, int timeout_ms) {
    for (int waited = 0;; waited += 50) {
        Window root_return, parent, *top = nullptr;
        unsigned count = 0;
        Window found = None;
        if (XQueryTree(display, DefaultRootWindow(display), &root_return, &parent, &top, &count)) {
            for (unsigned i = 0; i < count && !found; ++i)
                if (string_property(display, top[i], "_NET_WM_NAME") == title && is_viewable(display, top[i]))
                    found = top[i];
            XFree(top);
        }
        if (found || waited >= timeout_ms) return found;
        sleep_ms(50);
    }
}

}  // namespace

class DisplayTest : public ProgramTest {
protected:
    void TearDown() override {
        remove_settings();
        ProgramTest::TearDown();
    }
};

TEST_F(DisplayTest, PictureCoversTheScreenInsideTheSaverWithTheCursorHidden) {
    ASSERT_TRUE(xdotool("mousemove 500 400"));
    Child* saver;
    Window window = start_saver(&saver);
    ASSERT_NE(window, None) << read_stderr(*saver);
    Window picture = wait_for_class(display, window, "OpenGL", 20000);
    ASSERT_NE(picture, None);
    EXPECT_EQ(string_property(display, picture, "_NET_WM_NAME"), "Orrelune");
    XWindowAttributes attributes = attributes_of(display, picture);
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, 1024);
    EXPECT_EQ(attributes.height, 768);
    EXPECT_FALSE(cursor_visible(display));
    ASSERT_TRUE(xdotool("key x"));
    EXPECT_EQ(wait_exit(saver, 20000), 0) << read_stderr(*saver);
}

TEST_F(DisplayTest, RefusedModeAsksAndNoEndsTheRun) {
    store_settings(2001, 1000);  // 640 x 480: this server offers only its own size
    Child& saver = run({"/s"});
    Window prompt = wait_for_title(display, "Brix GL", 10000);
    ASSERT_NE(prompt, None) << read_stderr(saver);
    ASSERT_TRUE(xdotool("key n"));
    ASSERT_NE(wait_for_title(display, "ERROR", 20000), None) << read_stderr(saver);
    ASSERT_TRUE(xdotool("key Return"));
    EXPECT_EQ(wait_exit(&saver, 20000), 0) << read_stderr(saver);
}

TEST_F(DisplayTest, RefusedModeYesGoesOnWithTheChosenSizeInTheCorner) {
    store_settings(2001, 1000);
    Child& saver = run({"/s"});
    ASSERT_NE(wait_for_title(display, "Brix GL", 10000), None) << read_stderr(saver);
    ASSERT_TRUE(xdotool("key y"));
    Window window = wait_for_class(display, DefaultRootWindow(display), saver_class, 20000);
    ASSERT_NE(window, None);
    ASSERT_TRUE(wait_for_frames(display, 2, 10000));
    ASSERT_TRUE(still_running(saver)) << read_stderr(saver);
    Window picture = wait_for_class(display, window, "OpenGL", 20000);
    ASSERT_NE(picture, None);
    XWindowAttributes attributes = attributes_of(display, picture);
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, 640);
    EXPECT_EQ(attributes.height, 480);
    ASSERT_TRUE(xdotool("key x"));
    EXPECT_EQ(wait_exit(&saver, 20000), 0) << read_stderr(saver);
}

TEST_F(DisplayTest, PreviewIsASmallWindowThatLeavesModeAndCursorAlone) {
    store_settings(2006, 1001);  // no effect on a small window
    XSetWindowAttributes host_attributes{};
    host_attributes.override_redirect = True;
    Window host = XCreateWindow(display, DefaultRootWindow(display), 50, 60, 300, 200, 0, CopyFromParent, InputOutput,
                                CopyFromParent, CWOverrideRedirect, &host_attributes);
    XMapRaised(display, host);
    XSync(display, False);
    Child& preview = run({"/p", std::to_string(host)});
    Window window = wait_for_class(display, host, saver_class, 10000);
    ASSERT_NE(window, None) << read_stderr(preview);
    Window picture = wait_for_class(display, window, "OpenGL", 20000);
    ASSERT_NE(picture, None);
    XWindowAttributes attributes = attributes_of(display, picture);
    EXPECT_EQ(attributes.width, 300);
    EXPECT_EQ(attributes.height, 200);
    EXPECT_EQ(wait_for_title(display, "Brix GL", 300), None);
    // The pointer over the picture, which goes on (frames) and shows it.
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, 200, 160);
    XSync(display, False);
    ASSERT_TRUE(wait_for_frames(display, 2, 10000));
    EXPECT_EQ(pointer_position(display), std::make_pair(200, 160));
    EXPECT_TRUE(cursor_visible(display));
    EXPECT_EQ(DisplayWidth(display, 0), 1024);
    XDestroyWindow(display, host);
    XSync(display, False);
    EXPECT_EQ(wait_exit(&preview, 20000), 0);
    EXPECT_EQ(read_stderr(preview), "");
}

// Frames keep coming at the frame clock's pace: the picture moves between
// two looks a moment apart (the background alone scrolls every tick).
TEST_F(DisplayTest, FramesKeepBeingPresented) {
    Child* saver;
    Window window = start_saver(&saver);
    ASSERT_NE(window, None) << read_stderr(*saver);
    EXPECT_TRUE(wait_for_frames(display, 10, 20000)) << "the picture stood still";
    ASSERT_TRUE(xdotool("key Escape"));
    EXPECT_EQ(wait_exit(saver, 20000), 0) << read_stderr(*saver);
}
