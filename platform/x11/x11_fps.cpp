// The frame rate over the picture (--fps), as a screen-saver daemon's other
// GL savers show theirs: counted at each buffer swap and drawn into the back
// buffer just before it, in the bottom-left corner, with an X core font made
// into display lists of the current context. The program's GL state is
// saved around it and comes back unchanged.
#include "kernel/layer_kernel.h"
#include "x11/x11_private.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

#include <GL/gl.h>

namespace {

const int first_glyph = 32, glyph_count = 96;  // printable ASCII
const int margin = 8, padding = 4;

// A font that is readable over a whole screen; "fixed" is in every server.
XFontStruct* load_font(Display* display) {
    const char* names[] = {"-misc-fixed-bold-r-normal--18-*-*-*-*-*-iso8859-1", "9x15bold", "fixed"};
    for (const char* name : names)
        if (XFontStruct* font = XLoadQueryFont(display, name)) return font;
    return nullptr;
}

void prepare(Display* display, GLXContext context) {
    X11FrameRate& rate = x11_state.frame_rate;
    rate = X11FrameRate{};
    rate.context = context;
    clock_gettime(CLOCK_MONOTONIC, &rate.since);
    snprintf(rate.text, sizeof rate.text, "FPS: --");
    XFontStruct* font = load_font(display);
    if (!font) {
        layer_fixme_once("no X core font to show the frame rate with");
        return;
    }
    rate.list_base = glGenLists(glyph_count);
    glXUseXFont(font->fid, first_glyph, glyph_count, rate.list_base);
    rate.glyph_width = font->max_bounds.width;
    rate.ascent = font->ascent;
    rate.descent = font->descent;
    XFreeFont(display, font);
}

void count_frame() {
    X11FrameRate& rate = x11_state.frame_rate;
    ++rate.frames;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    double seconds = (now.tv_sec - rate.since.tv_sec) + (now.tv_nsec - rate.since.tv_nsec) / 1e9;
    if (seconds < 1.0) return;
    snprintf(rate.text, sizeof rate.text, "FPS: %.1f", rate.frames / seconds);
    rate.frames = 0;
    rate.since = now;
}

}  // namespace

void x11_draw_fps(Window window, int width, int height) {
    X11FrameRate& rate = x11_state.frame_rate;
    Display* display = x11_state.display;
    GLXContext context = glXGetCurrentContext();
    if (!context || glXGetCurrentDrawable() != window) return;
    if (context != rate.context) prepare(display, context);
    count_frame();
    if (!rate.list_base) return;

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    // Light text on a black ground, readable over any part of the picture.
    const int length = static_cast<int>(strlen(rate.text));
    glColor3f(0.0f, 0.0f, 0.0f);
    glRecti(margin, margin, margin + 2 * padding + length * rate.glyph_width,
            margin + 2 * padding + rate.ascent + rate.descent);
    glColor3f(1.0f, 1.0f, 1.0f);
    // Each glyph at its own cell of the fixed-width font: Mesa's lists for a
    // blank glyph (the space) do not move the raster position.
    for (int i = 0; i < length; ++i) {
        glRasterPos2i(margin + padding + i * rate.glyph_width, margin + padding + rate.descent);
        glCallList(rate.list_base + static_cast<unsigned char>(rate.text[i]) - first_glyph);
    }

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}
