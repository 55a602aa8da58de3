#include "scene_fixture.h"

#include <vector>

#include "platform.h"
#include <GL/osmesa.h>
#include "layer_test.h"
#include "display/gl_window.h"
#include "scene/frame.h"
#include "scene/scene_state.h"

namespace {
const int view_width = 32;
const int view_height = 24;
std::vector<GLubyte> pixels(view_width* view_height * 4);
HDC device_context = NULL;
}  // namespace

bool make_offscreen_context() {
    layer_use_null_driver();
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.lpszClassName = "SceneTests";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, "SceneTests", "", WS_POPUP, 0, 0, view_width, view_height, NULL, NULL, NULL, NULL);
    device_context = GetDC(window);
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
    return context && OSMesaMakeCurrent(context, pixels.data(), GL_UNSIGNED_BYTE, view_width, view_height);
}

HDC font_device_context() {
    return device_context;
}

void start_run(uint32_t seed) {
    reset_scene();
    random_seed(seed);
    init_gl(device_context, view_width, view_height);
    resize_view(view_width, view_height);
}

void start_steps(uint32_t seed) {
    reset_scene();
    random_seed(seed);
    start_scene();
}
