// The XRandR mode switch on a real X server that offers several sizes: Xorg
// with the dummy video driver, started here on a free display (Xvfb offers
// one size and can't be given more). The switch, the restore, and the
// original mode back after the process ends by a signal, a fault or exit.
//
// Run as "displaymode_x11_tests --child" the binary is the process that is
// ended: it switches to 800x600, says "switched", and then waits for a
// signal, or for a line on its input that tells it to exit or to fault.
#include <gtest/gtest.h>
#include <layer_test.h>
#include <windows.h>

#include "e2e_support.h"
#include "scratch.h"
#include "layer_driver.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace {

const char server_config[] = R"(Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 65536
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
  Modeline "800x600" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync
  Modeline "640x480" 25.18 640 656 752 800 480 490 492 525 -hsync -vsync
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1024x768" "800x600" "640x480"
  EndSubSection
EndSection
)";

struct ServerState {
    int crtc_width, crtc_height;      // the primary output's mode
    int screen_width, screen_height;  // the root window
};

bool operator==(const ServerState& a, const ServerState& b) {
    return a.crtc_width == b.crtc_width && a.crtc_height == b.crtc_height && a.screen_width == b.screen_width &&
           a.screen_height == b.screen_height;
}

std::ostream& operator<<(std::ostream& out, const ServerState& state) {
    return out << "mode " << state.crtc_width << "x" << state.crtc_height << ", screen " << state.screen_width << "x"
               << state.screen_height;
}

const ServerState original_state = {1024, 768, 1024, 768};
const ServerState switched_state = {800, 600, 800, 600};

// What the server shows, asked on a connection of the test's own.
ServerState server_state() {
    ServerState state = {};
    Display* display = XOpenDisplay(nullptr);
    if (!display) return state;
    Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    state.screen_width = attributes.width;
    state.screen_height = attributes.height;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    XRROutputInfo* output = XRRGetOutputInfo(display, resources, XRRGetOutputPrimary(display, root));
    if (output && output->crtc) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc);
        state.crtc_width = static_cast<int>(crtc->width);
        state.crtc_height = static_cast<int>(crtc->height);
        XRRFreeCrtcInfo(crtc);
    }
    if (output) XRRFreeOutputInfo(output);
    XRRFreeScreenResources(resources);
    XCloseDisplay(display);
    return state;
}

// The X server of this run.
pid_t server_pid = 0;
Scratch server_files;        // its configuration, log and output
std::string server_problem;  // why there is none
bool layer_on_x = false;

std::string server_errors() {
    std::ifstream log(server_files.dir + "/server.log");
    std::string line, tail;
    while (std::getline(log, line))
        if (line.rfind("[", 0) == 0 && line.find("(EE)") != std::string::npos) tail += line + "\n";
    return tail;
}

