// The program hosted by a screen-saver daemon, as the daemon and other
// clients see it: it draws inside the window it is given and nowhere else,
// leaves the screen, the input and the cursor to the daemon, follows the
// window's size, and ends at once when told to or when the window goes.
#include <gtest/gtest.h>
#include <chrono>
#include <thread>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "program_fixture.h"

namespace {

const int screen_width = 1024, screen_height = 768;
const unsigned long host_colour = 0x336699;

// A stored full-screen choice that this screen cannot show: a hosted run
// must not care (no mode change, no "Brix GL" prompt).
class HostedEnvironment : public ProgramEnvironment {
public:
    HostedEnvironment() : ProgramEnvironment(screen_width, screen_height) {}
    void SetUp() override {
        ProgramEnvironment::SetUp();
        store_settings(2006, 1001);
    }
};
testing::Environment* const environment = testing::AddGlobalTestEnvironment(new HostedEnvironment);

std::string hex(Window window) {
    char text[32];
    snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

// The screen as the server shows it now, one pixel per entry.
std::vector<unsigned long> screenshot(Display* display) {
    XImage* image =
        XGetImage(display, DefaultRootWindow(display), 0, 0, screen_width, screen_height, AllPlanes, ZPixmap);
    std::vector<unsigned long> pixels;
    pixels.reserve(screen_width * screen_height);
    for (int y = 0; y < screen_height; ++y)
        for (int x = 0; x < screen_width; ++x) pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    return pixels;
}

std::vector<Window> children(Display* display, Window window) {
    Window root_return, parent, *list = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, window, &root_return, &parent, &list, &count)) result.assign(list, list + count);
    if (list) XFree(list);
    return result;
}

class HostedTest : public ProgramRuns {
protected:
    void TearDown() override {
        end_runs();
        for (Window window : hosts) XDestroyWindow(display, window);
        ProgramRuns::TearDown();
    }

    // A window of another client, as a daemon makes one for the saver.
    Window make_host(int x, int y, int width, int height) {
        XSetWindowAttributes attributes{};
        attributes.background_pixel = host_colour;
        attributes.override_redirect = True;
        Window window = XCreateWindow(display, root, x, y, width, height, 0, CopyFromParent, InputOutput,
                                      CopyFromParent, CWBackPixel | CWOverrideRedirect, &attributes);
        XMapRaised(display, window);
        XSync(display, False);
        hosts.push_back(window);
        return window;
    }

    // The picture: the program's "OpenGL" window somewhere inside `host`,
    // once it shows. None if it does not come.
    Window wait_for_picture(Window host) {
        Window found = None;
        wait_until(
            [&] {
                for (Window saver : children(display, host))
                    for (Window picture : children(display, saver))
                        if (string_property(display, picture, "_WIN32_CLASS") == "OpenGL" &&
                            is_viewable(display, picture))
                            found = picture;
                return found != None;
            },
            10000);
        return found;
    }

    // Whether the picture has been drawn over the host at (x, y): the host's
    // own colour is gone from almost all of its area.
    bool wait_drawn(int x, int y, int width, int height) {
        return wait_until(
            [&] {
                std::vector<unsigned long> now = screenshot(display);
                size_t covered = 0;
                for (int py = y; py < y + height; ++py)
                    for (int px = x; px < x + width; ++px) covered += now[py * screen_width + px] != host_colour;
                return covered > size_t(width) * height * 9 / 10;
            },
            10000);
    }

    std::vector<Window> hosts;
};

struct HostedForm {
    const char* name;
    std::function<std::vector<std::string>(Window)> args;
    std::function<std::vector<std::string>(Window)> env;
};

std::vector<std::string> no_env(Window) {
    return {"XSCREENSAVER_WINDOW"};
}

