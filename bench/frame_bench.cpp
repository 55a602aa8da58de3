// The cost of a frame as a user sees it: `orrelune /s` runs on a private
// Xvfb at 1024 x 768 and then at 1920 x 1080 with Mesa's software renderer,
// beside two references on the same frame clock (bench/floor.cpp): the
// floor (clear, one textured full-screen quad, swap) and the picture's own
// limit (clear, the stars, the Sun's mask multiplied in and two glows
// added, each over the whole screen one texture at a time), and optionally
// beside other builds of orrelune and another program. Each runs in turn, several rounds interleaved (A B A B), for a
// warm-up and then a measured stretch; its frames are counted at the buffer
// swap (swap_counter, preloaded) and its CPU time is that of the whole
// process, the renderer's threads included. Prints CPU milliseconds per
// frame and frames per second for each round, their medians, and the ratio
// of orrelune's CPU per frame to each of the others'.
//
//   bench/frame_bench [--seconds S] [--warm-up S] [--rounds N] [--size WxH]
//                     [--also ORRELUNE] [--peer 'COMMAND ARGUMENTS']
//
// --size measures at that size alone.
// --also names another orrelune build to measure beside this one (for
// before and after figures); --peer another program (by its path) that
// draws full screen on the display it is given, for example a GL hack with
// its root-window switch.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

struct Size {
    int width, height;
};
const double first_frame_limit_ms = 30000;

struct Program {
    std::string name;
    std::vector<std::string> argv;
    std::vector<double> cpu_ms_per_frame, frames_per_second;
};

struct Options {
    double seconds = 10, warm_up = 3;
    int rounds = 3;
    std::vector<Size> sizes = {{1024, 768}, {1920, 1080}};
    std::vector<Program> programs;  // orrelune first
};

