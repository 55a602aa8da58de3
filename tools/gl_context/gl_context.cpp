#include "gl_context.h"

bool make_gl_context(HWND window, GlWindow* gl, BYTE colour_bits) {
    PIXELFORMATDESCRIPTOR request = display_pixel_format;
    request.cColorBits = colour_bits;
    gl->window = window;
    gl->device_context = GetDC(window);
    gl->render_context = NULL;
    const int format = ChoosePixelFormat(gl->device_context, &request);
    if (!format || !SetPixelFormat(gl->device_context, format, &request)) return false;
    gl->render_context = wglCreateContext(gl->device_context);
    return gl->render_context && wglMakeCurrent(gl->device_context, gl->render_context);
}

bool open_gl_window(const char* class_name, int width, int height, GlWindow* gl, BYTE colour_bits) {
    *gl = {};
    WNDCLASSA window_class = {};
    window_class.style = CS_OWNDC;
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(NULL);
    window_class.lpszClassName = class_name;
    if (!RegisterClassA(&window_class)) return false;
    HWND window = CreateWindowExA(0, class_name, class_name, WS_POPUP | WS_VISIBLE, 0, 0, width, height, NULL, NULL,
                                  window_class.hInstance, NULL);
    return window && make_gl_context(window, gl, colour_bits);
}

void close_gl_window(GlWindow* gl) {
    wglMakeCurrent(NULL, NULL);
    if (gl->render_context) wglDeleteContext(gl->render_context);
    if (gl->window && IsWindow(gl->window)) DestroyWindow(gl->window);
    *gl = {};
}
