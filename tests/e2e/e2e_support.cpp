// The end-to-end tests' fixtures: a private Xvfb, child processes, xdotool.
#include "e2e_support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

void sleep_ms(int milliseconds) {
    timespec t = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

bool wait_until(const std::function<bool()>& condition, int timeout_ms) {
    for (int waited = 0;; waited += 20) {
        if (condition()) return true;
        if (waited >= timeout_ms) return false;
        sleep_ms(20);
    }
}

std::set<int> processes_of(const std::string& path) {
    std::set<int> found;
    DIR* proc = opendir("/proc");
    if (!proc) return found;
    while (dirent* entry = readdir(proc)) {
        int pid = atoi(entry->d_name);
        if (pid <= 0) continue;
        std::string base = std::string("/proc/") + entry->d_name;
        char target[4096];
        ssize_t length = readlink((base + "/exe").c_str(), target, sizeof target - 1);
        if (length <= 0 || std::string(target, (size_t)length) != path) continue;
        std::ifstream stat(base + "/stat");
        std::string pid_text, name, state;
        stat >> pid_text >> name >> state;
        if (state != "Z") found.insert(pid);
    }
    closedir(proc);
    return found;
}

std::vector<std::string> as_unprivileged(std::vector<std::string> argv, const std::vector<std::string>& paths) {
    if (geteuid() != 0) return argv;
    passwd* nobody = getpwnam("nobody");
    if (!nobody) throw std::runtime_error("no user \"nobody\"");
    auto give = [&](const std::filesystem::path& path) {
        if (chown(path.c_str(), nobody->pw_uid, nobody->pw_gid) != 0)
            throw std::runtime_error("cannot give " + path.string() + " to nobody");
    };
    for (const std::string& path : paths) {
        give(path);
        if (std::filesystem::is_directory(path))
            for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) give(entry.path());
    }
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=" + std::to_string(nobody->pw_uid),
                               "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups"});
    return argv;
}

// The tree's one launcher of a private Xvfb, scripts/with-xvfb, runs a
// shell that says the display it got on a pipe and then waits: the server
// stays until stop_xserver ends the launcher, which takes the server down
// with it (or until this process goes, however it ends).
XServer start_xserver(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const char* argv[] = {
        WITH_XVFB, "-s", screen.c_str(), "sh", "-c", "echo \"$DISPLAY\" >&9; exec 9>&-; exec sleep infinity", nullptr};
    XServer server;
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        dup2(fds[1], 9);
        if (fds[1] != 9) close(fds[1]);
        execv(WITH_XVFB, (char* const*)argv);
        _exit(127);
    }
    close(fds[1]);
    server.pid = pid;
    char name[32] = {0};
    size_t got = 0;
    while (got < sizeof name - 1) {
        ssize_t n = read(fds[0], name + got, sizeof name - 1 - got);
        if (n <= 0) break;
        got += (size_t)n;
        if (memchr(name, '\n', got)) break;
    }
    close(fds[0]);
    if (name[0] != ':') {
        stop_xserver(&server);
        throw std::runtime_error("Xvfb did not start");
    }
    server.name = std::string(name, strcspn(name, "\n"));
    setenv("DISPLAY", server.name.c_str(), 1);
    return server;
}

void stop_xserver(XServer* server) {
    if (!server->pid) return;
    kill(server->pid, SIGTERM);
    waitpid(server->pid, nullptr, 0);
    server->pid = 0;
}

int xvfb_pid(const XServer& server) {
    int found = 0;
    DIR* proc = opendir("/proc");
    if (!proc) return 0;
    while (dirent* entry = readdir(proc)) {
        if (atoi(entry->d_name) <= 0) continue;
        // pid (name) state ppid ...: the name in brackets may hold spaces.
        std::ifstream file(std::string("/proc/") + entry->d_name + "/stat");
        std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const size_t open = stat.find(" ("), close = stat.rfind(") ");
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        char state = 0;
        int parent = 0;
        if (stat.compare(open + 2, close - open - 2, "Xvfb") == 0 &&
            sscanf(stat.c_str() + close + 2, "%c %d", &state, &parent) == 2 && parent == server.pid) {
            found = atoi(entry->d_name);
            break;
        }
    }
    closedir(proc);
    return found;
}

Child spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env_changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.push_back(*e);
    for (const std::string& change : env_changes) {
        std::string name = change.substr(0, change.find('='));
        for (size_t i = 0; i < env.size(); ++i)
            if (env[i].compare(0, name.size() + 1, name + "=") == 0) env.erase(env.begin() + (long)i--);
        if (change.find('=') != std::string::npos) env.push_back(change);
    }
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back((char*)a.c_str());
    args.push_back(nullptr);
    for (std::string& e : env) envp.push_back((char*)e.c_str());
    envp.push_back(nullptr);

    Child child;
    char path[] = "/tmp/orrelune-e2e-stderr-XXXXXX";
    int fd = mkstemp(path);
    close(fd);
    child.stderr_path = path;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, path, O_WRONLY | O_TRUNC, 0);
    pid_t pid;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    posix_spawn_file_actions_destroy(&actions);
    child.pid = pid;
    return child;
}

