// The time from starting `orrelune /s` to its first frame on the screen, on
// a private Xvfb: the program is spawned, the screen is read every few
// milliseconds until a pixel that isn't black shows (the root and the
// program's windows come up black, the first frame never is), then the
// program is ended. Each repetition is one start; the figures are
// wall-clock milliseconds, good to about the polling interval.
//   bench/startup_bench
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>

#include "private_server.h"

namespace {

const int screen_width = 800;
const int screen_height = 600;
const double give_up_ms = 30000;

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

PrivateServer server;
Display* display;

void BM_StartToFirstFrame(benchmark::State& state) {
    if (!display) {
        state.SkipWithError("no private X server (is Xvfb installed?)");
        return;
    }
    for (auto _ : state) {
        // The last run's frame has gone before the clock starts.
        for (double waited = now_ms(); screen_lit(display) && now_ms() - waited < give_up_ms;) sleep_ms(5);
        const char* const argv[] = {ORRELUNE_PATH, "/s", nullptr};
        const double start = now_ms();
        const pid_t program = spawn(argv);
        bool lit = false, running = true;
        while (!(lit = screen_lit(display)) && running && now_ms() - start < give_up_ms) {
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
    server = start_private_server(screen_width, screen_height);
    if (!server.name.empty()) display = XOpenDisplay(server.name.c_str());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (display) XCloseDisplay(display);
    stop_private_server(&server);
    return 0;
}
