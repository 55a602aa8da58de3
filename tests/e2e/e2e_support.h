// What the end-to-end tests share: a private Xvfb, child processes with
// their exit codes and stderr, the windows on the server, and xdotool.
#pragma once

#include <X11/Xlib.h>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// A private X server; DISPLAY names it while it runs.
struct XServer {
    int pid = 0;       // the launcher's, which ends the server with it
    std::string name;  // ":N"
};
XServer start_xserver(int width = 1024, int height = 768);
void stop_xserver(XServer* server);
// The Xvfb process itself, the launcher's child; 0 when there is none.
int xvfb_pid(const XServer& server);

// A process of ours under test. DISPLAY and the other variables are the
// test's own unless env_changes says "NAME=value" or "NAME" (to unset).
struct Child {
    int pid = 0;
    std::string stderr_path;
};
Child spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env_changes = {});
// Exit code, or -1 if it is still running after timeout_ms (it is then
// killed), or 128 + signal when a signal ended it.
int wait_exit(Child* child, int timeout_ms);
bool still_running(const Child& child);
std::string read_stderr(const Child& child);
// Ends a child the test left running.
void kill_child(Child* child);

// Runs xdotool with the arguments; true when it succeeded.
bool xdotool(const std::string& arguments);

// Windows on the server as another client sees them.
std::string string_property(Display* display, Window window, const char* name);
// The first window below `under` (root: top-level windows and one level of
// frames) whose Win32 class property is class_name; None if none appears
// within timeout_ms.
Window wait_for_class(Display* display, Window under, const char* class_name, int timeout_ms);
bool is_viewable(Display* display, Window window);
// Where the pointer is on the screen, as XQueryPointer reads it.
std::pair<int, int> pointer_position(Display* display);
// Whether the keyboard focus comes to the window or one inside it within
// timeout_ms: where a key that xdotool sends goes.
bool wait_for_focus(Display* display, Window window, int timeout_ms);
// Whether the screen's picture changes `changes` times within timeout_ms:
// a program drawing frames. A frame comes when its message loop has nothing
// else to do, so by then it has handled what it had been sent before.
bool wait_for_frames(Display* display, int changes, int timeout_ms);

// RandR monitors on the display's screen, as `xrandr --setmonitor` makes
// them. The last one is shown through the screen's output, so RandR lists
// no monitor of the whole screen beside them. True when the server lists
// them all; delete_monitors takes them away again.
struct ScreenMonitor {
    std::string name;
    int x, y, width, height;
    bool primary;
};
bool set_monitors(Display* display, const std::vector<ScreenMonitor>& monitors);
void delete_monitors(Display* display, const std::vector<ScreenMonitor>& monitors);

void sleep_ms(int milliseconds);
// Polls condition every 20 ms until it holds (true) or timeout_ms passed.
bool wait_until(const std::function<bool()>& condition, int timeout_ms);

// Processes (not zombies) running the program at `path`, whoever started them.
std::set<int> processes_of(const std::string& path);

// Screen-saver daemons refuse to run savers as root: when the test runs as
// root, argv runs as the unprivileged "nobody" (with setpriv), and the files
// at `paths` (recursively) become nobody's. Otherwise both stay as they are.
std::vector<std::string> as_unprivileged(std::vector<std::string> argv, const std::vector<std::string>& paths);