void start_server() {
    const char* xorg = "/usr/lib/xorg/Xorg";
    if (access(xorg, X_OK) != 0) {
        server_problem = "no Xorg server (packages xserver-xorg-core and xserver-xorg-video-dummy)";
        return;
    }
    try {
        server_files = Scratch("displaymode-xorg");
    } catch (const std::exception& e) {
        server_problem = e.what();
        return;
    }
    std::ofstream(server_files.dir + "/xorg.conf") << server_config;

    int number_pipe[2];
    if (pipe(number_pipe) != 0) return;
    std::string config = server_files.dir + "/xorg.conf", log = server_files.dir + "/server.log",
                output = server_files.dir + "/server.out", fd = std::to_string(number_pipe[1]);
    server_pid = fork();
    if (server_pid == 0) {
        close(number_pipe[0]);
        int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        setsid();  // the terminal's signals are not the server's
        execl(xorg, xorg, "-displayfd", fd.c_str(), "-config", config.c_str(), "-logfile", log.c_str(), "-noreset",
              "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(number_pipe[1]);
    // The server writes its display number when it is ready for clients.
    std::string number;
    pollfd ready = {number_pipe[0], POLLIN, 0};
    char c;
    while (poll(&ready, 1, 20000) > 0 && read(number_pipe[0], &c, 1) == 1 && c != '\n') number += c;
    close(number_pipe[0]);
    if (number.empty()) {
        server_problem = "Xorg with the dummy driver did not start: " + server_errors();
        kill(server_pid, SIGTERM);
        waitpid(server_pid, nullptr, 0);
        server_pid = 0;
        return;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    if (!(server_state() == original_state)) server_problem = "the server's first mode is not 1024x768";
}

void stop_server() {
    // The layer's connection goes first: the server's end would be an
    // I/O error for it.
    if (layer_on_x) layer_driver()->close();
    if (server_pid > 0) {
        kill(server_pid, SIGTERM);
        waitpid(server_pid, nullptr, 0);
    }
    server_files = Scratch();
}

class ServerEnvironment : public testing::Environment {
public:
    void SetUp() override { start_server(); }
    void TearDown() override { stop_server(); }
};

class XDisplayModes : public testing::Test {
protected:
    void SetUp() override {
        if (!server_problem.empty()) GTEST_SKIP() << server_problem;
        ASSERT_EQ(server_state(), original_state) << "an earlier test left the mode changed";
    }
};

DEVMODEA mode_request(DWORD width, DWORD height, DWORD bits) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmBitsPerPel = bits;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    return mode;
}

TEST_F(XDisplayModes, SwitchesToAnOfferedSizeAndRestoresOnNullRecord) {
    layer_on_x = true;
    DEVMODEA unknown = mode_request(1600, 1200, 32), offered = mode_request(800, 600, 16);
    EXPECT_EQ(ChangeDisplaySettingsA(&unknown, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    EXPECT_EQ(ChangeDisplaySettingsA(&offered, CDS_TEST), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(server_state(), original_state);

    ASSERT_EQ(ChangeDisplaySettingsA(&offered, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(server_state(), switched_state);
    // Windows reports the new size as soon as the change returns.
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);

    for (int release = 0; release < 2; ++release) {
        EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
        EXPECT_EQ(server_state(), original_state);
    }
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
}

// Whether `done` came true within a minute: a loaded machine starts and ends
// programs slowly, and the server answers each client in its own time.
bool wait_until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        usleep(20000);
    }
    return true;
}

// The server shows `state`, or shows it soon: a process that ended has had
// its requests read, but not necessarily carried out before those of the
// test's own connection.
::testing::AssertionResult comes_to(const ServerState& state) {
    if (wait_until([&] { return server_state() == state; })) return ::testing::AssertionSuccess();
    std::ostringstream shown;
    shown << server_state();
    return ::testing::AssertionFailure() << "the server shows " << shown.str();
}

// The child's wait status; a child still there after a minute is killed.
int wait_for_end(pid_t child) {
    int status = 0;
    if (wait_until([&] { return waitpid(child, &status, WNOHANG) == child; })) return status;
    ADD_FAILURE() << "the child did not end";
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return status;
}

struct WayOutCase {
    const char* what;
    int sig;           // sent to the child; or 0 and
    const char* line;  // written to it
    int exit_code;
};

TEST_F(XDisplayModes, TheOriginalModeComesBackHoweverTheProcessEnds) {
    const int access_violation = EXCEPTION_ACCESS_VIOLATION & 0xff;
    const WayOutCase cases[] = {
        {"SIGTERM", SIGTERM, nullptr, 0},
        {"SIGINT", SIGINT, nullptr, 0},
        {"SIGHUP", SIGHUP, nullptr, 0},
        // The filter chose the handler: the process ends with the exception code.
        {"a fault", 0, "fault\n", access_violation},
        // A fault inside the filter goes to the filter installed then: the
        // filter itself, which ends the process its own way...
        {"a fault in the filter", 0, "fault in filter\n", 3},
        // ... or, once it has put back the earlier null one, the platform's report.
        {"a fault in the filter after the report", 0, "fault after report\n", access_violation},
        {"ExitProcess", 0, "exit\n", 3},
    };
    for (const WayOutCase& c : cases) {
        SCOPED_TRACE(c.what);
        int to_child[2], from_child[2];
        ASSERT_EQ(pipe(to_child), 0);
        ASSERT_EQ(pipe(from_child), 0);
        pid_t child = fork();
        if (child == 0) {
            dup2(to_child[0], STDIN_FILENO);
            dup2(from_child[1], STDOUT_FILENO);
            close(to_child[1]);
            close(from_child[0]);
            // A job started in the background ignores SIGINT; this one must
            // be ended by it.
            const int ending[] = {SIGTERM, SIGINT, SIGHUP};
            for (int sig : ending) signal(sig, SIG_DFL);
            execl("/proc/self/exe", "displaymode_x11_tests", "--child", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(to_child[0]);
        close(from_child[1]);
        char said[16] = {};
        pollfd readable = {from_child[0], POLLIN, 0};
        ssize_t got = poll(&readable, 1, 60000) > 0 ? read(from_child[0], said, sizeof said - 1) : -1;
        EXPECT_STREQ(said, "switched\n");
        if (got > 0) {
            EXPECT_EQ(server_state(), switched_state);
        }

        if (c.sig)
            kill(child, c.sig);
        else
            EXPECT_GT(write(to_child[1], c.line, strlen(c.line)), 0);
        int status = wait_for_end(child);
        close(to_child[1]);
        close(from_child[0]);

        EXPECT_TRUE(comes_to(original_state));
        if (c.sig) {
            // The usual exit status of the signal, after the restore.
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig) << "status " << status;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exit_code) << "status " << status;
        }
    }
}

// A scratch settings folder that stores this resolution id at 32 bits;
// none when it can't be made.
Scratch stored_resolution(unsigned resolution) {
    Scratch config("orrelune-mode-config");
    std::string dir = config.dir + "/orrelune";
    if (mkdir(dir.c_str(), 0700) != 0) return Scratch();
    std::ofstream(dir + "/registry.reg") << "Windows Registry Editor Version 5.00\n\n"
                                            "[HKEY_CURRENT_USER\\Software\\Orrelune]\n"
                                         << "\"resolution\"=dword:" << std::hex << resolution
                                         << "\n\"color\"=dword:000003e9\n";
    return config;
}

// The program itself: a saver run that switched to the stored 800 x 600 and
// is then ended by a signal leaves the screen as it found it, whichever
// signal it is (one whose default action ends the process: an abort()
// inside a library, a timer's, the user's, 32, which glibc keeps for its
// threads and does not let a program catch), and ends with that signal.
// SIGPIPE is ignored for the X connection's sake: the run goes on.
TEST_F(XDisplayModes, ASignalledSaverLeavesTheOriginalMode) {
    const Scratch config = stored_resolution(2002);
    ASSERT_FALSE(config.dir.empty());
    const int signals[] = {SIGTERM, SIGINT,    SIGHUP,  SIGQUIT, SIGABRT,   SIGUSR1,  SIGUSR2,
                           SIGALRM, SIGTRAP,   SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF,  SIGSYS,
                           SIGIO,   SIGSTKFLT, SIGPWR,  32,      SIGRTMIN,  SIGRTMAX, SIGPIPE};
    for (int sig : signals) {
        SCOPED_TRACE(sig == SIGRTMIN   ? std::string("SIGRTMIN")
                     : sig == SIGRTMAX ? std::string("SIGRTMAX")
                     : sig == 32       ? std::string("signal 32")
                                       : sigabbrev_np(sig));
        pid_t saver = fork();
        if (saver == 0) {
            setenv("XDG_CONFIG_HOME", config.dir.c_str(), 1);
            // Each signal as a fresh session has it; no core files left behind.
            for (int other = 1; other <= SIGRTMAX; ++other) signal(other, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            const rlimit no_core = {0, 0};
            setrlimit(RLIMIT_CORE, &no_core);
            execl(ORRELUNE_PATH, "orrelune", "/s", static_cast<char*>(nullptr));
            _exit(127);
        }
        EXPECT_TRUE(comes_to(switched_state));
        kill(saver, sig);
        if (sig == SIGPIPE) {
            // A signal comes before the process goes on: new frames after
            // it, and the run is still there, ignored it.
            Display* display = XOpenDisplay(nullptr);
            ASSERT_NE(display, nullptr);
            EXPECT_TRUE(wait_for_frames(display, 2, 60000));
            XCloseDisplay(display);
            EXPECT_EQ(waitpid(saver, nullptr, WNOHANG), 0) << "SIGPIPE ended the run";
            kill(saver, SIGTERM);
            sig = SIGTERM;
        }
        int status = wait_for_end(saver);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "status " << status;
        EXPECT_TRUE(comes_to(original_state));
    }
}

// "Desktop Res" asks for the mode the screen already shows: that changes
// nothing, so no mode is set at the start or at the end (setting even the
// same mode makes a monitor resync and the server centre the pointer).
TEST_F(XDisplayModes, ARunAtTheDesktopsSizeSetsNoModeAndLeavesThePointerAlone) {
    struct Case {
        const char* what;
        unsigned resolution, colour;
    };
    const Case cases[] = {
        {"never configured", 0, 0}, {"Desktop Res, 16 bits", 2000, 1000}, {"Desktop Res, 32 bits", 2000, 1001}};
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    Window root = DefaultRootWindow(display);
    // When the server last set a mode.
    auto last_set = [&] {
        XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
        Time when = resources->timestamp;
        XRRFreeScreenResources(resources);
        return when;
    };
    Scratch config("orrelune-mode-config");
    std::string dir = config.dir + "/orrelune";
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream settings(dir + "/registry.reg");
        if (c.resolution)
            settings << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Orrelune]\n"
                     << "\"resolution\"=dword:" << std::hex << c.resolution << "\n\"color\"=dword:" << c.colour << "\n";
        settings.close();
        XWarpPointer(display, None, root, 0, 0, 0, 0, 500, 400);
        XSync(display, False);
        ASSERT_EQ(pointer_position(display), std::make_pair(500, 400));
        Time before = last_set();

        Child saver = spawn({ORRELUNE_PATH, "/s"}, {"XDG_CONFIG_HOME=" + config.dir});
        Window window = wait_for_class(display, root, "WindowsScreenSaverClass", 60000);
        ASSERT_NE(window, None) << read_stderr(saver);
        // Frames: the display window is up and the mode request long made.
        EXPECT_TRUE(wait_for_frames(display, 2, 60000));
        EXPECT_TRUE(still_running(saver)) << "the mode was refused? " << read_stderr(saver);
        EXPECT_EQ(pointer_position(display), std::make_pair(500, 400));
        EXPECT_EQ(last_set(), before);

        EXPECT_TRUE(xdotool("key x"));
        EXPECT_EQ(wait_exit(&saver, 60000), 0) << read_stderr(saver);
        EXPECT_EQ(pointer_position(display), std::make_pair(500, 400));
        EXPECT_EQ(last_set(), before);
        EXPECT_EQ(server_state(), original_state);
        unlink(saver.stderr_path.c_str());
    }
    XCloseDisplay(display);
}

// ---- Two outputs: the dummy driver's DUMMY1 beside DUMMY0 ----

// Where each output shows what, and the screen's size.
std::string layout() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return "";
    Window root = DefaultRootWindow(display);
    std::ostringstream text;
    text << "screen " << DisplayWidth(display, DefaultScreen(display)) << "x"
         << DisplayHeight(display, DefaultScreen(display));
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (output->crtc) {
            XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc);
            text << ", " << output->name << " " << crtc->width << "x" << crtc->height << "+" << crtc->x << "+"
                 << crtc->y;
            XRRFreeCrtcInfo(crtc);
        }
        XRRFreeOutputInfo(output);
    }
    XRRFreeScreenResources(resources);
    XCloseDisplay(display);
    return text.str();
}

