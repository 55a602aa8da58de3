// The program on a private headless sway, as a user of a Wayland desktop
// meets it: the picture on every output, the run's end on input and on
// signals, and the choice between Wayland and X.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <sys/wait.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>

#include "e2e_support.h"
#include "sway_support.h"

namespace {

const char saver_class[] = "WindowsScreenSaverClass";
const int not_yet = -1;

// The child's exit code once it ends within timeout_ms, else not_yet (and
// it goes on running).
int ended(Child* child, int timeout_ms) {
    int status = 0;
    if (!child->pid || !wait_until([&] { return waitpid(child->pid, &status, WNOHANG) == child->pid; }, timeout_ms))
        return not_yet;
    child->pid = 0;
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// The program's picture covers the output (the desktop's colour is nearly
// gone) and moves.
bool shows_picture(const Sway& sway, const std::string& output) {
    Picture first, second;
    return screenshot(sway, output, &first) && share_unlike(first, sway_background) > 0.95 &&
           wait_until([&] { return screenshot(sway, output, &second) && second.rgb != first.rgb; }, 10000) &&
           share_unlike(second, sway_background) > 0.95;
}

bool wait_for_picture(const Sway& sway, const std::string& output) {
    return wait_until([&] { return shows_picture(sway, output); }, 30000);
}

// Frames drawn after the input was sent show that the program has handled it.
bool draws_on(const Sway& sway, const std::string& output) {
    return shows_picture(sway, output) && shows_picture(sway, output);
}

class WaylandRun : public ::testing::Test {
public:
    void SetUp() override {
        sway = start_sway();
        pointer = start_pointer(sway);
        output = sway_outputs(sway).at(0);
    }
    void TearDown() override {
        kill_child(&saver);
        stop_pointer(&pointer);
        stop_sway(&sway);
    }
    void start_saver(const std::vector<std::string>& env = {}) {
        std::vector<std::string> changes = sway_env(sway);
        changes.insert(changes.end(), env.begin(), env.end());
        saver = spawn({ORRELUNE_PATH, "/s"}, changes);
    }
    // A key through wtype: each run makes a new keyboard, which the program
    // may bind only after the key went by; so the key comes again, with more
    // time to bind, until the run ends.
    int end_with_key(const std::string& key) {
        for (int attempt = 1; attempt <= 8; ++attempt) {
            press_key(sway, key, 250 * attempt);
            int code = ended(&saver, 3000);
            if (code != not_yet) return code;
        }
        return not_yet;
    }

    Sway sway;
    VirtualPointer pointer;
    std::string output;
    Child saver;
};

// The rows an output's picture reaches, from the first to the last that is
// not all black, as a share of its height: the star field reaches every row,
// a picture drawn at a smaller size leaves black rows above it.
double rows_reached(const Picture& picture) {
    int first = -1, last = -1;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const unsigned char* p = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
            if (p[0] || p[1] || p[2]) {
                if (first < 0) first = y;
                last = y;
                break;
            }
        }
    return first < 0 ? 0 : static_cast<double>(last - first + 1) / picture.height;
}

// Outputs of two sizes: the picture is drawn at the larger one's size and
// copied to the other, and fills each.
TEST_F(WaylandRun, PictureOnEveryOutputAndOnOneAddedDuringTheRun) {
    std::string second = add_output(&sway);
    ASSERT_FALSE(second.empty());
    ASSERT_TRUE(sway_command(sway, "swaymsg output " + second + " resolution 800x600 >/dev/null"));
    start_saver();
    EXPECT_TRUE(wait_for_picture(sway, output));
    EXPECT_TRUE(wait_for_picture(sway, second));
    for (const std::string& name : {output, second}) {
        Picture shown;
        ASSERT_TRUE(screenshot(sway, name, &shown));
        EXPECT_GT(rows_reached(shown), 0.95) << name << " " << shown.width << "x" << shown.height;
    }
    std::string third = add_output(&sway);
    ASSERT_FALSE(third.empty());
    EXPECT_TRUE(wait_for_picture(sway, third)) << "an output added during the run gets the picture";
    ASSERT_EQ(ended(&saver, 0), not_yet);
    EXPECT_EQ(end_with_key("Escape"), 0) << read_stderr(saver);
}

// An output that goes takes its picture with it and the run goes on on the
// others; when it comes back, the picture does too. Which one goes matters:
// the first is the one the picture is drawn on and copied from.
TEST_F(WaylandRun, AnOutputThatGoesDoesNotEndTheRun) {
    std::string second = add_output(&sway);
    ASSERT_FALSE(second.empty());
    start_saver();
    ASSERT_TRUE(wait_for_picture(sway, output));
    ASSERT_TRUE(wait_for_picture(sway, second));
    for (const std::string& going : {second, output}) {
        SCOPED_TRACE(going);
        const std::string& staying = going == output ? second : output;
        ASSERT_TRUE(sway_command(sway, "swaymsg output " + going + " disable"));
        EXPECT_TRUE(draws_on(sway, staying));
        ASSERT_EQ(ended(&saver, 0), not_yet) << read_stderr(saver);
        ASSERT_TRUE(sway_command(sway, "swaymsg output " + going + " enable"));
        EXPECT_TRUE(wait_for_picture(sway, going));
    }
    EXPECT_EQ(end_with_key("Escape"), 0) << read_stderr(saver);
}

// ---- pictures compared ----

// The x, y, width x height part of a picture scaled to width x height
// (bilinear, as a compositor or a blit scales).
Picture scaled(const Picture& from, int x, int y, int width, int height, int to_width, int to_height) {
    Picture to;
    to.width = to_width;
    to.height = to_height;
    to.rgb.resize(static_cast<size_t>(to_width) * to_height * 3);
    for (int ty = 0; ty < to_height; ++ty)
        for (int tx = 0; tx < to_width; ++tx) {
            const double fx = std::clamp(x + (tx + 0.5) * width / to_width - 0.5, 0.0, from.width - 1.0);
            const double fy = std::clamp(y + (ty + 0.5) * height / to_height - 0.5, 0.0, from.height - 1.0);
            const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
            const int x1 = std::min(x0 + 1, from.width - 1), y1 = std::min(y0 + 1, from.height - 1);
            const double ax = fx - x0, ay = fy - y0;
            auto at = [&](int px, int py, int c) {
                return from.rgb[(static_cast<size_t>(py) * from.width + px) * 3 + c];
            };
            for (int c = 0; c < 3; ++c)
                to.rgb[(static_cast<size_t>(ty) * to_width + tx) * 3 + c] =
                    static_cast<unsigned char>((at(x0, y0, c) * (1 - ax) + at(x1, y0, c) * ax) * (1 - ay) +
                                               (at(x0, y1, c) * (1 - ax) + at(x1, y1, c) * ax) * ay + 0.5);
        }
    return to;
}

// The mean difference of two pictures of one size, per colour channel.
double mean_difference(const Picture& a, const Picture& b) {
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return 255;
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(a.rgb[i] - b.rgb[i]);
    return sum / static_cast<double>(a.rgb.size());
}

// The detail a picture has that one drawn at half its size and enlarged
// lacks: how far each pixel is from its neighbour in the same 2x2 block
// (an enlarged pixel is the whole block, or a blend across it).
double detail_within_blocks(const Picture& picture) {
    auto at = [&](int x, int y, int c) { return picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3 + c]; };
    double sum = 0;
    size_t count = 0;
    for (int y = 0; y + 1 < picture.height; y += 2)
        for (int x = 0; x + 1 < picture.width; x += 2)
            for (int c = 0; c < 3; ++c) {
                sum += std::abs(at(x, y, c) - at(x + 1, y, c)) + std::abs(at(x, y, c) - at(x, y + 1, c));
                count += 2;
            }
    return count ? sum / static_cast<double>(count) : 0;
}

