// One tick of the scene (frame, swap, advance) in Mesa's offscreen renderer,
// at a tiny size where the geometry dominates and at a full-screen size;
// and the advance alone, which runs without GL.
//   bench/scene_bench
#include <stdint.h>

#include <vector>

#include <benchmark/benchmark.h>

#include "platform.h"
#include <GL/osmesa.h>
#include "layer_test.h"
#include "display/gl_window.h"
#include "display/saver_hook.h"
#include "scene/frame.h"
#include "scene/scene_state.h"

namespace {

// A fresh run in its own context at the given size; the comet is flying
// (tick 500 has passed) so every stage draws.
struct OffscreenRun {
    OSMesaContext context = nullptr;
    std::vector<GLubyte> pixels;

    OffscreenRun(int width, int height) : pixels(static_cast<size_t>(width) * height * 4) {
        context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
        OSMesaMakeCurrent(context, pixels.data(), GL_UNSIGNED_BYTE, width, height);
        reset_scene();
        random_seed(1);
        init_gl(width, height);
        resize_view(width, height);
        for (int tick = 0; tick < 510; ++tick) {
            render_frame();
            advance_scene();
        }
        glFinish();
    }
    ~OffscreenRun() { OSMesaDestroyContext(context); }
};

void device_context_for_the_font() {
    layer_use_null_driver();
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.lpszClassName = "SceneBench";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, "SceneBench", "", WS_POPUP, 0, 0, 64, 64, NULL, NULL, NULL, NULL);
    display_state.device_context = GetDC(window);
}

void BM_SceneTick(benchmark::State& state) {
    OffscreenRun run(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        render_frame();
        glFinish();
        advance_scene();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SceneTick)->Args({32, 24})->Args({1024, 768})->Unit(benchmark::kMillisecond);

void BM_AdvanceScene(benchmark::State& state) {
    reset_scene();
    for (auto _ : state) advance_scene();
    benchmark::DoNotOptimize(camera_depth);
}
BENCHMARK(BM_AdvanceScene);

}  // namespace

int main(int argc, char** argv) {
    device_context_for_the_font();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
