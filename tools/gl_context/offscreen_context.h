// Mesa's offscreen renderer (OSMesa, no display) for the scene tool, the
// scene's and assets' tests and the scene benchmark, and the null-driver
// device context the outline font is built on there.
// The rest may use: OffscreenContext, open_offscreen_context,
// close_offscreen_context, null_driver_device_context.
#pragma once

#include <vector>

#include "platform.h"
#include <GL/osmesa.h>

struct OffscreenContext {
    OSMesaContext context = nullptr;
    // RGBA, 8 bits a channel, bottom row first.
    std::vector<GLubyte> pixels;
    // The context that was current before, made current again on close.
    OSMesaContext previous = nullptr;
    void* previous_buffer = nullptr;
    GLint previous_width = 0, previous_height = 0;
};

// An RGBA context with a 16-bit depth buffer, current and drawing into
// offscreen->pixels. False when there is none, and also, with a message,
// when the program's gl* calls would not reach it: a binary that links
// another GL library ahead of OSMesa would otherwise draw nothing and say
// nothing.
bool open_offscreen_context(OffscreenContext* offscreen, int width, int height);
// Destroys the context; the one current before the open is current again.
void close_offscreen_context(OffscreenContext* offscreen);

// Switches the layer to its null driver, which needs no display, and gives
// the device context of a hidden window of a class registered under
// class_name.
HDC null_driver_device_context(const char* class_name);