// The scene tool's frame at width x height.
bool scene_frame(int width, int height, Picture* picture) {
    const std::string path = testing::TempDir() + "orrelune-wayland-scene.png";
    const std::string command = std::string(SCENE_TOOL) + " --ticks 30 --size " + std::to_string(width) + "x" +
                                std::to_string(height) + " --png " + path;
    if (system(command.c_str()) != 0) return false;
    return read_png(path, picture);
}

// Outputs of two shapes: the picture is drawn at the wider one's size, and
// the 4:3 output's copy is its centre cropped to 4:3, not all of it
// squeezed. The two screenshots are a frame or two apart.
TEST_F(WaylandRun, EveryOutputKeepsThePicturesProportions) {
    ASSERT_TRUE(sway_command(sway, "swaymsg output " + output + " resolution 1280x720 >/dev/null"));
    std::string square = add_output(&sway);
    ASSERT_FALSE(square.empty());
    ASSERT_TRUE(sway_command(sway, "swaymsg output " + square + " resolution 1024x768 >/dev/null"));
    start_saver();
    ASSERT_TRUE(wait_for_picture(sway, output));
    ASSERT_TRUE(wait_for_picture(sway, square));
    Picture wide, narrow;
    ASSERT_TRUE(screenshot(sway, output, &wide) && screenshot(sway, square, &narrow));
    ASSERT_EQ(wide.width, 1280);
    ASSERT_EQ(narrow.width, 1024);
    const double cropped = mean_difference(narrow, scaled(wide, 160, 0, 960, 720, 1024, 768));
    const double squeezed = mean_difference(narrow, scaled(wide, 0, 0, 1280, 720, 1024, 768));
    EXPECT_LT(cropped, squeezed / 2) << "difference from the centre crop " << cropped << ", from the squeezed whole "
                                     << squeezed;
    EXPECT_EQ(end_with_key("Escape"), 0) << read_stderr(saver);
}