const HostedForm hosted_forms[] = {
    {"RootWithHexInTheEnvironment", [](Window) { return std::vector<std::string>{"--root"}; },
     [](Window w) { return std::vector<std::string>{"XSCREENSAVER_WINDOW=" + hex(w)}; }},
    {"RootWithDecimalInTheEnvironment", [](Window) { return std::vector<std::string>{"-root"}; },
     [](Window w) { return std::vector<std::string>{"XSCREENSAVER_WINDOW=" + std::to_string(w)}; }},
    {"NoArgumentsWithTheEnvironment", [](Window) { return std::vector<std::string>{}; },
     [](Window w) { return std::vector<std::string>{"XSCREENSAVER_WINDOW=" + std::to_string(w)}; }},
    {"WindowIdInHex",
     [](Window w) {
         return std::vector<std::string>{"--window-id", hex(w)};
     },
     no_env},
    {"WindowIdInDecimal",
     [](Window w) {
         return std::vector<std::string>{"-window-id", std::to_string(w)};
     },
     no_env},
    // XScreenSaver's settings program: the programs: line's command, and the
    // preview's own window.
    {"RootAndWindowIdFromTheSettingsProgram",
     [](Window w) {
         return std::vector<std::string>{"--root", "--window-id", hex(w)};
     },
     [](Window) { return std::vector<std::string>{"XSCREENSAVER_WINDOW=0x1"}; }},
};

class HostedForms : public HostedTest, public testing::WithParamInterface<HostedForm> {};

TEST_P(HostedForms, DrawInsideTheWindowAndNowhereElse) {
    const int x = 100, y = 80, width = 700, height = 500;  // wider than 640: not a small window
    Window host = make_host(x, y, width, height);
    ASSERT_TRUE(xdotool("mousemove 300 300"));
    std::vector<unsigned long> before = screenshot(display);
    Child& saver = run(GetParam().args(host), GetParam().env(host));

    Window picture = wait_for_picture(host);
    ASSERT_NE(picture, None) << read_stderr(saver);
    XWindowAttributes attributes = attributes_of(display, picture);
    EXPECT_EQ(attributes.width, width);
    EXPECT_EQ(attributes.height, height);

    auto inside = [&](int i) {
        int px = i % screen_width, py = i / screen_width;
        return px >= x && px < x + width && py >= y && py < y + height;
    };
    ASSERT_TRUE(wait_drawn(x, y, width, height)) << read_stderr(saver);
    // And nothing else on the screen changed: no window of its own, no box.
    std::vector<unsigned long> now = screenshot(display);
    size_t changed_outside = 0;
    for (size_t i = 0; i < now.size(); ++i) changed_outside += !inside((int)i) && now[i] != before[i];
    EXPECT_EQ(changed_outside, 0u);
    for (Window top : children(display, root))
        EXPECT_TRUE(top == host || string_property(display, top, "_WIN32_CLASS").empty()) << hex(top);
    EXPECT_TRUE(still_running(saver)) << read_stderr(saver);
    EXPECT_EQ(read_stderr(saver), "");
}

INSTANTIATE_TEST_SUITE_P(Daemons, HostedForms, testing::ValuesIn(hosted_forms),
                         [](const testing::TestParamInfo<HostedForm>& info) { return info.param.name; });

// The daemon owns the input: others can take the keyboard and the pointer
// while the saver runs, and no input ends it; the cursor is left as it was.
TEST_F(HostedTest, InputAndCursorStayTheDaemons) {
    Window host = make_host(0, 0, screen_width, screen_height);
    Child& saver = run({"--root"}, {"XSCREENSAVER_WINDOW=" + hex(host)});
    ASSERT_NE(wait_for_picture(host), None) << read_stderr(saver);

    EXPECT_EQ(XGrabKeyboard(display, host, False, GrabModeAsync, GrabModeAsync, CurrentTime), GrabSuccess);
    EXPECT_EQ(
        XGrabPointer(display, host, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime),
        GrabSuccess);
    XUngrabPointer(display, CurrentTime);
    XUngrabKeyboard(display, CurrentTime);
    XSync(display, False);

    XWarpPointer(display, None, root, 0, 0, 0, 0, 500, 400);
    XSync(display, False);
    EXPECT_TRUE(cursor_visible(display));
    ASSERT_TRUE(xdotool("mousemove 600 500 click 1 click 3 key Escape key x"));
    XSetInputFocus(display, host, RevertToParent, CurrentTime);
    ASSERT_TRUE(xdotool("key Escape key space"));
    EXPECT_TRUE(wait_for_frames(display, 3, 20000));  // a close would be at most a few frames away
    EXPECT_TRUE(still_running(saver)) << read_stderr(saver);
    EXPECT_TRUE(cursor_visible(display));
}