// Shows DUMMY1 at 800 x 600 right of DUMMY0, as the primary monitor unless
// told otherwise, or takes it away again.
bool show_second_output(bool shown, bool primary = true) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    RROutput first = 0, second = 0;
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (strcmp(output->name, "DUMMY0") == 0) first = resources->outputs[i];
        if (strcmp(output->name, "DUMMY1") == 0) second = resources->outputs[i];
        XRRFreeOutputInfo(output);
    }
    RRMode mode = 0, smaller = 0;
    for (int i = 0; i < resources->nmode; ++i) {
        if (strcmp(resources->modes[i].name, "800x600") == 0) mode = resources->modes[i].id;
        if (strcmp(resources->modes[i].name, "640x480") == 0) smaller = resources->modes[i].id;
    }
    XRROutputInfo* output = second ? XRRGetOutputInfo(display, resources, second) : nullptr;
    bool done = output && first && mode && smaller && output->ncrtc > 0;
    if (done) {
        RRCrtc crtc = output->crtc ? output->crtc : output->crtcs[output->ncrtc - 1];
        if (shown) {
            XRRAddOutputMode(display, second, mode);
            XRRAddOutputMode(display, second, smaller);
            if (primary) XRRSetOutputPrimary(display, root, second);
            XRRSetScreenSize(display, root, 1824, 768, 482, 203);
            done = XRRSetCrtcConfig(display, resources, crtc, CurrentTime, 1024, 0, mode, RR_Rotate_0, &second, 1) ==
                   RRSetConfigSuccess;
        } else {
            XRRSetOutputPrimary(display, root, first);
            done = XRRSetCrtcConfig(display, resources, crtc, CurrentTime, 0, 0, None, RR_Rotate_0, nullptr, 0) ==
                   RRSetConfigSuccess;
            XRRSetScreenSize(display, root, 1024, 768, 271, 203);
            XRRDeleteOutputMode(display, second, mode);
            XRRDeleteOutputMode(display, second, smaller);
        }
    }
    if (output) XRRFreeOutputInfo(output);
    XRRFreeScreenResources(resources);
    XSync(display, False);
    XCloseDisplay(display);
    return done;
}