// How often the program's protocol log has it ask for that buffer scale.
size_t buffer_scales_asked(const Child& saver, int scale) {
    const std::string log = read_stderr(saver), asked = "set_buffer_scale(" + std::to_string(scale) + ")";
    size_t count = 0;
    for (size_t at = log.find(asked); at != std::string::npos; at = log.find(asked, at + 1)) ++count;
    return count;
}

class WaylandScaled : public WaylandRun {
public:
    void SetUp() override {
        sway = start_sway(1280, 720, "output HEADLESS-1 scale 2");
        pointer = start_pointer(sway);
        output = sway_outputs(sway).at(0);
    }
};

// A 1280x720 output at scale 2 is 640x360 to the compositor: the picture is
// drawn at 1280x720 all the same, with the detail of the scene tool's frame
// at that size, not of its half-size frame enlarged. The scale set again
// during the run is followed.
TEST_F(WaylandScaled, DrawnAtTheOutputsRealSizeAndFollowsItsScale) {
    start_saver({"WAYLAND_DEBUG=1"});
    ASSERT_TRUE(wait_for_picture(sway, output));
    EXPECT_GE(buffer_scales_asked(saver, 2), 1u);
    Picture shown, full, half;
    ASSERT_TRUE(screenshot(sway, output, &shown));
    ASSERT_EQ(shown.width, 1280);
    ASSERT_TRUE(scene_frame(1280, 720, &full) && scene_frame(640, 360, &half));
    const double detail = detail_within_blocks(shown), full_detail = detail_within_blocks(full),
                 enlarged_detail = detail_within_blocks(scaled(half, 0, 0, 640, 360, 1280, 720));
    EXPECT_GT(detail, (full_detail + enlarged_detail) / 2)
        << "detail " << detail << "; the scene tool's frame " << full_detail << ", its half-size frame enlarged "
        << enlarged_detail;

    for (int scale : {1, 2}) {
        const size_t before = buffer_scales_asked(saver, scale);
        ASSERT_TRUE(sway_command(sway, "swaymsg output " + output + " scale " + std::to_string(scale) + " >/dev/null"));
        EXPECT_TRUE(wait_until([&] { return buffer_scales_asked(saver, scale) > before; }, 10000)) << scale;
        EXPECT_TRUE(wait_for_picture(sway, output)) << scale;
        ASSERT_EQ(ended(&saver, 0), not_yet) << scale;
    }
    EXPECT_EQ(end_with_key("Escape"), 0);
}

// The compositor moves the pointer in logical units; the threshold counts
// the output's pixels, as on X: at scale 2 a move of 5 x 3 units is one of
// 10 x 6 pixels, which ends the run where 5 x 3 pixels would not.
TEST_F(WaylandScaled, PointerThresholdCountsTheOutputsPixels) {
    start_saver();
    ASSERT_TRUE(wait_for_picture(sway, output));
    ASSERT_TRUE(pointer_command(&pointer, "move 1 0") && pointer_command(&pointer, "move 4 3"));
    EXPECT_EQ(ended(&saver, 15000), 0) << read_stderr(saver);
}

