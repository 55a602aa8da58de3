// The pixel format the display window asks for. The developer tools, tests
// and benchmarks that open a GL window ask for the same.
// The rest of the program may use: display_pixel_format.
#pragma once

#include "platform.h"

// Double-buffered RGBA in a window, 16 colour bits and a 16-bit depth
// buffer; no alpha, accumulation, stencil or auxiliary buffers.
// clang-format off
inline constexpr PIXELFORMATDESCRIPTOR display_pixel_format = {
    sizeof(PIXELFORMATDESCRIPTOR), 1,                               // nSize, nVersion
    PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,     // dwFlags
    PFD_TYPE_RGBA, 16,                                              // iPixelType, cColorBits
    0, 0, 0, 0, 0, 0,                                               // red, green, blue: bits and shift
    0, 0,                                                           // alpha: bits and shift
    0, 0, 0, 0, 0,                                                  // accumulation: all, red, green, blue, alpha
    16, 0, 0,                                                       // cDepthBits, cStencilBits, cAuxBuffers
    PFD_MAIN_PLANE, 0,                                              // iLayerType, bReserved
    0, 0, 0,                                                        // layer, visible and damage masks
};
// clang-format on
