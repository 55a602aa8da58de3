// How soon a hosted saver is gone when told to go, beside a peer GL saver
// measured the same way, on a private Xvfb:
//   - SIGTERM to exit: the saver draws into a window of the bench's own
//     (--window-id), is sent SIGTERM once it has drawn, and reaped;
//   - deactivation to gone: Debian's XScreenSaver daemon runs the saver from
//     a plain programs: line with --root; the bench activates it, waits for
//     the picture, deactivates it and watches the saver's process go.
// Wall-clock milliseconds, median and worst of the rounds, polled every
// millisecond.
//   bench/stop_bench [PEER]    (PEER: default /usr/libexec/xscreensaver/glplanet)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "scratch.h"

namespace {

const int rounds = 7;
const int width = 1024, height = 768;

double now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// More than `share` of the screen is not the background: the saver has drawn.
bool drawn(Display* display, unsigned long background, double share) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, width, height, AllPlanes, ZPixmap);
    int changed = 0, total = 0;
    for (int y = 0; y < height; y += 8)
        for (int x = 0; x < width; x += 8, ++total) changed += (XGetPixel(image, x, y) & 0xFFFFFF) != background;
    XDestroyImage(image);
    return changed > total * share;
}

void report(const char* what, const std::string& saver, std::vector<double> ms) {
    if (ms.empty()) {
        printf("%-28s %-12s no measurement\n", what, saver.c_str());
        return;
    }
    std::sort(ms.begin(), ms.end());
    printf("%-28s %-12s median %7.1f ms   worst %7.1f ms   (%zu rounds)\n", what, saver.c_str(), ms[ms.size() / 2],
           ms.back(), ms.size());
}

std::vector<double> sigterm_to_exit(Display* display, const std::string& saver) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const unsigned long background = 0x336699;
        Window host = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0, 0, background);
        XMapRaised(display, host);
        XSync(display, False);
        char id[32];
        snprintf(id, sizeof id, "0x%lx", host);
        Child child = spawn({saver, "--window-id", id}, {"XSCREENSAVER_WINDOW"});
        if (wait_until([&] { return drawn(display, background, 0.5); }, 30000)) {
            double start = now_ms();
            kill(child.pid, SIGTERM);
            while (waitpid(child.pid, nullptr, WNOHANG) == 0) usleep(1000);
            ms.push_back(now_ms() - start);
            child.pid = 0;
        }
        kill_child(&child);
        unlink(child.stderr_path.c_str());
        XDestroyWindow(display, host);
        XSync(display, False);
    }
    return ms;
}

std::vector<double> deactivation_to_gone(Display* display, const std::string& saver_path) {
    std::vector<double> ms;
    if (access("/usr/bin/xscreensaver", X_OK) != 0) return ms;
    Scratch work("orrelune-stop-bench", 0755);
    std::string home = work.dir + "/home",
                saver = work.dir + "/" + std::filesystem::path(saver_path).filename().string();
    std::filesystem::copy_file(saver_path, saver);
    chmod(saver.c_str(), 0755);
    std::filesystem::create_directory(home);
    std::ofstream(home + "/.xscreensaver") << "timeout: 0:30:00\nlock: False\nmode: one\nselected: 0\nsplash: False\n"
                                              "fade: False\nunfade: False\nprograms: "
                                           << saver << " --root \\n\n";
    Child daemon = spawn(as_unprivileged({"/usr/bin/xscreensaver", "--no-splash"}, {home}), {"HOME=" + home});
    auto command = [](const char* what) {
        Child c = spawn({"/usr/bin/xscreensaver-command", what});
        int code = wait_exit(&c, 10000);
        unlink(c.stderr_path.c_str());
        return code;
    };
    std::set<int> seen;
    for (int i = 0; i < rounds; ++i) {
        if (!wait_until([&] { return command("-activate") == 0; }, 30000)) break;
        // A new saver process, and the daemon's black screen has its picture.
        bool running = wait_until(
            [&] {
                std::set<int> now = processes_of(saver);
                return !now.empty() && !seen.count(*now.begin()) && drawn(display, 0, 0.01);
            },
            30000);
        if (!running) break;
        std::set<int> now = processes_of(saver);
        seen.insert(now.begin(), now.end());
        double start = now_ms();
        Child c = spawn({"/usr/bin/xscreensaver-command", "-deactivate"});
        while (!processes_of(saver).empty()) usleep(1000);
        ms.push_back(now_ms() - start);
        wait_exit(&c, 10000);
        unlink(c.stderr_path.c_str());
    }
    kill(daemon.pid, SIGTERM);
    if (wait_exit(&daemon, 10000) < 0) kill_child(&daemon);
    unlink(daemon.stderr_path.c_str());
    for (int pid : processes_of(saver)) kill(pid, SIGKILL);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string peer = argc > 1 ? argv[1] : "/usr/libexec/xscreensaver/glplanet";
    XServer server = start_xserver(width, height);
    Scratch config("orrelune-stop-bench-config");
    setenv("XDG_CONFIG_HOME", config.dir.c_str(), 1);
    Display* display = XOpenDisplay(server.name.c_str());
    if (!display) return 1;

    std::vector<std::string> savers = {ORRELUNE_PATH};
    if (access(peer.c_str(), X_OK) == 0)
        savers.push_back(peer);
    else
        fprintf(stderr, "no peer saver at %s: measuring Orrelune alone\n", peer.c_str());
    for (const std::string& saver : savers)
        report("SIGTERM to exit", std::filesystem::path(saver).filename(), sigterm_to_exit(display, saver));
    for (const std::string& saver : savers)
        report("deactivation to gone", std::filesystem::path(saver).filename(), deactivation_to_gone(display, saver));

    XCloseDisplay(display);
    stop_xserver(&server);
    return 0;
}
