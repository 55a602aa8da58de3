// Painting the windows the layer draws itself: the canvas, Xft rectangles
// and text, and smoothed shapes put as images.
#include "x11/x11_paint.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>

void x11_canvas_begin(X11Canvas* canvas, Window window, int width, int height) {
    Display* display = x11_state.display;
    int screen = x11_state.screen;
    canvas->window = window;
    canvas->width = width;
    canvas->height = height;
    canvas->pixmap = XCreatePixmap(display, window, (unsigned)width, (unsigned)height, DefaultDepth(display, screen));
    canvas->draw =
        XftDrawCreate(display, canvas->pixmap, DefaultVisual(display, screen), DefaultColormap(display, screen));
    canvas->gc = XCreateGC(display, canvas->pixmap, 0, nullptr);
}

void x11_canvas_finish(X11Canvas* canvas) {
    Display* display = x11_state.display;
    x11_expect_error(display);
    XCopyArea(display, canvas->pixmap, canvas->window, canvas->gc, 0, 0, (unsigned)canvas->width,
              (unsigned)canvas->height, 0, 0);
    x11_check_error();
    XFreeGC(display, canvas->gc);
    XftDrawDestroy(canvas->draw);
    XFreePixmap(display, canvas->pixmap);
    XFlush(display);
}

int x11_text_width(XftFont* font, const std::string& text) {
    if (!font || text.empty()) return 0;
    XGlyphInfo extents;
    XftTextExtentsUtf8(x11_state.display, font, (const FcChar8*)text.data(), (int)text.size(), &extents);
    return extents.xOff;
}

void x11_draw_text(XftDraw* draw, const XftColor& colour, XftFont* font, int x, int baseline, const std::string& text) {
    if (font && !text.empty())
        XftDrawStringUtf8(draw, &colour, font, x, baseline, (const FcChar8*)text.data(), (int)text.size());
}

void x11_fill(XftDraw* draw, const XftColor& colour, int x, int y, int width, int height) {
    if (width > 0 && height > 0) XftDrawRect(draw, &colour, x, y, (unsigned)width, (unsigned)height);
}

void x11_outline(XftDraw* draw, const XftColor& colour, const RECT& r, int thickness) {
    int w = r.right - r.left, h = r.bottom - r.top;
    x11_fill(draw, colour, r.left, r.top, w, thickness);
    x11_fill(draw, colour, r.left, r.bottom - thickness, w, thickness);
    x11_fill(draw, colour, r.left, r.top, thickness, h);
    x11_fill(draw, colour, r.right - thickness, r.top, thickness, h);
}

void x11_focus_ring(XftDraw* draw, const XftColor& colour, const RECT& r) {
    for (int x = r.left; x < r.right; x += 2) {
        x11_fill(draw, colour, x, r.top, 1, 1);
        x11_fill(draw, colour, x, r.bottom - 1, 1, 1);
    }
    for (int y = r.top; y < r.bottom; y += 2) {
        x11_fill(draw, colour, r.left, y, 1, 1);
        x11_fill(draw, colour, r.right - 1, y, 1, 1);
    }
}

namespace {

unsigned long channel(double value, unsigned long mask) {
    if (!mask) return 0;
    int shift = __builtin_ctzl(mask);
    unsigned long top = mask >> shift;
    return ((unsigned long)lround(std::min(1.0, std::max(0.0, value)) * top) << shift) & mask;
}

}  // namespace

bool x11_put_smooth(Drawable target, GC gc, const RECT& where,
                    const std::function<X11Rgb(double x, double y)>& colour_at) {
    Display* display = x11_state.display;
    Visual* visual = DefaultVisual(display, x11_state.screen);
    int w = where.right - where.left, h = where.bottom - where.top;
    if (w <= 0 || h <= 0) return true;
    if (visual->c_class != TrueColor) return false;
    XImage* image =
        XCreateImage(display, visual, DefaultDepth(display, x11_state.screen), ZPixmap, 0, nullptr, w, h, 32, 0);
    if (!image) return true;
    image->data = (char*)malloc((size_t)image->bytes_per_line * h);
    const int n = 4;
    for (int py = 0; py < h; ++py) {
        for (int px = 0; px < w; ++px) {
            X11Rgb sum = {0, 0, 0};
            for (int sy = 0; sy < n; ++sy) {
                for (int sx = 0; sx < n; ++sx) {
                    X11Rgb c = colour_at(px + (sx + 0.5) / n, py + (sy + 0.5) / n);
                    sum.r += c.r;
                    sum.g += c.g;
                    sum.b += c.b;
                }
            }
            double k = 1.0 / (n * n);
            XPutPixel(image, px, py,
                      channel(sum.r * k, visual->red_mask) | channel(sum.g * k, visual->green_mask) |
                          channel(sum.b * k, visual->blue_mask));
        }
    }
    XPutImage(display, target, gc, image, 0, 0, where.left, where.top, w, h);
    XDestroyImage(image);  // frees the pixels too
    return true;
}

bool x11_is_viewable(Window window) {
    XWindowAttributes attributes;
    x11_expect_error(x11_state.display);
    bool viewable = XGetWindowAttributes(x11_state.display, window, &attributes) && attributes.map_state == IsViewable;
    x11_check_error();
    return viewable;
}

bool x11_waited_too_long(time_t since) {
    return time(nullptr) - since > 2;
}

XftColor x11_colour(unsigned rgb) {
    Display* display = x11_state.display;
    XRenderColor value = {(unsigned short)(((rgb >> 16) & 0xFF) * 0x101), (unsigned short)(((rgb >> 8) & 0xFF) * 0x101),
                          (unsigned short)((rgb & 0xFF) * 0x101), 0xFFFF};
    XftColor result;
    XftColorAllocValue(display, DefaultVisual(display, x11_state.screen), DefaultColormap(display, x11_state.screen),
                       &value, &result);
    return result;
}