int wait_exit(Child* child, int timeout_ms) {
    for (int waited = 0;; waited += 10) {
        int status;
        pid_t done = waitpid(child->pid, &status, WNOHANG);
        if (done == child->pid) {
            child->pid = 0;
            if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
            return WEXITSTATUS(status);
        }
        if (waited >= timeout_ms) {
            kill_child(child);
            return -1;
        }
        sleep_ms(10);
    }
}

bool still_running(const Child& child) {
    return child.pid && waitpid(child.pid, nullptr, WNOHANG) == 0;
}

std::string read_stderr(const Child& child) {
    std::ifstream in(child.stderr_path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void kill_child(Child* child) {
    if (!child->pid) return;
    kill(child->pid, SIGKILL);
    waitpid(child->pid, nullptr, 0);
    child->pid = 0;
}

bool xdotool(const std::string& arguments) {
    std::string command = "xdotool " + arguments + " >/dev/null 2>&1";
    return system(command.c_str()) == 0;
}

std::string string_property(Display* display, Window window, const char* name) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1024, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 8)
        text.assign((const char*)data, count);
    if (data) XFree(data);
    return text;
}

namespace {

int ignore_errors(Display*, XErrorEvent*) {
    return 0;
}

Window find_class(Display* display, Window under, const char* class_name, int depth) {
    Window root_return, parent;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = None;
    if (!XQueryTree(display, under, &root_return, &parent, &children, &count)) return None;
    for (unsigned i = 0; i < count && !found; ++i) {
        if (string_property(display, children[i], "_WIN32_CLASS") == class_name)
            found = children[i];
        else if (depth > 0)
            found = find_class(display, children[i], class_name, depth - 1);
    }
    if (children) XFree(children);
    return found;
}

}  // namespace

Window wait_for_class(Display* display, Window under, const char* class_name, int timeout_ms) {
    XSetErrorHandler(ignore_errors);  // windows come and go while we look
    for (int waited = 0; waited <= timeout_ms; waited += 20) {
        if (Window found = find_class(display, under, class_name, 1)) {
            if (is_viewable(display, found)) return found;
        }
        sleep_ms(20);
    }
    return None;
}

bool is_viewable(Display* display, Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

std::pair<int, int> pointer_position(Display* display) {
    Window root, child;
    int x = -1, y = -1, window_x, window_y;
    unsigned state;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &window_x, &window_y, &state);
    return {x, y};
}

bool wait_for_focus(Display* display, Window window, int timeout_ms) {
    XSetErrorHandler(ignore_errors);  // the focus may be a window that just went
    return wait_until(
        [&] {
            Window focus;
            int revert;
            XGetInputFocus(display, &focus, &revert);
            for (Window at = focus; at != None && at != PointerRoot;) {
                if (at == window) return true;
                Window root, parent, *children = nullptr;
                unsigned count;
                if (!XQueryTree(display, at, &root, &parent, &children, &count)) break;
                if (children) XFree(children);
                at = at == root ? None : parent;
            }
            return false;
        },
        timeout_ms);
}

namespace {

// Every fourth pixel of every fourth row of the screen.
std::vector<unsigned long> screen_sample(Display* display) {
    int width = DisplayWidth(display, 0), height = DisplayHeight(display, 0);
    XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, width, height, AllPlanes, ZPixmap);
    std::vector<unsigned long> pixels;
    if (!image) return pixels;
    for (int y = 0; y < height; y += 4)
        for (int x = 0; x < width; x += 4) pixels.push_back(XGetPixel(image, x, y));
    XDestroyImage(image);
    return pixels;
}

}  // namespace

bool wait_for_frames(Display* display, int changes, int timeout_ms) {
    std::vector<unsigned long> last = screen_sample(display);
    return wait_until(
        [&] {
            std::vector<unsigned long> now = screen_sample(display);
            if (now != last) --changes;
            last = std::move(now);
            return changes <= 0;
        },
        timeout_ms);
}

bool set_monitors(Display* display, const std::vector<ScreenMonitor>& monitors) {
    Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResources(display, root);
    if (!resources || resources->noutput < 1) {
        if (resources) XRRFreeScreenResources(resources);
        return false;
    }
    for (size_t i = 0; i < monitors.size(); ++i) {
        const ScreenMonitor& m = monitors[i];
        const bool last = i + 1 == monitors.size();
        XRRMonitorInfo* info = XRRAllocateMonitor(display, last ? 1 : 0);
        info->name = XInternAtom(display, m.name.c_str(), False);
        info->primary = m.primary;
        info->x = m.x;
        info->y = m.y;
        info->width = m.width;
        info->height = m.height;
        info->mwidth = m.width * 254 / 960;  // 96 dots per inch
        info->mheight = m.height * 254 / 960;
        if (last) info->outputs[0] = resources->outputs[0];
        XRRSetMonitor(display, root, info);
        XRRFreeMonitors(info);
    }
    XRRFreeScreenResources(resources);
    int count = 0;
    XRRMonitorInfo* listed = XRRGetMonitors(display, root, True, &count);
    if (listed) XRRFreeMonitors(listed);
    return count == static_cast<int>(monitors.size());
}

void delete_monitors(Display* display, const std::vector<ScreenMonitor>& monitors) {
    for (const ScreenMonitor& m : monitors)
        XRRDeleteMonitor(display, DefaultRootWindow(display), XInternAtom(display, m.name.c_str(), False));
    XSync(display, False);
}
