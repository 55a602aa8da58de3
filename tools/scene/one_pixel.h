// Ticks that nobody looks at, drawn into a single pixel: the scene runs
// exactly as it does for a whole frame (its state never depends on the
// view), and the filling of pixels, most of a frame's cost, is left out.
// For the scene tool and the scene's tests, with the context current.
#pragma once

#include "platform.h"
#include "display/gl_window.h"

inline void draw_into_one_pixel() {
    glViewport(0, 0, 1, 1);
    // The clear goes by the scissor, not the viewport.
    glScissor(0, 0, 1, 1);
    glEnable(GL_SCISSOR_TEST);
}

// Back to whole frames of the given size.
inline void draw_whole_frames(LONG width, LONG height) {
    glDisable(GL_SCISSOR_TEST);
    resize_view(width, height);
}
