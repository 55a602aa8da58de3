// The null driver's side of pixel formats and rendering contexts: a fixed
// table of formats, contexts that are records in memory, and no GL at all.
// The logic tests of the display set-up and release run on it. The core
// keeps each window's format; this driver asks it.
#include "null/null_private.h"

namespace {

PIXELFORMATDESCRIPTOR make_format(DWORD flags, int colour, int alpha, int depth, int stencil) {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | flags;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = static_cast<BYTE>(colour);
    int channel = colour == 16 ? 5 : 8;
    pfd.cRedBits = pfd.cBlueBits = static_cast<BYTE>(channel);
    pfd.cGreenBits = static_cast<BYTE>(colour == 16 ? 6 : 8);
    pfd.cRedShift = static_cast<BYTE>(colour == 16 ? 11 : 16);
    pfd.cGreenShift = static_cast<BYTE>(colour == 16 ? 5 : 8);
    pfd.cAlphaBits = static_cast<BYTE>(alpha);
    pfd.cAlphaShift = static_cast<BYTE>(alpha ? 24 : 0);
    pfd.cDepthBits = static_cast<BYTE>(depth);
    pfd.cStencilBits = static_cast<BYTE>(stencil);
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

// The formats of a common display: true colour with and without alpha,
// double- and single-buffered, and a 16-bit one.
const PIXELFORMATDESCRIPTOR formats[] = {
    make_format(PFD_DOUBLEBUFFER, 24, 8, 24, 8),
    make_format(PFD_DOUBLEBUFFER, 24, 0, 24, 0),
    make_format(0, 24, 8, 24, 8),
    make_format(PFD_DOUBLEBUFFER, 16, 0, 16, 0),
    make_format(PFD_DOUBLEBUFFER, 24, 8, 0, 0),
};
const int format_total = sizeof formats / sizeof formats[0];

struct NullContext {
    int format;
};

int null_format_count(HWND, int* settable) {
    *settable = format_total;
    return format_total;
}

bool null_describe_format(HWND, int format, PIXELFORMATDESCRIPTOR* descriptor) {
    if (format < 1 || format > format_total) return false;
    *descriptor = formats[format - 1];
    return true;
}

// Every listed format can be set; the core records it.
bool null_set_format(HWND, int) {
    return true;
}

void* null_create_context(HWND, int format) {
    return new NullContext{format};
}

// A context goes only on windows of its own format, as with a real driver.
bool null_make_current(HWND window, void* context) {
    return !context || layer_core_pixel_format(window) == static_cast<NullContext*>(context)->format;
}

void null_delete_context(void* context) {
    delete static_cast<NullContext*>(context);
}

void null_swap_buffers(HWND) {}

const LayerGlDriver null_gl = {
    null_format_count, null_describe_format, null_set_format,   null_create_context,
    null_make_current, null_delete_context,  null_swap_buffers, nullptr,
    nullptr,
};

}  // namespace

const LayerGlDriver* null_gl_driver() {
    return &null_gl;
}
