// The cost of a frame as a user sees it: `orrelune /s` runs on a private
// Xvfb at 1024 x 768 and then at 1920 x 1080 with Mesa's software renderer,
// beside two references on the same frame clock (bench/floor.cpp): the
// floor (clear, one textured full-screen quad, swap) and the picture's own
// limit (clear, the stars, the Sun's mask multiplied in and two glows
// added, each over the whole screen one texture at a time), and optionally
// beside other builds of orrelune and another program. With --wayland, all
// but the other program also run on a private headless sway of the same
// size (EGL on Wayland, the compositor's frame callbacks pacing what is
// shown), beside their X11 runs. Each runs in turn, several rounds
// interleaved (A B A B), for a warm-up and then a measured stretch; its
// frames are counted at the buffer swap (swap_counter, preloaded), as the
// frames shown, and at the clear, as the frames drawn (on Wayland a frame
// drawn while the compositor has not taken the last one is never shown);
// its CPU time is that of the whole process, the renderer's threads
// included. The display server's CPU time over the same stretch is shown
// beside it, as the server copies or composes every frame. Prints, for each
// round and then their medians, the program's and the server's CPU
// milliseconds per frame shown and the frames shown and drawn a second;
// then the ratio of orrelune's CPU per frame to each of the others' on the
// same server, and each program's on Wayland to its own on X11, per frame
// shown and per frame drawn. With --wayland-scale N as well, a second
// headless sway whose outputs have the same mode at scale N runs beside the
// first, and the ratio of each program's CPU per frame there to that at
// scale 1 is printed (at scale N the picture is drawn at the mode's size
// all the same, from a logical size N times smaller).
//
//   bench/frame_bench [--seconds S] [--warm-up S] [--rounds N] [--size WxH]
//                     [--monitors N] [--wayland] [--wayland-scale N] [--also ORRELUNE]
//                     [--peer 'COMMAND ARGUMENTS']
//
// --size measures at that size alone. --monitors makes the X screen N
// monitors of that size side by side (RandR monitors), each of which shows
// orrelune's whole picture.
// --also names another orrelune build to measure beside this one (for
// before and after figures); --peer another program (by its path) that
// draws full screen on the X display it is given, for example a GL hack
// with its root-window switch.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "scratch.h"
#include "sway_support.h"

