#include "assets_fixture.h"

#include "offscreen_context.h"

namespace {
OffscreenContext offscreen;
HDC device_context = NULL;
}  // namespace

bool make_offscreen_context() {
    device_context = null_driver_device_context("AssetTests");
    return open_offscreen_context(&offscreen, view_width, view_height);
}

HDC font_device_context() {
    return device_context;
}

std::vector<GLubyte> read_view() {
    std::vector<GLubyte> pixels(view_width * view_height * 4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, view_width, view_height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}
