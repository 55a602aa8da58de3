// The time from starting `orrelune /s` to its first frame on the screen, on
// a private Xvfb: the program is spawned, the screen is read every few
// milliseconds until a pixel that isn't black shows (the root and the
// program's windows come up black, the first frame never is), then the
// program is ended. Each repetition is one start; the figures are
// wall-clock milliseconds, good to about the polling interval, and the
// program's CPU time and peak memory (resident set) up to that frame.
//
// Twice side by side: with no settings file, and with a settings file of
// 10 MB (a large registry export with the program's two values at its
// end), which must be read whole before the first frame; the end says how
// much time and memory the file added.
//   bench/startup_bench
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>

#include "e2e_support.h"
#include "scratch.h"

namespace {

const int screen_width = 800;
const int screen_height = 600;
const double give_up_ms = 30000;

struct Server {
    XServer x;
    Display* display = nullptr;
    Scratch config;  // the program's settings: none, so it runs at the screen's own size
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

// Ends the program; what it used.
rusage end(pid_t pid) {
    kill(pid, SIGTERM);
    rusage usage = {};
    wait4(pid, nullptr, 0, &usage);
    return usage;
}

double cpu_ms(const rusage& usage) {
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
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
    server.config = Scratch("startup-bench");
    setenv("XDG_CONFIG_HOME", server.config.dir.c_str(), 1);
    return server;
}

void stop_server(Server* server) {
    if (server->display) XCloseDisplay(server->display);
    stop_xserver(&server->x);
    server->config = Scratch();
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

// A registry export of many applications' keys, hex values over several
// lines included, with the program's own key at its end.
void write_large_settings(const std::string& path, size_t size) {
    std::ofstream out(path, std::ios::binary);
    out << "Windows Registry Editor Version 5.00\r\n\r\n";
    size_t written = 40;
    for (int key = 0; written < size; ++key) {
        std::string block = "[HKEY_CURRENT_USER\\Software\\Vendor " + std::to_string(key % 97) + "\\Application " +
                            std::to_string(key) + "]\r\n" + "\"Window title\"=\"Application number " +
                            std::to_string(key) + "\"\r\n" + "\"Count\"=dword:" + std::to_string(10000000 + key) +
                            "\r\n" + "\"Placement\"=hex:";
        for (int byte = 0; byte < 44; ++byte)
            block += std::string(byte ? "," : "") + (byte % 22 == 21 ? "\\\r\n  " : "") + "2c";
        block += "\r\n; last used with version " + std::to_string(key % 13) + "\r\n\r\n";
        out << block;
        written += block.size();
    }
    out << "[HKEY_CURRENT_USER\\Software\\Orrelune]\r\n\"resolution\"=dword:000007d0\r\n"
           "\"color\"=dword:000003e9\r\n";
}

Server server;
// Per case (no file, the large file), every repetition's first-frame time,
// the program's CPU time up to then (the figure a busy machine disturbs
// least) and its peak memory.
std::vector<double> times[2], cpu_times[2], peaks[2];

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_StartToFirstFrame(benchmark::State& state) {
    if (!server.display) {
        state.SkipWithError("no private X server (is Xvfb installed?)");
        return;
    }
    const bool large_file = state.range(0) != 0;
    const std::string dir = server.config.dir + "/orrelune", path = dir + "/registry.reg";
    std::filesystem::create_directories(dir);
    if (large_file)
        write_large_settings(path, 10 * 1000 * 1000);
    else
        std::filesystem::remove(path);
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
        const rusage used = running ? end(program) : rusage{};
        if (!lit) {
            state.SkipWithError(running ? "no frame within 30 s" : "the program ended without a frame");
            break;
        }
        state.SetIterationTime(elapsed / 1e3);
        state.counters["cpu_ms"] = cpu_ms(used);
        state.counters["peak_MB"] = used.ru_maxrss / 1024.0;
        times[large_file].push_back(elapsed);
        cpu_times[large_file].push_back(cpu_ms(used));
        peaks[large_file].push_back(used.ru_maxrss / 1024.0);
    }
}
BENCHMARK(BM_StartToFirstFrame)
    ->ArgName("settings_10MB")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(7);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    server = start_server();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double median_ms[2] = {median(times[0]), median(times[1])},
                 median_cpu_ms[2] = {median(cpu_times[0]), median(cpu_times[1])},
                 median_mb[2] = {median(peaks[0]), median(peaks[1])};
    if (median_ms[0] > 0 && median_ms[1] > 0)
        printf(
            "A 10 MB settings file adds, as medians: %.0f ms to the first frame (%.0f against %.0f), %.0f ms of "
            "the program's CPU time (%.0f against %.0f), %.1f MB to the peak memory (%.1f against %.1f)\n",
            median_ms[1] - median_ms[0], median_ms[1], median_ms[0], median_cpu_ms[1] - median_cpu_ms[0],
            median_cpu_ms[1], median_cpu_ms[0], median_mb[1] - median_mb[0], median_mb[1], median_mb[0]);
    stop_server(&server);
    return 0;
}