TEST_F(HostedTest, PictureFollowsTheWindowsSize) {
    Window host = make_host(0, 0, 800, 600);
    Child& saver = run({"--window-id", hex(host)}, {"XSCREENSAVER_WINDOW"});
    Window picture = wait_for_picture(host);
    ASSERT_NE(picture, None) << read_stderr(saver);
    const int sizes[][2] = {{1024, 700}, {320, 200}};  // larger, then smaller than at start
    for (const auto& size : sizes) {
        XResizeWindow(display, host, size[0], size[1]);
        XSync(display, False);
        EXPECT_TRUE(wait_until(
            [&] {
                XWindowAttributes a = attributes_of(display, picture);
                return a.width == size[0] && a.height == size[1];
            },
            10000))
            << size[0] << "x" << size[1];
    }
    EXPECT_TRUE(still_running(saver));
}

struct Ending {
    const char* name;
    int signal;
    const char* starter;  // shell run before the program: what the daemon may have left
};

class HostedEndings : public HostedTest, public testing::WithParamInterface<Ending> {};

// The daemon's signal ends the run at once, and nothing of it is left on
// the server. A starter that ignored the signal does not make it immortal.
TEST_P(HostedEndings, SignalEndsTheRunAndLeavesNothing) {
    Window host = make_host(0, 0, screen_width, screen_height);
    std::string command = std::string(GetParam().starter) + " exec '" + program + "' --window-id " + hex(host);
    running.push_back(spawn({"/bin/sh", "-c", command}, {}));
    Child& saver = running.back();
    ASSERT_NE(wait_for_picture(host), None) << read_stderr(saver);
    kill(saver.pid, GetParam().signal);
    EXPECT_EQ(wait_exit(&saver, 5000), 128 + GetParam().signal) << read_stderr(saver);
    EXPECT_TRUE(wait_until([&] { return children(display, host).empty(); }, 5000));
    EXPECT_EQ(read_stderr(saver), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, HostedEndings,
                         testing::Values(Ending{"Term", SIGTERM, ""}, Ending{"Int", SIGINT, ""},
                                         Ending{"Hup", SIGHUP, ""},
                                         Ending{"TermIgnoredByTheStarter", SIGTERM, "trap '' TERM;"}),
                         [](const testing::TestParamInfo<Ending>& info) { return info.param.name; });

TEST_F(HostedTest, WindowDestroyedEndsTheRunWithZeroAndNoError) {
    Window host = make_host(0, 0, screen_width, screen_height);
    Child& saver = run({"--root"}, {"XSCREENSAVER_WINDOW=" + std::to_string(host)});
    ASSERT_NE(wait_for_picture(host), None) << read_stderr(saver);
    // Frames are being presented when the window goes.
    ASSERT_TRUE(wait_drawn(0, 0, screen_width, screen_height)) << read_stderr(saver);
    XDestroyWindow(display, host);
    XSync(display, False);
    hosts.clear();
    EXPECT_EQ(wait_exit(&saver, 5000), 0);
    EXPECT_EQ(read_stderr(saver), "");
}

// The daemon's window going at any moment of start-up. Before the layer
// has looked at it, it names no window; before the saver window is made
// inside it, one line says that it went; after that its end is the run's
// ordinary end (exit 0), where the display window, if it was still to be
// made, could not be (the program's own line). Never a GL failure, never
// silence with a failing code. The moments are spread over the time a
// start-up takes here and now.
TEST_F(HostedTest, WindowDestroyedDuringStartUpEndsWithOneReason) {
    const int moments = 12;
    Window measured = make_host(0, 0, screen_width, screen_height);
    const auto started = std::chrono::steady_clock::now();
    Child& first = run({"--window-id", hex(measured)}, {});
    ASSERT_NE(wait_for_picture(measured), None) << read_stderr(first);
    ASSERT_TRUE(wait_drawn(0, 0, screen_width, screen_height)) << read_stderr(first);
    const auto span = std::chrono::steady_clock::now() - started;
    kill_child(&first);

    for (int i = 0; i < moments; ++i) {
        Window host = make_host(0, 0, screen_width, screen_height);
        const auto start = std::chrono::steady_clock::now();
        Child& saver = run({"--window-id", hex(host)}, {});
        std::this_thread::sleep_until(start + span * i / (moments - 1));
        XDestroyWindow(display, host);
        XSync(display, False);
        int code = wait_exit(&saver, 10000);
        std::string text = read_stderr(saver);
        SCOPED_TRACE("destroyed after " + std::to_string(i) + "/" + std::to_string(moments - 1) + " of start-up");
        if (code == 0) {
            EXPECT_TRUE(text == "" || text == "orrelune: Error: Window creation error.\n") << text;
        } else {
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
            if (code == 1)
                EXPECT_NE(text.find("there is no window " + hex(host)), std::string::npos) << text;
            else
                EXPECT_NE(text.find("cannot draw inside window " + hex(host) + ": it went away"), std::string::npos)
                    << text;
        }
    }
    hosts.clear();
}

// The peak memory of a process, in MB, from its status.
long peak_mb(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6)) / 1024;
    return -1;
}

