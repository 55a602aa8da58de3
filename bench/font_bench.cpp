// The time to build the title font: the font request, its selection and
// the 255 outline glyphs with their display lists and metrics, as the scene
// does once at start-up. With a display it runs in a real GLX context;
// without one, on the null driver, where no GL is compiled.
#include <stdlib.h>

#include <benchmark/benchmark.h>
#include <layer_test.h>

#include "gl_context.h"

namespace {

void BM_BuildTitleFont(benchmark::State& state) {
    static GlWindow gl{};
    static bool ready = open_gl_window("FontBench", 64, 64, &gl);
    if (!ready) {
        state.SkipWithError("no rendering context");
        return;
    }
    static GLuint base = glGenLists(256);
    static GLYPHMETRICSFLOAT metrics[256];
    for (auto _ : state) {
        HFONT font = CreateFontA(-12, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial");
        SelectObject(gl.device_context, font);
        if (!wglUseFontOutlinesA(gl.device_context, 0, 255, base, 0.0f, 0.2f, WGL_FONT_POLYGONS, metrics)) {
            state.SkipWithError("the outline build failed");
            break;
        }
        glFinish();
        SelectObject(gl.device_context, GetStockObject(SYSTEM_FONT));
        DeleteObject(font);
    }
    state.SetLabel(getenv("DISPLAY") ? "GLX context" : "null driver, no GL");
}
BENCHMARK(BM_BuildTitleFont)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!getenv("DISPLAY")) layer_use_null_driver();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
