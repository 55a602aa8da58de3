// The X11 message box's drawing: its face and button band, its own title
// bar where no window manager draws one, the icon shapes antialiased, the
// text and the buttons, into a pixmap that then goes to the window at once.
#include "kernel/layer_kernel.h"
#include "x11/x11_box.h"
#include "x11/x11_paint.h"

#include <X11/Xft/Xft.h>
#include <math.h>
#include <string.h>

#include <algorithm>

namespace {

using Rgb = X11Rgb;
const Rgb white = {1, 1, 1}, black = {0, 0, 0};

struct Paint {
    Rgb colour;
    double alpha;  // 0: nothing here
};

double segment_distance(double x, double y, double ax, double ay, double bx, double by) {
    double dx = bx - ax, dy = by - ay;
    double t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy);
    t = std::min(1.0, std::max(0.0, t));
    return hypot(x - (ax + t * dx), y - (ay + t * dy));
}

bool in_circle(double x, double y, double cx, double cy, double r) {
    return hypot(x - cx, y - cy) <= r;
}

// A triangle with rounded corners: the triangle (a, b, c) grown by r.
bool in_rounded_triangle(double x, double y, const double* p, double r) {
    auto side = [&](int i, int j) {
        return (p[2 * j] - p[2 * i]) * (y - p[2 * i + 1]) - (p[2 * j + 1] - p[2 * i + 1]) * (x - p[2 * i]);
    };
    double s0 = side(0, 1), s1 = side(1, 2), s2 = side(2, 0);
    if ((s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0)) return true;
    for (int i = 0; i < 3; ++i) {
        int j = (i + 1) % 3;
        if (segment_distance(x, y, p[2 * i], p[2 * i + 1], p[2 * j], p[2 * j + 1]) <= r) return true;
    }
    return false;
}

// The icons, in a unit square.
Paint icon_at(LayerBoxIcon icon, double x, double y) {
    const Rgb red = {0.85, 0.16, 0.17}, yellow = {1.0, 0.78, 0.16}, blue = {0.0, 0.39, 0.69};
    switch (icon) {
    case LAYER_ICON_ERROR: {
        if (!in_circle(x, y, 0.5, 0.5, 0.48)) return {white, 0};
        bool cross = segment_distance(x, y, 0.33, 0.33, 0.67, 0.67) <= 0.05 ||
                     segment_distance(x, y, 0.33, 0.67, 0.67, 0.33) <= 0.05;
        return {cross ? white : red, 1};
    }
    case LAYER_ICON_WARNING: {
        static const double corners[6] = {0.5, 0.1, 0.06, 0.9, 0.94, 0.9};
        if (!in_rounded_triangle(x, y, corners, 0.05)) return {white, 0};
        bool mark = segment_distance(x, y, 0.5, 0.37, 0.5, 0.66) <= 0.05 || in_circle(x, y, 0.5, 0.8, 0.06);
        return {mark ? black : yellow, 1};
    }
    case LAYER_ICON_INFORMATION: {
        if (!in_circle(x, y, 0.5, 0.5, 0.48)) return {white, 0};
        bool mark = segment_distance(x, y, 0.5, 0.45, 0.5, 0.74) <= 0.055 || in_circle(x, y, 0.5, 0.28, 0.07);
        return {mark ? white : blue, 1};
    }
    case LAYER_ICON_QUESTION:
        // The question mark itself is a glyph, drawn over the disc.
        return {blue, in_circle(x, y, 0.5, 0.5, 0.48) ? 1.0 : 0.0};
    default: return {white, 0};
    }
}

// The little cross of the box's own close button.
Paint close_cross_at(double x, double y) {
    bool on = segment_distance(x, y, 0.1, 0.1, 0.9, 0.9) <= 0.07 || segment_distance(x, y, 0.1, 0.9, 0.9, 0.1) <= 0.07;
    return {black, on ? 1.0 : 0.0};
}

// Draws an antialiased shape over a plain background. Only TrueColor
// screens; elsewhere the shape is left out.
template <typename Shape>
void put_shape(Drawable target, GC gc, const RECT& where, Rgb background, Shape shape) {
    int w = where.right - where.left, h = where.bottom - where.top;
    bool drawn = x11_put_smooth(target, gc, where, [&](double x, double y) {
        Paint p = shape(x / w, y / h);
        return Rgb{p.colour.r * p.alpha + background.r * (1 - p.alpha),
                   p.colour.g * p.alpha + background.g * (1 - p.alpha),
                   p.colour.b * p.alpha + background.b * (1 - p.alpha)};
    });
    if (!drawn) layer_fixme_once("message box icons need a TrueColor screen");
}

struct Colours {
    XftColor face, band, band_line, text, frame, button, button_edge, accent, pressed, pressed_edge, white;
};

