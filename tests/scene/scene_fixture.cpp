#include "scene_fixture.h"

#include "platform.h"
#include "offscreen_context.h"
#include "display/gl_window.h"
#include "scene/frame.h"
#include "scene/scene_state.h"

namespace {
const int view_width = 32;
const int view_height = 24;
OffscreenContext offscreen;
HDC device_context = NULL;
}  // namespace

bool make_offscreen_context() {
    device_context = null_driver_device_context("SceneTests");
    return open_offscreen_context(&offscreen, view_width, view_height);
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