namespace {

struct Size {
    int width, height;
};
const double first_frame_limit_ms = 30000;

struct Program {
    std::string name;
    std::vector<std::string> argv;
    bool x11_only;
};

// A display server the programs run on: the environment that makes a
// process its client, and its own process (Xvfb or sway itself, whose CPU
// time is the server's column).
struct Server {
    std::string name;
    int pid;
    std::vector<std::string> env;
};

// One program on one server, and its figures.
struct Run {
    const Program* program;
    const Server* server;
    std::vector<double> cpu_ms_per_frame, server_ms_per_frame, frames_per_second, drawn_per_second;
    std::vector<double> cpu_ms_per_drawn;  // 0 for a program that never clears
    std::string name() const { return program->name + ", " + server->name; }
};

struct Options {
    double seconds = 10, warm_up = 3;
    int rounds = 3;
    std::vector<Size> sizes = {{1024, 768}, {1920, 1080}};
    bool wayland = false;
    int monitors = 1;               // side by side, each of the size measured
    int wayland_scale = 0;          // 0: no second sway
    std::vector<Program> programs;  // orrelune first
};

int usage(const char* why) {
    fprintf(stderr, "frame_bench: %s\n", why);
    fprintf(stderr,
            "usage: frame_bench [--seconds S] [--warm-up S] [--rounds N] [--size WxH] [--monitors N]\n"
            "                   [--wayland] [--wayland-scale N] [--also ORRELUNE] [--peer 'COMMAND']\n");
    return 2;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

// The process's CPU time in seconds, all its threads, from /proc; -1 when
// it can't be read.
double cpu_seconds(pid_t pid) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE* file = fopen(path, "r");
    if (!file) return -1;
    char text[1024];
    const size_t got = fread(text, 1, sizeof text - 1, file);
    fclose(file);
    text[got] = '\0';
    // Fields 14 and 15, user and system time, counted after the name in
    // brackets (which may hold spaces).
    const char* after_name = strrchr(text, ')');
    unsigned long user = 0, system = 0;
    if (!after_name ||
        sscanf(after_name + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2)
        return -1;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The counts that swap_counter keeps in a shared file: buffer swaps (frames
// shown) and buffer clears (frames drawn: orrelune and the floor call
// glClear once a frame, whether or not the frame is then shown).
struct SwapCounter {
    std::string path;
    volatile uint64_t* count = nullptr;  // [0] swaps, [1] clears
};
const size_t counter_size = 2 * sizeof(uint64_t);

SwapCounter make_counter() {
    SwapCounter counter;
    char path[] = "/tmp/frame-bench-swaps-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return counter;
    counter.path = path;
    const uint64_t zero[2] = {};
    if (write(fd, zero, counter_size) == static_cast<ssize_t>(counter_size)) {
        void* mapped = mmap(nullptr, counter_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (mapped != MAP_FAILED) counter.count = static_cast<volatile uint64_t*>(mapped);
    }
    close(fd);
    return counter;
}

void drop_counter(SwapCounter* counter) {
    if (counter->count) munmap(const_cast<uint64_t*>(counter->count), counter_size);
    if (!counter->path.empty()) unlink(counter->path.c_str());
}

double now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void print_figures(const std::string& name, double cpu_ms, double server_ms, double shown, double drawn) {
    printf("  %-44s %8.2f %8.2f %8.1f %8.1f\n", name.c_str(), cpu_ms, server_ms, shown, drawn);
    fflush(stdout);
}

// One run of one program, its figures added to its lists; false when it
// shows no frame or stops by itself. Every program runs with Mesa's
// software renderer and the swap counter, and orrelune with no settings
// (so at the screen's own size).
bool measure(Run* run, const Options& options, const std::string& config_dir) {
    SwapCounter counter = make_counter();
    if (!counter.count) return false;
    const char* preloaded = getenv("LD_PRELOAD");
    std::vector<std::string> env = run->server->env;
    env.insert(env.end(),
               {
                   "SWAP_COUNTER_FILE=" + counter.path,
                   std::string("LD_PRELOAD=") + SWAP_COUNTER_PATH + (preloaded ? std::string(" ") + preloaded : ""),
                   "LIBGL_ALWAYS_SOFTWARE=1",
                   "XDG_CONFIG_HOME=" + config_dir,
               });
    Child child = spawn(run->program->argv, env);
    const pid_t pid = child.pid;

    bool ok = wait_until([&] { return *counter.count > 0 || !still_running(child); }, first_frame_limit_ms) &&
              *counter.count > 0;
    if (ok) sleep_ms(static_cast<int>(options.warm_up * 1000));
    const uint64_t frames_before = counter.count[0], drawn_before = counter.count[1];
    const double cpu_before = cpu_seconds(pid), server_before = cpu_seconds(run->server->pid), wall_before = now_ms();
    if (ok) sleep_ms(static_cast<int>(options.seconds * 1000));
    const uint64_t frames = counter.count[0] - frames_before, drawn = counter.count[1] - drawn_before;
    const double cpu_after = cpu_seconds(pid), server_after = cpu_seconds(run->server->pid),
                 wall = now_ms() - wall_before;
    ok = ok && still_running(child) && frames > 0 && cpu_before >= 0 && cpu_after >= cpu_before && server_before >= 0 &&
         server_after >= server_before;
    kill_child(&child);
    unlink(child.stderr_path.c_str());
    drop_counter(&counter);
    if (!ok) {
        fprintf(stderr, "frame_bench: %s showed no frames or stopped\n", run->name().c_str());
        return false;
    }
    run->cpu_ms_per_frame.push_back((cpu_after - cpu_before) * 1000 / static_cast<double>(frames));
    run->server_ms_per_frame.push_back((server_after - server_before) * 1000 / static_cast<double>(frames));
    run->frames_per_second.push_back(static_cast<double>(frames) * 1000 / wall);
    run->drawn_per_second.push_back(static_cast<double>(drawn) * 1000 / wall);
    run->cpu_ms_per_drawn.push_back(drawn ? (cpu_after - cpu_before) * 1000 / static_cast<double>(drawn) : 0);
    print_figures(run->name(), run->cpu_ms_per_frame.back(), run->server_ms_per_frame.back(),
                  run->frames_per_second.back(), run->drawn_per_second.back());
    return true;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Returns 0 on success, else the exit code after a message.
int parse(int argc, char** argv, Options* options) {
    options->programs.push_back({"orrelune /s", {ORRELUNE_PATH, "/s"}, false});
    std::vector<Program> peers;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--wayland") {
            options->wayland = true;
            continue;
        }
        if (i + 1 >= argc) return usage(("no value after " + arg).c_str());
        const char* value = argv[++i];
        if (arg == "--seconds") {
            options->seconds = atof(value);
        } else if (arg == "--warm-up") {
            options->warm_up = atof(value);
        } else if (arg == "--rounds") {
            options->rounds = atoi(value);
        } else if (arg == "--size") {
            Size size{};
            if (sscanf(value, "%dx%d", &size.width, &size.height) != 2 || size.width < 1 || size.height < 1)
                return usage("--size wants WxH");
            options->sizes = {size};
        } else if (arg == "--monitors") {
            options->monitors = atoi(value);
            if (options->monitors < 1) return usage("--monitors wants a positive number");
        } else if (arg == "--wayland-scale") {
            options->wayland_scale = atoi(value);
            if (options->wayland_scale < 1) return usage("--wayland-scale wants a whole number from 1");
        } else if (arg == "--also") {
            options->programs.push_back({std::string(value) + " /s", {value, "/s"}, false});
        } else if (arg == "--peer") {
            peers.push_back({value, words(value), true});
            if (peers.back().argv.empty()) return usage("--peer wants a command");
        } else {
            return usage(("unknown argument " + arg).c_str());
        }
    }
    if (options->seconds <= 0 || options->warm_up < 0 || options->rounds < 1)
        return usage("--seconds and --rounds want positive numbers");
    if (options->wayland_scale && !options->wayland) return usage("--wayland-scale goes with --wayland");
    // Started as a saver (/s), as the layer reads a run with no switch as
    // the settings dialog, which on Wayland goes to X.
    options->programs.push_back({"floor", {FLOOR_PATH, "/s"}, false});
    options->programs.push_back({"limit (four full-screen passes)", {FLOOR_PATH, "/s", "/limit"}, false});
    options->programs.insert(options->programs.end(), peers.begin(), peers.end());
    return 0;
}

const Run* find_run(const std::vector<Run>& runs, const Program& program, const Server& server) {
    for (const Run& run : runs)
        if (run.program == &program && run.server == &server) return &run;
    return nullptr;
}

double total_ms_per_frame(const Run& run) {
    return median(run.cpu_ms_per_frame) + median(run.server_ms_per_frame);
}

void print_ratios(const Options& options, const std::vector<Server>& servers, const std::vector<Run>& runs) {
    const Program& own = options.programs[0];
    for (const Server& server : servers) {
        const Run* mine = find_run(runs, own, server);
        for (size_t i = 1; i < options.programs.size(); ++i)
            if (const Run* other = find_run(runs, options.programs[i], server))
                printf("On %s, CPU per frame of %s: %.2f x that of %s\n", server.name.c_str(), own.name.c_str(),
                       median(mine->cpu_ms_per_frame) / median(other->cpu_ms_per_frame),
                       options.programs[i].name.c_str());
    }
    if (servers.size() < 2) return;
    if (servers.size() > 2)
        for (const Program& program : options.programs) {
            const Run* unscaled = find_run(runs, program, servers[1]);
            const Run* scaled = find_run(runs, program, servers[2]);
            if (!unscaled || !scaled) continue;
            printf("CPU per frame of %s on Wayland at scale %d: %.2f x that at scale 1 (per frame drawn: %.2f x)\n",
                   program.name.c_str(), options.wayland_scale,
                   median(scaled->cpu_ms_per_frame) / median(unscaled->cpu_ms_per_frame),
                   median(scaled->cpu_ms_per_drawn) / median(unscaled->cpu_ms_per_drawn));
        }
    for (const Program& program : options.programs) {
        const Run* x11 = find_run(runs, program, servers[0]);
        const Run* wayland = find_run(runs, program, servers[1]);
        if (!x11 || !wayland) continue;
        printf(
            "CPU per frame of %s on Wayland: %.2f x that on X11 (with the server's: %.2f x; per frame drawn: "
            "%.2f x)\n",
            program.name.c_str(), median(wayland->cpu_ms_per_frame) / median(x11->cpu_ms_per_frame),
            total_ms_per_frame(*wayland) / total_ms_per_frame(*x11),
            median(wayland->cpu_ms_per_drawn) / median(x11->cpu_ms_per_drawn));
    }
}

// Makes the private X screen `count` monitors of `size` side by side.
bool side_by_side(const XServer& server, Size size, int count) {
    Display* display = XOpenDisplay(server.name.c_str());
    if (!display) return false;
    std::vector<ScreenMonitor> monitors;
    for (int i = 0; i < count; ++i)
        monitors.push_back({"MONITOR" + std::to_string(i), i * size.width, 0, size.width, size.height, i == 0});
    const bool done = set_monitors(display, monitors);
    XCloseDisplay(display);
    return done;
}

// Every program on every server at one size, in rounds; prints the figures,
// medians and ratios. False when a server did not start or a program could
// not be measured. The X runs are the X server's clients and no
// compositor's, as a user on X would run them.
bool measure_at(Size size, const Options& options, const std::string& config_dir) {
    XServer xserver;
    Sway sway, scaled_sway;
    std::vector<Server> servers;
    try {
        xserver = start_xserver(size.width * options.monitors, size.height);
        if (options.monitors > 1 && !side_by_side(xserver, size, options.monitors))
            throw std::runtime_error("no RandR monitors");
        const int xvfb = xvfb_pid(xserver);
        if (!xvfb) throw std::runtime_error("no Xvfb process under the launcher");
        servers.push_back({"X11", xvfb, {"WAYLAND_DISPLAY", "WAYLAND_SOCKET", "ORRELUNE_DRIVER"}});
        if (options.wayland) {
            sway = start_sway(size.width, size.height);
            servers.push_back({"Wayland", sway.pid, sway_env(sway)});
        }
        if (options.wayland_scale) {
            scaled_sway =
                start_sway(size.width, size.height, "output * scale " + std::to_string(options.wayland_scale));
            servers.push_back(
                {"Wayland at scale " + std::to_string(options.wayland_scale), scaled_sway.pid, sway_env(scaled_sway)});
        }
    } catch (const std::exception& e) {
        fprintf(stderr, "frame_bench: no private %s (%s; are Xvfb and sway installed?)\n",
                servers.empty() ? "X server" : "sway", e.what());
        if (sway.pid) stop_sway(&sway);
        stop_xserver(&xserver);
        return false;
    }
    std::vector<Run> runs;
    for (const Server& server : servers)
        for (const Program& program : options.programs)
            if (&server == &servers[0] || !program.x11_only) runs.push_back({&program, &server, {}, {}, {}, {}, {}});

    printf("%dx%d on a private Xvfb%s%s, %d rounds of %g s after %g s of warm-up\n", size.width, size.height,
           options.monitors > 1 ? (" x " + std::to_string(options.monitors) + " monitors").c_str() : "",
           options.wayland ? " and a private headless sway" : "", options.rounds, options.seconds, options.warm_up);
    printf("  %-44s %8s %8s %8s %8s\n", "", "CPU ms", "server's", "frames", "drawn");
    printf("  %-44s %8s %8s %8s %8s\n", "", "a frame", "CPU ms", "shown/s", "a second");
    bool ok = true;
    for (int round = 0; round < options.rounds && ok; ++round)
        for (Run& run : runs) ok = ok && measure(&run, options, config_dir);
    if (options.wayland) stop_sway(&sway);
    if (options.wayland_scale) stop_sway(&scaled_sway);
    stop_xserver(&xserver);
    if (!ok) return false;

    printf("medians\n");
    for (const Run& run : runs)
        print_figures(run.name(), median(run.cpu_ms_per_frame), median(run.server_ms_per_frame),
                      median(run.frames_per_second), median(run.drawn_per_second));
    print_ratios(options, servers, runs);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int code = parse(argc, argv, &options)) return code;
    const Scratch config("frame-bench-settings");
    bool ok = true;
    for (Size size : options.sizes) ok = ok && measure_at(size, options, config.dir);
    return ok ? 0 : 1;
}
