#include "assets_fixture.h"

#include <GL/osmesa.h>
#include "layer_test.h"

namespace {
std::vector<GLubyte> buffer(view_width* view_height * 4);
HDC device_context = NULL;
}  // namespace

bool make_offscreen_context() {
    layer_use_null_driver();
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.lpszClassName = "AssetTests";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, "AssetTests", "", WS_POPUP, 0, 0, view_width, view_height, NULL, NULL, NULL, NULL);
    device_context = GetDC(window);
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
    return context && OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, view_width, view_height);
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