struct InputCase {
    const char* name;
    std::function<bool(WaylandRun*)> send;
    bool ends;
};

class WaylandInput : public WaylandRun, public ::testing::WithParamInterface<InputCase> {};

TEST_P(WaylandInput, EndsTheRunAsOnX) {
    const InputCase& input = GetParam();
    start_saver();
    ASSERT_TRUE(wait_for_picture(sway, output));
    ASSERT_TRUE(input.send(this));
    if (input.ends) {
        EXPECT_EQ(ended(&saver, 15000), 0) << read_stderr(saver);
    } else {
        EXPECT_TRUE(draws_on(sway, output));
        ASSERT_EQ(ended(&saver, 0), not_yet);
        EXPECT_EQ(end_with_key("Escape"), 0) << "after small motions, a key still ends it";
    }
}

INSTANTIATE_TEST_SUITE_P(Dismissal, WaylandInput,
                         ::testing::Values(
                             // A click on the picture ends the run, as a key does (as on X).
                             InputCase{"Click",
                                       [](WaylandRun* run) {
                                           // The pointer comes over the surface first, by no more than a small motion.
                                           return pointer_command(&run->pointer, "move 1 0") &&
                                                  pointer_command(&run->pointer, "click");
                                       },
                                       true},
                             InputCase{"MotionPastTheThreshold",
                                       [](WaylandRun* run) {
                                           return pointer_command(&run->pointer, "move 1 0") &&
                                                  pointer_command(&run->pointer, "move 8 5");
                                       },
                                       true},
                             // A keyboard made and gone without a key (wtype's, which
                             // only waits): the keyboard leaving the picture is not the
                             // user leaving.
                             InputCase{"AKeyboardThatComesAndGoes",
                                       [](WaylandRun* run) { return sway_command(run->sway, "wtype -s 300"); }, false},
                             InputCase{"SmallMotion",
                                       [](WaylandRun* run) {
                                           return pointer_command(&run->pointer, "move 1 0") &&
                                                  pointer_command(&run->pointer, "move 5 4") &&
                                                  pointer_command(&run->pointer, "move -10 -8");
                                       },
                                       false}),
                         [](const ::testing::TestParamInfo<InputCase>& info) { return std::string(info.param.name); });

TEST_F(WaylandRun, KeysEndTheRun) {
    for (const char* key : {"Escape", "a"}) {
        start_saver();
        ASSERT_TRUE(wait_for_picture(sway, output));
        EXPECT_EQ(end_with_key(key), 0) << key << ": " << read_stderr(saver);
    }
}

// Every seat is the user's, not only the first the compositor names: the
// pointer on a seat of its own ends the run by its motion.
TEST_F(WaylandRun, MotionOnASecondSeatEndsTheRun) {
    std::string pointers;
    ASSERT_TRUE(sway_command(sway,
                             "swaymsg -t get_inputs -r | grep -o '\"identifier\": \"[^\"]*virtual_pointer[^\"]*\"'"
                             " | cut -d'\"' -f4",
                             &pointers));
    ASSERT_FALSE(pointers.empty());
    ASSERT_TRUE(sway_command(sway, "swaymsg seat second attach '" + pointers.substr(0, pointers.find('\n')) + "'"));
    start_saver();
    ASSERT_TRUE(wait_for_picture(sway, output));
    ASSERT_TRUE(pointer_command(&pointer, "move 1 0") && pointer_command(&pointer, "move 8 5"));
    EXPECT_EQ(ended(&saver, 15000), 0) << read_stderr(saver);
}

TEST_F(WaylandRun, SignalsEndTheRunWithNoProcessLeft) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        start_saver();
        ASSERT_TRUE(wait_for_picture(sway, output));
        int pid = saver.pid;
        kill(saver.pid, signal);
        EXPECT_EQ(ended(&saver, 10000), 128 + signal) << strsignal(signal);
        struct stat gone;
        EXPECT_NE(stat(("/proc/" + std::to_string(pid)).c_str(), &gone), 0);
    }
}

