#include "offscreen_context.h"

#include <stdio.h>

#include "layer_test.h"

bool open_offscreen_context(OffscreenContext* offscreen, int width, int height) {
    offscreen->previous = OSMesaGetCurrentContext();
    if (offscreen->previous) {
        GLint format = 0;
        OSMesaGetColorBuffer(offscreen->previous, &offscreen->previous_width, &offscreen->previous_height, &format,
                             &offscreen->previous_buffer);
    }
    offscreen->pixels.assign(static_cast<size_t>(width) * height * 4, 0);
    offscreen->context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
    if (!offscreen->context ||
        !OSMesaMakeCurrent(offscreen->context, offscreen->pixels.data(), GL_UNSIGNED_BYTE, width, height))
        return false;
    if (!glGetString(GL_VERSION)) {
        fprintf(stderr, "the gl* calls reach another GL library than OSMesa: link OSMesa ahead of it\n");
        return false;
    }
    return true;
}

void close_offscreen_context(OffscreenContext* offscreen) {
    if (offscreen->context) OSMesaDestroyContext(offscreen->context);
    offscreen->context = nullptr;
    if (offscreen->previous)
        OSMesaMakeCurrent(offscreen->previous, offscreen->previous_buffer, GL_UNSIGNED_BYTE, offscreen->previous_width,
                          offscreen->previous_height);
}

HDC null_driver_device_context(const char* class_name) {
    layer_use_null_driver();
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(NULL);
    window_class.lpszClassName = class_name;
    RegisterClassA(&window_class);
    HWND window =
        CreateWindowExA(0, class_name, class_name, WS_POPUP, 0, 0, 64, 64, NULL, NULL, window_class.hInstance, NULL);
    return GetDC(window);
}