int usage(const char* why) {
    fprintf(stderr, "frame_bench: %s\n", why);
    fprintf(stderr,
            "usage: frame_bench [--seconds S] [--warm-up S] [--rounds N] [--size WxH] [--also ORRELUNE] "
            "[--peer 'COMMAND']\n");
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

// The swap count that swap_counter keeps in a shared file.
struct SwapCounter {
    std::string path;
    volatile uint64_t* count = nullptr;
};

SwapCounter make_counter() {
    SwapCounter counter;
    char path[] = "/tmp/frame-bench-swaps-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return counter;
    counter.path = path;
    const uint64_t zero = 0;
    if (write(fd, &zero, sizeof zero) == sizeof zero) {
        void* mapped = mmap(nullptr, sizeof zero, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (mapped != MAP_FAILED) counter.count = static_cast<volatile uint64_t*>(mapped);
    }
    close(fd);
    return counter;
}

void drop_counter(SwapCounter* counter) {
    if (counter->count) munmap(const_cast<uint64_t*>(counter->count), sizeof(uint64_t));
    if (!counter->path.empty()) unlink(counter->path.c_str());
}

double now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// One run of one program, its figures added to its lists; false when it
// shows no frame or stops by itself. Every program runs with Mesa's
// software renderer and the swap counter, and orrelune with no settings
// (so at the screen's own size).
bool measure(Program* program, const Options& options, const std::string& config_dir) {
    SwapCounter counter = make_counter();
    if (!counter.count) return false;
    const char* preloaded = getenv("LD_PRELOAD");
    Child child = spawn(program->argv, {
                                           "SWAP_COUNTER_FILE=" + counter.path,
                                           std::string("LD_PRELOAD=") + SWAP_COUNTER_PATH +
                                               (preloaded ? std::string(" ") + preloaded : ""),
                                           "LIBGL_ALWAYS_SOFTWARE=1",
                                           "XDG_CONFIG_HOME=" + config_dir,
                                       });
    const pid_t pid = child.pid;

    bool ok = wait_until([&] { return *counter.count > 0 || !still_running(child); }, first_frame_limit_ms) &&
              *counter.count > 0;
    if (ok) sleep_ms(static_cast<int>(options.warm_up * 1000));
    const uint64_t frames_before = *counter.count;
    const double cpu_before = cpu_seconds(pid), wall_before = now_ms();
    if (ok) sleep_ms(static_cast<int>(options.seconds * 1000));
    const uint64_t frames = *counter.count - frames_before;
    const double cpu_after = cpu_seconds(pid), wall = now_ms() - wall_before;
    ok = ok && still_running(child) && frames > 0 && cpu_before >= 0 && cpu_after >= cpu_before;
    kill_child(&child);
    unlink(child.stderr_path.c_str());
    drop_counter(&counter);
    if (!ok) {
        fprintf(stderr, "frame_bench: %s showed no frames or stopped\n", program->name.c_str());
        return false;
    }
    program->cpu_ms_per_frame.push_back((cpu_after - cpu_before) * 1000 / static_cast<double>(frames));
    program->frames_per_second.push_back(static_cast<double>(frames) * 1000 / wall);
    printf("  %-44s %8.2f %8.1f\n", program->name.c_str(), program->cpu_ms_per_frame.back(),
           program->frames_per_second.back());
    fflush(stdout);
    return true;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Returns 0 on success, else the exit code after a message.
int parse(int argc, char** argv, Options* options) {
    options->programs.push_back({"orrelune /s", {ORRELUNE_PATH, "/s"}, {}, {}});
    std::vector<Program> peers;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
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
        } else if (arg == "--also") {
            options->programs.push_back({std::string(value) + " /s", {value, "/s"}, {}, {}});
        } else if (arg == "--peer") {
            peers.push_back({value, words(value), {}, {}});
            if (peers.back().argv.empty()) return usage("--peer wants a command");
        } else {
            return usage(("unknown argument " + arg).c_str());
        }
    }
    if (options->seconds <= 0 || options->warm_up < 0 || options->rounds < 1)
        return usage("--seconds and --rounds want positive numbers");
    options->programs.push_back({"floor", {FLOOR_PATH}, {}, {}});
    options->programs.push_back({"limit (four full-screen passes)", {FLOOR_PATH, "/limit"}, {}, {}});
    options->programs.insert(options->programs.end(), peers.begin(), peers.end());
    return 0;
}

// Every program at one size, in rounds; prints the figures, medians and
// ratios. False when a program could not be measured.
bool measure_at(Size size, Options* options, const std::string& config_dir) {
    XServer server;
    try {
        server = start_xserver(size.width, size.height);
    } catch (const std::exception& e) {
        fprintf(stderr, "frame_bench: no private X server (%s; is Xvfb installed?)\n", e.what());
        return false;
    }
    printf("%dx%d on a private Xvfb, %d rounds of %g s after %g s of warm-up\n", size.width, size.height,
           options->rounds, options->seconds, options->warm_up);
    printf("  %-44s %8s %8s\n", "", "CPU ms", "frames");
    printf("  %-44s %8s %8s\n", "", "a frame", "a second");
    bool ok = true;
    for (Program& program : options->programs) {
        program.cpu_ms_per_frame.clear();
        program.frames_per_second.clear();
    }
    for (int round = 0; round < options->rounds && ok; ++round)
        for (Program& program : options->programs) ok = ok && measure(&program, *options, config_dir);
    stop_xserver(&server);
    if (!ok) return false;

    printf("medians\n");
    for (const Program& program : options->programs)
        printf("  %-44s %8.2f %8.1f\n", program.name.c_str(), median(program.cpu_ms_per_frame),
               median(program.frames_per_second));
    const double own = median(options->programs[0].cpu_ms_per_frame);
    for (size_t i = 1; i < options->programs.size(); ++i)
        printf("CPU per frame of %s: %.2f x that of %s\n", options->programs[0].name.c_str(),
               own / median(options->programs[i].cpu_ms_per_frame), options->programs[i].name.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int code = parse(argc, argv, &options)) return code;
    char config_dir[] = "/tmp/frame-bench-settings-XXXXXX";
    if (!mkdtemp(config_dir)) return 1;
    bool ok = true;
    for (Size size : options.sizes) ok = ok && measure_at(size, &options, config_dir);
    std::error_code ignored;
    std::filesystem::remove_all(config_dir, ignored);
    return ok ? 0 : 1;
}