TEST_F(WaylandRun, CompositorGoingAwayEndsTheRunAtOnce) {
    start_saver();
    ASSERT_TRUE(wait_for_picture(sway, output));
    kill(sway.pid, SIGKILL);
    // A bound that tells an exit from a hang on a loaded machine.
    EXPECT_EQ(ended(&saver, 30000), 1);
    std::string said = read_stderr(saver);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

// Another program's fullscreen window beneath (a terminal all magenta):
// the picture covers it.
TEST_F(WaylandRun, FullscreenWindowBeneathIsCovered) {
    const unsigned magenta = 0xFF00FF;
    Child terminal =
        spawn({FOOT_PATH, "--fullscreen", "-o", "colors.background=ff00ff", "sleep", "600"}, sway_env(sway));
    Picture shown;
    auto magenta_share = [&] { return 1 - share_unlike(shown, magenta); };
    ASSERT_TRUE(wait_until([&] { return screenshot(sway, output, &shown) && magenta_share() > 0.9; }, 30000))
        << read_stderr(terminal);
    start_saver();
    // The terminal redraws its cursor when the picture takes the keyboard,
    // which would pass for a moving picture: wait for the magenta to go.
    EXPECT_TRUE(wait_until([&] { return screenshot(sway, output, &shown) && magenta_share() < 0.001; }, 30000))
        << magenta_share() << " magenta; exit " << ended(&saver, 0) << "; " << read_stderr(saver);
    EXPECT_TRUE(draws_on(sway, output));
    ASSERT_EQ(ended(&saver, 0), not_yet) << read_stderr(saver);
    kill_child(&terminal);
}

// swayidle runs the saver when the seat has been idle for a while, and the
// input that ends the idle ends the run; the next idle starts another.
TEST_F(WaylandRun, SwayidleStartsItOnIdleAndInputEndsIt) {
    std::string pid_file = sway.files.dir + "/saver.pid";
    Child idle = spawn({SWAYIDLE_PATH, "-w", "timeout", "1", "echo $$ > " + pid_file + "; exec " ORRELUNE_PATH " /s"},
                       sway_env(sway));
    auto started = [&](int not_this) {
        int pid = 0;
        wait_until(
            [&] {
                std::ifstream(pid_file) >> pid;
                return pid != not_this && processes_of(ORRELUNE_PATH).count(pid);
            },
            30000);
        return pid;
    };
    int first = started(0);
    ASSERT_NE(first, 0) << read_stderr(idle);
    ASSERT_TRUE(wait_for_picture(sway, output));
    ASSERT_TRUE(pointer_command(&pointer, "move 1 0") && pointer_command(&pointer, "move 8 5"));
    EXPECT_TRUE(wait_until([&] { return !processes_of(ORRELUNE_PATH).count(first); }, 15000));

    int second = started(first);
    EXPECT_NE(second, 0) << read_stderr(idle);
    EXPECT_TRUE(wait_for_picture(sway, output));
    kill_child(&idle);
    if (second) kill(second, SIGTERM);
}

// weston offers no layer-shell: the program takes a fullscreen toplevel.
// weston runs in a window of a private X server, whose picture shows its
// frames and from which its input comes.
class WestonRun : public ::testing::Test {
public:
    void SetUp() override {
        x = start_xserver(640, 480);
        display = XOpenDisplay(x.name.c_str());
        ASSERT_NE(display, nullptr);
        std::ofstream(runtime + "/weston.ini")
            << "[shell]\nbackground-color=0xff" << std::hex << sway_background << "\npanel-position=none\n";
        weston = spawn({WESTON_PATH, "--backend=x11-backend.so", "--use-pixman", "--width=640", "--height=480",
                        "--socket=wayland-1", "--idle-time=0", "--config=" + runtime + "/weston.ini"},
                       {"DISPLAY=" + x.name, "XDG_RUNTIME_DIR=" + runtime, "WAYLAND_DISPLAY", "WAYLAND_SOCKET"});
        struct stat socket;
        ASSERT_TRUE(wait_until([&] { return stat((runtime + "/wayland-1").c_str(), &socket) == 0; }, 30000))
            << read_stderr(weston);
        ASSERT_TRUE(wait_until([&] { return covered() < 0.01; }, 30000)) << "weston's desktop shows";
    }
    void TearDown() override {
        kill_child(&saver);
        kill_child(&weston);
        if (display) XCloseDisplay(display);
        stop_xserver(&x);
    }
    // The share of weston's window that is not its background.
    double covered() {
        XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, 640, 480, AllPlanes, ZPixmap);
        if (!image) return 0;
        size_t unlike = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if ((XGetPixel(image, x, y) & 0xFFFFFF) != sway_background) ++unlike;
        XDestroyImage(image);
        return unlike / (640.0 * 480.0);
    }

    XServer x;
    Display* display = nullptr;
    const Scratch scratch{"orrelune-weston"};
    const std::string runtime = scratch.dir;
    Child weston, saver;
};