// Whether the layer sees the screen as `width` wide within a minute: it
// learns of layouts made by others as it reads its events.
bool layer_sees_desktop_width(int width) {
    return wait_until([&] {
        MSG message;
        PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE);
        return GetSystemMetrics(SM_CXVIRTUALSCREEN) == width;
    });
}

TEST_F(XDisplayModes, WithTwoOutputsTheModeOfThePrimaryAloneChangesAndEveryOutputComesBack) {
    layer_on_x = true;
    ASSERT_TRUE(show_second_output(true));
    const std::string before = layout();
    ASSERT_EQ(before, "screen 1824x768, DUMMY0 1024x768+0+0, DUMMY1 800x600+1024+0");
    ASSERT_TRUE(layer_sees_desktop_width(1824));
    // As on Windows: the screen is the primary monitor, the desktop all of them.
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), 768);

    DEVMODEA desktop = mode_request(800, 600, 32), whole = mode_request(1824, 768, 32),
             smaller = mode_request(640, 480, 32);
    // The primary's own mode: nothing to change.
    EXPECT_EQ(ChangeDisplaySettingsA(&desktop, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(layout(), before);
    EXPECT_EQ(ChangeDisplaySettingsA(&whole, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);

    ASSERT_EQ(ChangeDisplaySettingsA(&smaller, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(layout(), "screen 1664x768, DUMMY0 1024x768+0+0, DUMMY1 640x480+1024+0");
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(layout(), before);

    // A process that switched and is ended by a signal puts it back too.
    int from_child[2];
    ASSERT_EQ(pipe(from_child), 0);
    pid_t child = fork();
    if (child == 0) {
        dup2(from_child[1], STDOUT_FILENO);
        close(from_child[0]);
        signal(SIGTERM, SIG_DFL);
        execl("/proc/self/exe", "displaymode_x11_tests", "--child", "640", "480", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(from_child[1]);
    char said[16] = {};
    pollfd readable = {from_child[0], POLLIN, 0};
    if (poll(&readable, 1, 60000) > 0) {
        EXPECT_GT(read(from_child[0], said, sizeof said - 1), 0);
    }
    EXPECT_STREQ(said, "switched\n");
    EXPECT_EQ(layout(), "screen 1664x768, DUMMY0 1024x768+0+0, DUMMY1 640x480+1024+0");
    kill(child, SIGTERM);
    wait_for_end(child);
    close(from_child[0]);
    EXPECT_TRUE(wait_until([&] { return layout() == before; })) << layout();

    EXPECT_TRUE(show_second_output(false));
    EXPECT_TRUE(comes_to(original_state));
    EXPECT_TRUE(layer_sees_desktop_width(1024));
}

// The program on two outputs: the stored 640 x 480 goes to the primary
// output alone, and a key puts every output back.
TEST_F(XDisplayModes, ASaverOnTwoOutputsSwitchesThePrimaryAndAKeyPutsAllBack) {
    ASSERT_TRUE(show_second_output(true));
    const std::string before = layout();
    const Scratch config = stored_resolution(2001);
    ASSERT_FALSE(config.dir.empty());
    Child saver = spawn({ORRELUNE_PATH, "/s"}, {"XDG_CONFIG_HOME=" + config.dir});
    EXPECT_TRUE(wait_until([] { return layout() == "screen 1664x768, DUMMY0 1024x768+0+0, DUMMY1 640x480+1024+0"; }))
        << layout() << "\n"
        << read_stderr(saver);
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    EXPECT_TRUE(wait_for_frames(display, 2, 60000));
    XCloseDisplay(display);
    EXPECT_TRUE(xdotool("key x"));
    EXPECT_EQ(wait_exit(&saver, 60000), 0) << read_stderr(saver);
    EXPECT_EQ(layout(), before);
    unlink(saver.stderr_path.c_str());
    EXPECT_TRUE(show_second_output(false));
    EXPECT_TRUE(comes_to(original_state));
}

// Pixels of the screen's area bright in red and green (the Sun's glow, the
// planets, the title): a picture shows there.
int bright_pixels(Display* display, int x, int y, int width, int height) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) return 0;
    int count = 0;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const unsigned long p = XGetPixel(image, column, row);
            if (((p >> 16) & 0xff) > 160 && ((p >> 8) & 0xff) > 160) ++count;
        }
    XDestroyImage(image);
    return count;
}

// A monitor plugged in during a run gets the picture within a few frames,
// and the run goes on drawing on the one left when it is unplugged again.
TEST_F(XDisplayModes, AMonitorPluggedInDuringARunShowsThePictureAndMayGoAgain) {
    const Scratch config = stored_resolution(2000);
    ASSERT_FALSE(config.dir.empty());
    Child saver = spawn({ORRELUNE_PATH, "/s"}, {"XDG_CONFIG_HOME=" + config.dir});
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    ASSERT_NE(wait_for_class(display, DefaultRootWindow(display), "WindowsScreenSaverClass", 60000), None)
        << read_stderr(saver);
    EXPECT_TRUE(wait_for_frames(display, 2, 60000));
    EXPECT_TRUE(wait_until([&] { return bright_pixels(display, 0, 0, 1024, 768) > 50; }));

    ASSERT_TRUE(show_second_output(true, false));
    ASSERT_EQ(layout(), "screen 1824x768, DUMMY0 1024x768+0+0, DUMMY1 800x600+1024+0");
    EXPECT_TRUE(wait_until([&] { return bright_pixels(display, 1024, 0, 800, 600) > 50; }))
        << "the new monitor stayed dark\n"
        << read_stderr(saver);
    EXPECT_GT(bright_pixels(display, 0, 0, 1024, 768), 50);

    ASSERT_TRUE(show_second_output(false));
    ASSERT_TRUE(comes_to(original_state));
    EXPECT_TRUE(wait_for_frames(display, 2, 60000));
    EXPECT_TRUE(wait_until([&] { return bright_pixels(display, 0, 0, 1024, 768) > 50; }));
    EXPECT_TRUE(still_running(saver)) << read_stderr(saver);

    XCloseDisplay(display);
    EXPECT_TRUE(xdotool("key x"));
    EXPECT_EQ(wait_exit(&saver, 60000), 0) << read_stderr(saver);
    unlink(saver.stderr_path.c_str());
}

LONG WINAPI run_the_handler(EXCEPTION_POINTERS*) {
    return EXCEPTION_EXECUTE_HANDLER;
}

volatile int* volatile nowhere = nullptr;
enum { before_report, after_report } filter_faults_at;

// As the program's filter does: put back the earlier (null) filter, ask for
// the platform's report and end the process; but fault once on the way.
LONG WINAPI fault_once_then_exit(EXCEPTION_POINTERS* info) {
    static int faults = 0;
    if (filter_faults_at == before_report && faults++ == 0) *nowhere = 1;
    SetUnhandledExceptionFilter(nullptr);
    if (UnhandledExceptionFilter(info) != EXCEPTION_EXECUTE_HANDLER) return EXCEPTION_CONTINUE_SEARCH;
    if (filter_faults_at == after_report && faults++ == 0) *nowhere = 1;
    ExitProcess(3);
}

// Switches to 800 x 600, or to the size its arguments give.
int run_child(int argc, char** argv) {
    SetUnhandledExceptionFilter(run_the_handler);
    DEVMODEA mode = argc > 3 ? mode_request(static_cast<DWORD>(atoi(argv[2])), static_cast<DWORD>(atoi(argv[3])), 32)
                             : mode_request(800, 600, 32);
    if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) return 2;
    fputs("switched\n", stdout);
    fflush(stdout);
    char line[32] = {};
    if (!fgets(line, sizeof line, stdin)) pause();
    if (strcmp(line, "fault in filter\n") == 0 || strcmp(line, "fault after report\n") == 0) {
        filter_faults_at = line[6] == 'i' ? before_report : after_report;
        SetUnhandledExceptionFilter(fault_once_then_exit);
    }
    if (strncmp(line, "fault", 5) == 0) *nowhere = 1;
    ExitProcess(3);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && strcmp(argv[1], "--child") == 0) return run_child(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new ServerEnvironment);
    return RUN_ALL_TESTS();
}