// A daemon's window far larger than GL can draw: the picture is bounded in
// size and memory, drawn in the window's top-left corner, and the run goes on.
TEST_F(HostedTest, AWindowBeyondWhatGLCanDrawGetsABoundedPicture) {
    Window host = make_host(0, 0, 40000, 30000);
    Child& saver = run({"--window-id", hex(host)}, {});
    Window picture = wait_for_picture(host);
    ASSERT_NE(picture, None) << read_stderr(saver);
    XWindowAttributes attributes = attributes_of(display, picture);
    EXPECT_LE(attributes.width, 16384);
    EXPECT_LE(attributes.height, 16384);
    EXPECT_LE(double(attributes.width) * attributes.height, 8192.0 * 8192.0);
    EXPECT_TRUE(wait_drawn(0, 0, screen_width, screen_height)) << read_stderr(saver);
    EXPECT_TRUE(still_running(saver)) << read_stderr(saver);
    // Colour and depth buffers and the image that presents them: well below
    // the 2^32 bytes of pixels that such a window would take whole.
    EXPECT_LT(peak_mb(saver.pid), 1500);
    EXPECT_EQ(read_stderr(saver), "");
}

TEST_F(HostedTest, FrameRateShowsInTheBottomLeftCorner) {
    Window host = make_host(0, 0, screen_width, screen_height);
    Child& saver = run({"--root", "--fps"}, {"XSCREENSAVER_WINDOW=" + hex(host)});
    ASSERT_NE(wait_for_picture(host), None) << read_stderr(saver);
    // Light text on its own black ground in the corner: only those two
    // colours there, and enough of the light one to be letters. The area
    // looked at is inside the ground drawn with the smallest font (6 x 13
    // "fixed", which every X server has), 8 pixels from the corner.
    const int left = 12, top = screen_height - 25, width = 40, height = 12;
    bool shown = wait_until(
        [&] {
            std::vector<unsigned long> now = screenshot(display);
            int light = 0, other = 0;
            for (int py = top; py < top + height; ++py)
                for (int px = left; px < left + width; ++px) {
                    unsigned long pixel = now[py * screen_width + px];
                    if (pixel == 0xFFFFFF)
                        ++light;
                    else if (pixel != 0)
                        ++other;
                }
            return light >= 20 && other == 0;
        },
        10000);
    EXPECT_TRUE(shown) << read_stderr(saver);
}