TEST_F(WestonRun, FullscreenToplevelPresentsFramesAndAKeyEndsIt) {
    saver = spawn({ORRELUNE_PATH, "/s"}, {"XDG_RUNTIME_DIR=" + runtime, "WAYLAND_DISPLAY=wayland-1", "DISPLAY",
                                          "WAYLAND_SOCKET", "ORRELUNE_DRIVER"});
    EXPECT_TRUE(wait_until([&] { return covered() > 0.95; }, 30000)) << read_stderr(saver);
    EXPECT_TRUE(wait_for_frames(display, 3, 30000));
    EXPECT_GT(covered(), 0.95);
    ASSERT_EQ(ended(&saver, 0), not_yet) << read_stderr(saver);
    ASSERT_TRUE(xdotool("key Escape"));
    EXPECT_EQ(ended(&saver, 15000), 0) << read_stderr(saver);
}

// The X11 build on sway's Xwayland, as a user without the Wayland driver
// meets it. Xwayland takes no root clients, so it runs as sway's own user.
class XwaylandRun : public WaylandRun {
public:
    void SetUp() override {
        if (!ORRELUNE_X11) GTEST_SKIP() << "this build has no X11 driver";
        sway = start_sway(640, 480, "", true);
        output = sway_outputs(sway).at(0);
    }

protected:
    void holds_until_input(int seconds);
};

// Its window manager moves the focus soon after the saver has taken it; the
// run goes on until input, with the picture on every output: on two, the X
// screen holds both, "Desktop Res" is the primary output's own mode, and no
// mode of the whole screen's size is asked for (no output has one).
void XwaylandRun::holds_until_input(int seconds) {
    std::string display = xwayland_display(sway);
    ASSERT_FALSE(display.empty());
    std::vector<std::string> env = sway_env(sway);
    env.insert(env.end(), {"WAYLAND_DISPLAY", "DISPLAY=" + display});
    // Xwayland starts with its first client and learns of the outputs as
    // they come: the run starts once the X screen holds every one, as on a
    // desktop whose monitors are all there.
    const std::vector<std::string> outputs = sway_outputs(sway);
    const std::string listed = "Monitors: " + std::to_string(outputs.size());
    Child xrandr = spawn(
        as_unprivileged({"sh", "-c", "until xrandr --listmonitors | grep -q '" + listed + "'; do sleep 0.1; done"}, {}),
        env);
    ASSERT_EQ(wait_exit(&xrandr, 60000), 0) << "the X screen never held " << outputs.size() << " monitors";
    saver = spawn(as_unprivileged({ORRELUNE_PATH, "/s"}, {}), env);
    for (const std::string& shown : outputs) ASSERT_TRUE(wait_for_picture(sway, shown)) << read_stderr(saver);

    // Well past the moment it used to end at, and frames still coming.
    int frames = 0;
    Picture last, now;
    auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds)) {
        ASSERT_EQ(ended(&saver, 0), not_yet) << read_stderr(saver);
        ASSERT_TRUE(screenshot(sway, output, &now));
        if (now.rgb != last.rgb) ++frames;
        last = now;
    }
    for (const std::string& shown : outputs) {
        ASSERT_TRUE(screenshot(sway, shown, &now));
        EXPECT_GT(share_unlike(now, sway_background), 0.95) << shown;
    }
    EXPECT_GE(frames, 3);
    ASSERT_EQ(ended(&saver, 0), not_yet) << read_stderr(saver);
    EXPECT_EQ(end_with_key("Escape"), 0) << read_stderr(saver);
}

TEST_F(XwaylandRun, SaverRunsUntilInput) {
    holds_until_input(5);
}

TEST_F(XwaylandRun, OnTwoOutputsSaverRunsUntilInput) {
    ASSERT_FALSE(add_output(&sway).empty());
    holds_until_input(8);
}