void draw_button(XftDraw* draw, const Colours& c, const X11BoxFonts& f, const LayerMessageBox* box, int i,
                 const RECT& r) {
    auto px = [&](double value) { return std::max(1, (int)lround(value * f.scale)); };
    bool pressed = box->pressed == i, focused = box->focused == i;
    x11_fill(draw, pressed ? c.pressed : c.button, r.left, r.top, r.right - r.left, r.bottom - r.top);
    // The default (focused) button has a heavier border in the accent colour.
    if (pressed)
        x11_outline(draw, c.pressed_edge, r, px(1));
    else if (focused)
        x11_outline(draw, c.accent, r, px(2));
    else
        x11_outline(draw, c.button_edge, r, px(1));

    std::string label = x11_box_label(box->labels[i]);
    const char* amp = strchr(box->labels[i], '&');
    int label_w = x11_text_width(f.text, label);
    int x = (r.left + r.right - label_w) / 2;
    int baseline = f.text ? (r.top + r.bottom + f.text->ascent - f.text->descent) / 2 : r.bottom;
    x11_draw_text(draw, c.text, f.text, x, baseline, label);
    if (amp && amp[1]) {
        // The letter that presses the button is underlined.
        size_t at = (size_t)(amp - box->labels[i]);
        int before = x11_text_width(f.text, label.substr(0, at));
        int letter = x11_text_width(f.text, label.substr(at, x11_utf8_step(label, at) - at));
        x11_fill(draw, c.text, x + before, baseline + px(2), letter, px(1));
    }
    if (focused) {
        int inset = px(3) + 1;
        x11_focus_ring(draw, c.text, RECT{r.left + inset, r.top + inset, r.right - inset, r.bottom - inset});
    }
}

}  // namespace

void x11_box_paint(HWND window_handle, const LayerMessageBox* box) {
    const X11BoxFonts& f = x11_box_fonts();
    X11BoxGeometry g = x11_box_measure(box);
    auto px = [&](double value) { return std::max(1, (int)lround(value * f.scale)); };

    X11Canvas canvas;
    x11_canvas_begin(&canvas, (Window)(uintptr_t)window_handle, g.width, g.height);
    XftDraw* draw = canvas.draw;
    Colours c = {x11_colour(0xFFFFFF), x11_colour(0xF0F0F0), x11_colour(0xDFDFDF), x11_colour(0x000000),
                 x11_colour(0x7A7A7A), x11_colour(0xE1E1E1), x11_colour(0xADADAD), x11_colour(0x0078D7),
                 x11_colour(0xCCE4F7), x11_colour(0x005499), x11_colour(0xFFFFFF)};

    x11_fill(draw, c.face, 0, 0, g.width, g.band_y);
    x11_fill(draw, c.band, 0, g.band_y, g.width, g.height - g.band_y);
    x11_fill(draw, c.band_line, 0, g.band_y, g.width, 1);

    if (g.title_height) {
        // No window manager: the box draws its own title bar and close button.
        int baseline = f.text ? g.frame + (g.title_height + f.text->ascent - f.text->descent) / 2 : g.title_height;
        x11_draw_text(draw, c.text, f.text, g.frame + px(10), baseline, box->caption);
        int cross = px(10);
        int cx = (g.close_button.left + g.close_button.right - cross) / 2;
        int cy = (g.close_button.top + g.close_button.bottom - cross) / 2;
        put_shape(canvas.pixmap, canvas.gc, RECT{cx, cy, cx + cross, cy + cross}, white, close_cross_at);
        x11_outline(draw, c.frame, RECT{0, 0, g.width, g.height}, 1);
    }

    if (box->icon != LAYER_ICON_NONE) {
        LayerBoxIcon icon = box->icon;
        put_shape(canvas.pixmap, canvas.gc, g.icon, white, [icon](double x, double y) { return icon_at(icon, x, y); });
        if (icon == LAYER_ICON_QUESTION && f.glyph) {
            XGlyphInfo extents;
            XftTextExtentsUtf8(x11_state.display, f.glyph, (const FcChar8*)"?", 1, &extents);
            int x = (g.icon.left + g.icon.right - extents.width) / 2 + extents.x;
            int y = (g.icon.top + g.icon.bottom - extents.height) / 2 + extents.y;
            x11_draw_text(draw, c.white, f.glyph, x, y, "?");
        }
    }

    for (size_t i = 0; i < g.lines.size(); ++i)
        x11_draw_text(draw, c.text, f.text, g.text_x, g.text_y + (int)i * g.line_height + (f.text ? f.text->ascent : 0),
                      g.lines[i]);

    for (int i = 0; i < box->button_count; ++i) draw_button(draw, c, f, box, i, g.buttons[i]);

    x11_canvas_finish(&canvas);
}
