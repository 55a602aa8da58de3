// Painting the windows the layer draws itself (message boxes and dialogs):
// an off-screen canvas copied in one go, Xft rectangles and text, shapes
// smoothed by sampling, and the wait for such a window to show.
//   Others may use: everything here, from the X11 driver's own files.
#pragma once

#include "x11/x11_private.h"

#include <X11/Xft/Xft.h>
#include <time.h>

#include <functional>
#include <string>

// An opaque Xft colour of the default visual from 0xRRGGBB.
XftColor x11_colour(unsigned rgb);

// Drawn off screen and copied in one go, so nothing flickers.
struct X11Canvas {
    Window window;
    int width, height;
    Pixmap pixmap;
    XftDraw* draw;
    GC gc;
};
void x11_canvas_begin(X11Canvas* canvas, Window window, int width, int height);
// Copies the canvas to its window and frees it.
void x11_canvas_finish(X11Canvas* canvas);

// The advance of UTF-8 text in the font; 0 without a font.
int x11_text_width(XftFont* font, const std::string& text);
void x11_draw_text(XftDraw* draw, const XftColor& colour, XftFont* font, int x, int baseline, const std::string& text);

void x11_fill(XftDraw* draw, const XftColor& colour, int x, int y, int width, int height);
void x11_outline(XftDraw* draw, const XftColor& colour, const RECT& r, int thickness);
// The dotted focus rectangle.
void x11_focus_ring(XftDraw* draw, const XftColor& colour, const RECT& r);

struct X11Rgb {
    double r, g, b;  // 0 to 1
};
// Fills where with the colours colour_at gives at 4 x 4 sample points a
// pixel (x and y in pixels from where's corner), averaged. False, and
// nothing drawn, on a screen that is not TrueColor.
bool x11_put_smooth(Drawable target, GC gc, const RECT& where,
                    const std::function<X11Rgb(double x, double y)>& colour_at);

// Whether the window is mapped and all its ancestors too.
bool x11_is_viewable(Window window);
// Whether a window that should have shown at since is given up on (a window
// manager that never maps it, another client that keeps its grab).
bool x11_waited_too_long(time_t since);