// Both WAYLAND_DISPLAY and DISPLAY set: Wayland, unless ORRELUNE_DRIVER
// names another driver.
TEST_F(WaylandRun, DriverChoice) {
    XServer x = start_xserver(640, 480);
    Display* display = XOpenDisplay(x.name.c_str());
    ASSERT_NE(display, nullptr);
    std::vector<std::string> both = {"DISPLAY=" + x.name};

    start_saver(both);
    EXPECT_TRUE(wait_for_picture(sway, output)) << "Wayland first";
    EXPECT_EQ(wait_for_class(display, DefaultRootWindow(display), saver_class, 0), 0ul);
    kill_child(&saver);

    if (ORRELUNE_X11) {
        both.push_back("ORRELUNE_DRIVER=x11");
        start_saver(both);
        EXPECT_NE(wait_for_class(display, DefaultRootWindow(display), saver_class, 30000), 0ul) << "X when asked";
        kill_child(&saver);
    }

    start_saver({"ORRELUNE_DRIVER=wayland"});
    EXPECT_TRUE(wait_for_picture(sway, output)) << "Wayland when asked";
    kill_child(&saver);

    start_saver({"ORRELUNE_DRIVER=quartz"});
    EXPECT_EQ(ended(&saver, 10000), 1);
    EXPECT_NE(read_stderr(saver).find("ORRELUNE_DRIVER"), std::string::npos);

    XCloseDisplay(display);
    stop_xserver(&x);
}