// With the frame rate shown, the run also says how it draws the Sun: in one
// pass where the GL samples several textures at once, in three where it is
// told to offer no more than OpenGL 1.1 without multitexture.
TEST_F(HostedTest, FrameRateRunTellsHowTheSunIsDrawn) {
    struct Case {
        std::vector<std::string> env;
        const char* line;
    };
    const Case cases[] = {
        {{}, "orrelune: the sun in one pass (multitexture)\n"},
        {{"MESA_EXTENSION_OVERRIDE=-GL_ARB_multitexture", "MESA_GL_VERSION_OVERRIDE=1.1"},
         "orrelune: the sun in three passes (one texture at a time)\n"},
    };
    for (const Case& c : cases) {
        Window host = make_host(0, 0, screen_width, screen_height);
        std::vector<std::string> env = c.env;
        env.push_back("XSCREENSAVER_WINDOW=" + hex(host));
        Child& saver = run({"--root", "--fps"}, env);
        EXPECT_TRUE(wait_until([&] { return read_stderr(saver).find(c.line) != std::string::npos; }, 20000))
            << c.line << " not in: " << read_stderr(saver);
        kill_child(&saver);
    }
}

// Bad windows and command lines: one line that says what is wrong, and an
// exit code that is not a success; no window is made.
TEST_F(HostedTest, BadWindowsAndOptionsGetOneClearLine) {
    Window gone = XCreateSimpleWindow(display, root, 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(display, gone);
    XSetWindowAttributes no_attributes{};
    Window input_only =
        XCreateWindow(display, root, 0, 0, 100, 100, 0, 0, InputOnly, CopyFromParent, 0, &no_attributes);
    hosts.push_back(input_only);
    XSync(display, False);
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> env;
        int code;
        std::string says;
    } cases[] = {
        {{"--root"}, {"XSCREENSAVER_WINDOW=0xnothex"}, 2, "XSCREENSAVER_WINDOW \"0xnothex\" is not a window id"},
        {{"--root"}, {"XSCREENSAVER_WINDOW="}, 2, "XSCREENSAVER_WINDOW \"\" is not a window id"},
        {{"-root"}, {"XSCREENSAVER_WINDOW=12abc"}, 2, "XSCREENSAVER_WINDOW \"12abc\" is not a window id"},
        {{"--root"}, {"XSCREENSAVER_WINDOW=" + hex(gone)}, 1, "there is no window " + hex(gone)},
        {{"--window-id", std::to_string(gone)}, {}, 1, "there is no window " + hex(gone)},
        {{"--window-id", "0"}, {}, 2, "--window-id \"0\" is not a window id"},
        // What the line repeats comes escaped: one line, no escape sequence.
        {{"--window-id", "1\n\x1b[2J"}, {}, 2, "--window-id \"1\\n\\x1b[2J\" is not a window id"},
        {{"--root"},
         {"XSCREENSAVER_WINDOW=\x1b]0;title\x07"},
         2,
         "XSCREENSAVER_WINDOW \"\\x1b]0;title\\x07\" is not a window id"},
        {{"--window-id"}, {}, 2, "--window-id needs a window id"},
        {{"--colour", "red"}, {}, 2, "unknown option '--colour'"},
        {{"--root", "/s"}, {}, 2, "unexpected argument '/s' with --root"},
        // A window that cannot show a picture: as a preview window that names no window.
        {{"--window-id", hex(input_only)},
         {},
         255,
         "cannot draw inside window " + hex(input_only) + ": it is an input-only"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        Child& child = run(c.args, c.env);
        EXPECT_EQ(wait_exit(&child, 10000), c.code);
        std::string text = read_stderr(child);
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    }
    for (Window top : children(display, root)) EXPECT_EQ(string_property(display, top, "_WIN32_CLASS"), "");
    EXPECT_EQ(children(display, input_only).size(), 0u);

    for (const char* option : {"--help", "--version"}) {
        Child& child = run({option}, {});
        EXPECT_EQ(wait_exit(&child, 10000), 0) << option;
        EXPECT_EQ(read_stderr(child), "") << option;
    }
}

}  // namespace
