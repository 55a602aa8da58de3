// A rendering context in a window, for the developer tools, tests and
// benchmarks that draw with WGL: the display window's own pixel format
// request, set on the window's device context, and a context made current.
// On Linux it runs on the layer (a GLX context on the X11 driver, a record
// on the null driver), on Windows on the system's WGL.
// The rest may use: GlWindow, make_gl_context, open_gl_window, close_gl_window.
#pragma once

#include "platform.h"
#include "display/pixel_format.h"

struct GlWindow {
    HWND window;
    HDC device_context;
    HGLRC render_context;
};

// The display's pixel format on the window's device context, with
// colour_bits in place of its own where a caller reads pixels back at 8
// bits a channel, and a context made current. False when a step fails.
bool make_gl_context(HWND window, GlWindow* gl, BYTE colour_bits = display_pixel_format.cColorBits);

// A visible popup at the screen's corner, of a CS_OWNDC class registered
// under class_name, with make_gl_context's context current.
bool open_gl_window(const char* class_name, int width, int height, GlWindow* gl,
                    BYTE colour_bits = display_pixel_format.cColorBits);

// Nothing current, the context deleted and the window destroyed.
void close_gl_window(GlWindow* gl);