// The preview, the settings dialog and the runs a daemon hosts need what
// only X offers (windows of other programs, dialogs): on a Wayland desktop
// they run on X where an X display answers (Xwayland's), else say so in
// one line.
TEST_F(WaylandRun, PreviewSettingsAndHostedRunsRunOnXOrSaySo) {
    XServer x = start_xserver(640, 480);
    Display* display = XOpenDisplay(x.name.c_str());
    ASSERT_NE(display, nullptr);
    Window root = DefaultRootWindow(display);
    Window host = XCreateSimpleWindow(display, root, 0, 0, 320, 240, 0, 0, 0);
    XMapWindow(display, host);
    XSync(display, False);

    struct OnX {
        std::vector<std::string> args;
        std::string daemon_window;  // XSCREENSAVER_WINDOW
        Window under;
        const char* class_name;
    };
    const OnX on_x[] = {
        {{"/c"}, "", root, "#32770 template"},
        {{"/p", std::to_string(host)}, "", host, saver_class},
        {{"--window-id", std::to_string(host)}, "", host, saver_class},
        {{"--root"}, std::to_string(host), host, saver_class},
        {{}, std::to_string(host), host, saver_class},
        {{"--root"}, "", root, saver_class},
    };
    for (const OnX& run : on_x) {
        if (!ORRELUNE_X11) break;  // this build has no X11 driver to run them on
        SCOPED_TRACE((run.args.empty() ? "no switch" : run.args[0]) + " " + run.daemon_window);
        std::vector<std::string> env = sway_env(sway);
        env.push_back("DISPLAY=" + x.name);
        env.push_back(run.daemon_window.empty() ? "XSCREENSAVER_WINDOW" : "XSCREENSAVER_WINDOW=" + run.daemon_window);
        std::vector<std::string> argv = {ORRELUNE_PATH};
        argv.insert(argv.end(), run.args.begin(), run.args.end());
        saver = spawn(argv, env);
        EXPECT_NE(wait_for_class(display, run.under, run.class_name, 30000), 0ul) << read_stderr(saver);
        kill_child(&saver);
    }
    XCloseDisplay(display);
    stop_xserver(&x);

    struct Refused {
        std::vector<std::string> args;
        const char* driver;
        int code;
        const char* said;
    };
    const Refused refused[] = {
        {{"/c"}, "", 255, "the settings dialog shows on X only"},
        {{}, "", 255, "the settings dialog shows on X only"},
        {{"/p", "12345"}, "", 1, "a Wayland desktop has none"},
        {{"/l", "12345"}, "", 1, "a Wayland desktop has none"},
        {{"/c"}, "wayland", 255, "ORRELUNE_DRIVER=wayland: that driver shows no dialogs"},
        {{"/p", "12345"}, "wayland", 1, "ORRELUNE_DRIVER=wayland: that driver has no windows of other programs"},
        {{"--root"}, "", 1, "--root and --window-id draw into an X window; a Wayland desktop has none"},
        {{"--window-id", "12345"}, "", 1, "a Wayland desktop has none"},
        {{"--root"}, "wayland", 1, "ORRELUNE_DRIVER=wayland: that driver has no windows of other programs"},
    };
    for (const Refused& run : refused) {
        std::vector<std::string> argv = {ORRELUNE_PATH};
        argv.insert(argv.end(), run.args.begin(), run.args.end());
        SCOPED_TRACE((run.args.empty() ? "no switch" : run.args[0]) + " " + run.driver);
        std::vector<std::string> env = sway_env(sway);
        env.push_back("XSCREENSAVER_WINDOW");
        if (*run.driver) env.push_back(std::string("ORRELUNE_DRIVER=") + run.driver);
        saver = spawn(argv, env);
        EXPECT_EQ(ended(&saver, 20000), run.code);
        std::string said = read_stderr(saver);
        EXPECT_NE(said.find(run.said), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
}

// Nothing shows over the full-screen surfaces, which hold the keyboard: a
// message box is one line on stderr and its default answer, as in a run
// that a daemon hosts. Here the program's box says that it has no GL,
// for an EGL that finds no driver.
TEST_F(WaylandRun, AMessageBoxIsOneLineAndItsDefaultAnswer) {
    start_saver({"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json"});
    EXPECT_NE(ended(&saver, 20000), not_yet);
    EXPECT_EQ(read_stderr(saver),
              "orrelune: no EGL for the Wayland compositor\n"
              "orrelune: Error: Can't find pixelformat.\n");
}

// A connection to sway made here and handed to the program in
// WAYLAND_SOCKET, as a lock program hands its background one; the output it
// names in SWAYLOCK_PLUGIN_OUTPUT_NAME, if any.
class LockHosted : public WaylandRun {
public:
    void start_hosted(const std::string& output_name) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);  // inherited by the program
        ASSERT_GE(fd, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::string path = sway.runtime + "/" + sway.socket;
        ASSERT_LT(path.size(), sizeof address.sun_path);
        strcpy(address.sun_path, path.c_str());
        ASSERT_EQ(connect(fd, (sockaddr*)&address, sizeof address), 0) << strerror(errno);
        std::vector<std::string> env = {"WAYLAND_SOCKET=" + std::to_string(fd), "WAYLAND_DISPLAY", "DISPLAY",
                                        "ORRELUNE_DRIVER"};
        env.push_back(output_name.empty() ? "SWAYLOCK_PLUGIN_OUTPUT_NAME"
                                          : "SWAYLOCK_PLUGIN_OUTPUT_NAME=" + output_name);
        saver = spawn({ORRELUNE_PATH, "/s"}, env);
        close(fd);
    }
};

// It draws on the output named, or on all; input is not its to take, and it
// ends quietly when the connection closes.
TEST_F(LockHosted, DrawsOnTheOutputNamedTakesNoInputAndEndsWithTheConnection) {
    std::string second = add_output(&sway);
    ASSERT_FALSE(second.empty());
    start_hosted(second);
    EXPECT_TRUE(wait_for_picture(sway, second)) << read_stderr(saver);
    Picture first;
    ASSERT_TRUE(screenshot(sway, output, &first));
    // The pointer may be drawn there: the desktop's colour nearly everywhere.
    EXPECT_LT(share_unlike(first, sway_background), 0.01) << "only the output named shows the picture";

    // Onto the picture, then a move past the threshold and a click there.
    ASSERT_TRUE(pointer_command(&pointer, "move 1 0") && pointer_command(&pointer, "move 700 100") &&
                pointer_command(&pointer, "move 30 20") && pointer_command(&pointer, "click"));
    ASSERT_TRUE(press_key(sway, "Escape", 500));
    EXPECT_TRUE(draws_on(sway, second));
    ASSERT_EQ(ended(&saver, 0), not_yet) << "input does not end it";

    kill(sway.pid, SIGKILL);
    EXPECT_EQ(ended(&saver, 10000), 0);
    EXPECT_EQ(read_stderr(saver), "");
}

TEST_F(LockHosted, WithNoOutputNamedDrawsOnEvery) {
    std::string second = add_output(&sway);
    ASSERT_FALSE(second.empty());
    start_hosted("");
    EXPECT_TRUE(wait_for_picture(sway, output)) << read_stderr(saver);
    EXPECT_TRUE(wait_for_picture(sway, second));
}

}  // namespace
