// The time from starting `orrelune /s` to its first frame on the screen, on
// a private Xvfb: the program is spawned, the screen is read every few
// milliseconds until a pixel that isn't black shows (the root and the
// program's windows come up black, the first frame never is), then the
// program is ended. Each repetition is one start; the figures are
// wall-clock milliseconds, good to about the polling interval.
//   bench/startup_bench
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>

#include "e2e_support.h"

namespace {

const int screen_width = 800;
const int screen_height = 600;
const double give_up_ms = 30000;

struct Server {
    XServer x;
    Display* display = nullptr;
    std::string config_dir;  // the program's settings: none, so it runs at the screen's own size
};

double now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// A child that goes when this process goes, with stdout and stderr silenced.
pid_t spawn(const char* path, char* const argv[]) {
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(path, argv);
        _exit(127);
    }
    return pid;
}

void end(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// The tests' private Xvfb (its root is black), and no settings of the
// program's, so that it runs at the screen's own size.
Server start_server() {
    Server server;
    try {
        server.x = start_xserver(screen_width, screen_height);
    } catch (const std::exception&) {
        return server;
    }
    server.display = XOpenDisplay(server.x.name.c_str());
    char config_dir[] = "/tmp/startup-bench-XXXXXX";
    if (mkdtemp(config_dir)) server.config_dir = config_dir;
    setenv("XDG_CONFIG_HOME", config_dir, 1);
    return server;
}

void stop_server(Server* server) {
    if (server->display) XCloseDisplay(server->display);
    stop_xserver(&server->x);
    std::error_code ignored;
    if (!server->config_dir.empty()) std::filesystem::remove_all(server->config_dir, ignored);
}

bool screen_lit(Display* display) {
    XImage* image =
        XGetImage(display, DefaultRootWindow(display), 0, 0, screen_width, screen_height, AllPlanes, ZPixmap);
    if (!image) return false;
    bool lit = false;
    for (int y = 0; y < screen_height && !lit; ++y)
        for (int x = 0; x < screen_width && !lit; ++x) lit = (XGetPixel(image, x, y) & 0xFFFFFF) != 0;
    XDestroyImage(image);
    return lit;
}

Server server;

void BM_StartToFirstFrame(benchmark::State& state) {
    if (!server.display) {
        state.SkipWithError("no private X server (is Xvfb installed?)");
        return;
    }
    for (auto _ : state) {
        // The last run's frame has gone before the clock starts.
        for (double waited = now_ms(); screen_lit(server.display) && now_ms() - waited < give_up_ms;) sleep_ms(5);
        char* const argv[] = {const_cast<char*>(ORRELUNE_PATH), const_cast<char*>("/s"), nullptr};
        const double start = now_ms();
        const pid_t program = spawn(ORRELUNE_PATH, argv);
        bool lit = false, running = true;
        while (!(lit = screen_lit(server.display)) && running && now_ms() - start < give_up_ms) {
            running = waitpid(program, nullptr, WNOHANG) == 0;
            sleep_ms(2);
        }
        const double elapsed = now_ms() - start;
        if (running) end(program);
        if (!lit) {
            state.SkipWithError(running ? "no frame within 30 s" : "the program ended without a frame");
            break;
        }
        state.SetIterationTime(elapsed / 1e3);
    }
}
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(7);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    server = start_server();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stop_server(&server);
    return 0;
}
