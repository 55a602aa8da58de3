// One tick of the scene (step, frame, swap) in Mesa's offscreen renderer,
// at a tiny size where the geometry dominates and at a full-screen size;
// and the step alone, which runs without GL. Each tick benchmark also
// reports the CPU time per tick (all threads of the process, so Mesa's
// rasteriser threads count) and the heap allocations per tick in the
// steady state: every one of the process (the scene, GLU and Mesa), and
// those made by code of this binary itself (the program's objects), told
// apart by the caller's address.
//   bench/scene_bench
#include <stdint.h>
#include <stdlib.h>
#include <time.h>

#include <new>

#include <benchmark/benchmark.h>

#include "platform.h"
#include "offscreen_context.h"
#include "display/gl_window.h"
#include "scene/frame.h"
#include "scene/scene_state.h"

// Every heap allocation of the process goes through these: glibc's own
// allocator behind a counter.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}

// The linker's marks around this binary's code.
extern "C" char __executable_start;
extern "C" char etext;

namespace {
unsigned long long allocations;      // the whole process
unsigned long long own_allocations;  // called from this binary's code

inline void count(const void* caller) {
    ++allocations;
    if (caller >= &__executable_start && caller < &etext) ++own_allocations;
}
}  // namespace

extern "C" {
void* malloc(size_t size) {
    count(__builtin_return_address(0));
    return __libc_malloc(size);
}
void* calloc(size_t n, size_t size) {
    count(__builtin_return_address(0));
    return __libc_calloc(n, size);
}
void* realloc(void* pointer, size_t size) {
    count(__builtin_return_address(0));
    return __libc_realloc(pointer, size);
}
void* memalign(size_t alignment, size_t size) {
    count(__builtin_return_address(0));
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    count(__builtin_return_address(0));
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    count(__builtin_return_address(0));
    *out = __libc_memalign(alignment, size);
    return *out ? 0 : 12;  // ENOMEM
}
void free(void* pointer) {
    __libc_free(pointer);
}
}

// operator new lives in this binary too: count its caller, not itself.
void* operator new(size_t size) {
    count(__builtin_return_address(0));
    if (void* p = __libc_malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    count(__builtin_return_address(0));
    if (void* p = __libc_malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* pointer) noexcept {
    free(pointer);
}
void operator delete[](void* pointer) noexcept {
    free(pointer);
}
void operator delete(void* pointer, size_t) noexcept {
    free(pointer);
}
void operator delete[](void* pointer, size_t) noexcept {
    free(pointer);
}

namespace {

double process_cpu_seconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

// The outline font is built on a device context; set up in main.
HDC font_device_context = NULL;

// A fresh run in its own context at the given size; the comet is flying
// (tick 500 has passed) so every stage draws.
struct OffscreenRun {
    OffscreenContext offscreen;
    bool ready;

    OffscreenRun(int width, int height) : ready(open_offscreen_context(&offscreen, width, height)) {
        if (!ready) return;
        reset_scene();
        random_seed(1);
        init_gl(font_device_context, width, height);
        resize_view(width, height);
        for (int tick = 0; tick < 510; ++tick) {
            step_scene();
            draw_frame();
        }
        glFinish();
    }
    ~OffscreenRun() { close_offscreen_context(&offscreen); }
};

// Counters per tick: cpu_ms, heap allocations of the whole process
// (allocs) and of the program's own code (own_allocs).
void count_ticks(benchmark::State& state, void (*tick)()) {
    const unsigned long long all_before = allocations, own_before = own_allocations;
    const double cpu = process_cpu_seconds();
    for (auto _ : state) tick();
    // Read everything before the counters' map allocates its entries.
    const double cpu_ms = (process_cpu_seconds() - cpu) * 1000.0;
    const double all = static_cast<double>(allocations - all_before);
    const double own = static_cast<double>(own_allocations - own_before);
    const double n = static_cast<double>(state.iterations());
    state.counters["cpu_ms"] = cpu_ms / n;
    state.counters["allocs"] = all / n;
    state.counters["own_allocs"] = own / n;
    state.SetItemsProcessed(state.iterations());
}

void whole_tick() {
    step_scene();
    draw_frame();
    glFinish();
}

void BM_SceneTick(benchmark::State& state) {
    OffscreenRun run(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    if (!run.ready) return state.SkipWithError("no offscreen GL context");
    count_ticks(state, whole_tick);
}
BENCHMARK(BM_SceneTick)->Args({32, 24})->Args({1024, 768})->Unit(benchmark::kMillisecond);

// The same tick at 1024 x 768 drawn into a single pixel (the clear too):
// the scene's own work, the GL calls and the vertex processing remain, the
// filling of pixels goes. Its difference from the full tick is the
// rasteriser's share.
void BM_SceneTickWithoutPixels(benchmark::State& state) {
    OffscreenRun run(1024, 768);
    if (!run.ready) return state.SkipWithError("no offscreen GL context");
    glViewport(0, 0, 1, 1);
    // The clear goes by the scissor, not the viewport.
    glScissor(0, 0, 1, 1);
    glEnable(GL_SCISSOR_TEST);
    count_ticks(state, whole_tick);
}
BENCHMARK(BM_SceneTickWithoutPixels)->Unit(benchmark::kMillisecond);

// From program start, as a run steps: the comet comes and goes.
void BM_StepScene(benchmark::State& state) {
    reset_scene();
    random_seed(1);
    start_scene();
    count_ticks(state, step_scene);
    benchmark::DoNotOptimize(scene.camera_depth);
}
BENCHMARK(BM_StepScene);

}  // namespace

int main(int argc, char** argv) {
    font_device_context = null_driver_device_context("SceneBench");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
