// The X11 side of message boxes: layout and drawing with Xft in the
// desktop's sans font, dialog hints for a window manager, and keeping the
// box above everything, a full-screen saver window included, with the
// keyboard and pointer while it is up.
//   Others may use: x11_message_box_driver() (x11_private.h), through the driver table.
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "x11/x11_paint.h"
#include "x11/x11_private.h"

#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
#include <X11/Xutil.h>
#include <math.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

// ---- fonts ----

struct Fonts {
    Display* display;
    XftFont* text;   // the desktop's sans font at 9 pt, at the screen's resolution
    XftFont* glyph;  // bold, for the question mark of the question icon
    double scale;    // pixels per pixel at 96 dpi
};
Fonts fonts;

const Fonts& open_fonts() {
    Display* display = x11_display();
    if (fonts.display == display) return fonts;
    fonts = {display, nullptr, nullptr, 1.0};
    // Xft applies the Xft.dpi resource, or the screen's own size, to points.
    fonts.text = XftFontOpenName(display, x11_screen(), "sans-serif:size=9");
    double pixels = 12;
    if (fonts.text)
        XftPatternGetDouble(fonts.text->pattern, XFT_PIXEL_SIZE, 0, &pixels);
    else
        layer_fixme_once("no sans-serif font for message boxes; their text is not shown");
    fonts.scale = std::max(1.0, pixels / 12.0);
    char name[64];
    snprintf(name, sizeof name, "sans-serif:bold:pixelsize=%d", (int)lround(24 * fonts.scale));
    fonts.glyph = XftFontOpenName(display, x11_screen(), name);
    return fonts;
}

// ---- layout ----

// Whether a window manager runs (it then draws the title and the close button).
bool window_manager_present() {
    Display* display = x11_display();
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Window root = RootWindow(display, x11_screen());
    auto child_of = [&](Window window, Window* out) {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        bool found = XGetWindowProperty(display, window, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                                        &data) == Success &&
                     type == XA_WINDOW && count == 1;
        if (found) *out = *(Window*)data;
        if (data) XFree(data);
        return found;
    };
    Window supporting = None, self = None;
    x11_trap_errors();
    bool present = child_of(root, &supporting) && child_of(supporting, &self) && self == supporting;
    x11_untrap_errors();
    return present;
}

size_t utf8_step(const std::string& text, size_t at) {
    size_t next = at + 1;
    while (next < text.size() && ((unsigned char)text[next] & 0xC0) == 0x80) ++next;
    return next;
}

// The text's lines: its own line breaks kept, and long lines broken between
// words (inside a word only when it alone is too wide).
std::vector<std::string> wrap(XftFont* font, const char* text, int limit) {
    std::vector<std::string> lines;
    std::string paragraph;
    auto flush = [&]() {
        std::string line;
        size_t at = 0;
        while (at < paragraph.size()) {
            size_t space = paragraph.find(' ', at);
            size_t end = space == std::string::npos ? paragraph.size() : space;
            std::string word = paragraph.substr(at, end - at);
            std::string tried = line.empty() ? word : line + " " + word;
            if (x11_text_width(font, tried) <= limit) {
                line = tried;
            } else {
                if (!line.empty()) lines.push_back(line);
                line.clear();
                // A word wider than the box goes on in pieces.
                while (x11_text_width(font, word) > limit) {
                    size_t cut = utf8_step(word, 0);
                    while (cut < word.size() && x11_text_width(font, word.substr(0, utf8_step(word, cut))) <= limit)
                        cut = utf8_step(word, cut);
                    lines.push_back(word.substr(0, cut));
                    word.erase(0, cut);
                }
                line = word;
            }
            at = end == paragraph.size() ? end : end + 1;
        }
        lines.push_back(line);
        paragraph.clear();
    };
    for (const char* c = text; *c; ++c) {
        if (*c == '\r') continue;
        if (*c == '\n')
            flush();
        else
            paragraph += *c;
    }
    flush();
    return lines;
}

struct Geometry {
    int width, height;
    int frame;  // own 1-pixel border, when no window manager draws one
    int title_height;
    RECT close_button;
    RECT icon;
    std::vector<std::string> lines;
    int line_height, text_x, text_y;
    int band_y;
    RECT buttons[3];
};

std::string without_ampersand(const char* label) {
    std::string text;
    for (const char* c = label; *c; ++c)
        if (*c != '&') text += *c;
    return text;
}

// Sizes at 96 dpi follow the platform's message boxes: 32-pixel icons,
// 88 x 26 buttons on a band below the text.
Geometry measure(const LayerMessageBox* box) {
    const Fonts& f = open_fonts();
    auto px = [&](double value) { return (int)lround(value * f.scale); };
    Geometry g{};
    bool own_frame = !window_manager_present();
    g.frame = own_frame ? 1 : 0;
    g.title_height = own_frame ? px(30) : 0;
    int screen_width = DisplayWidth(x11_display(), x11_screen());

    g.line_height = f.text ? f.text->ascent + f.text->descent : px(15);
    int limit = std::min(px(440), screen_width * 2 / 3);
    g.lines = wrap(f.text, box->text, limit);
    int text_w = 0;
    for (const std::string& line : g.lines) text_w = std::max(text_w, x11_text_width(f.text, line));
    int text_h = (int)g.lines.size() * g.line_height;

    int icon_size = box->icon != LAYER_ICON_NONE ? px(32) : 0;
    int gap = icon_size ? px(12) : 0;
    int pad = px(24);
    int content_h = std::max(icon_size, text_h);

    int button_w[3] = {}, buttons_w = 0;
    int spacing = px(8), band_pad = px(11), button_h = px(26), band_side = px(12);
    for (int i = 0; i < box->button_count; ++i) {
        button_w[i] = std::max(px(88), x11_text_width(f.text, without_ampersand(box->labels[i])) + px(24));
        buttons_w += button_w[i] + (i ? spacing : 0);
    }
    int band_h = button_h + 2 * band_pad;

    int inner_w = std::max({pad + icon_size + gap + text_w + pad, buttons_w + 2 * band_side, px(180)});
    if (own_frame) inner_w = std::max(inner_w, x11_text_width(f.text, box->caption) + px(46) + px(24));
    g.width = inner_w + 2 * g.frame;
    int top = g.frame + g.title_height;
    g.band_y = top + pad + content_h + pad;
    g.height = g.band_y + band_h + g.frame;

    g.close_button = own_frame ? RECT{g.width - g.frame - px(46), g.frame, g.width - g.frame, top} : RECT{};
    int icon_y = top + pad;
    g.icon = {g.frame + pad, icon_y, g.frame + pad + icon_size, icon_y + icon_size};
    g.text_x = g.frame + pad + icon_size + gap;
    g.text_y = top + pad + (content_h - text_h) / 2;  // text shorter than the icon is centred beside it
    int x = g.width - g.frame - band_side - buttons_w;
    for (int i = 0; i < box->button_count; ++i) {
        g.buttons[i] = {x, g.band_y + band_pad, x + button_w[i], g.band_y + band_pad + button_h};
        x += button_w[i] + spacing;
    }
    return g;
}

void x11_box_layout(LayerMessageBox* box) {
    Geometry g = measure(box);
    box->width = g.width;
    box->height = g.height;
    for (int i = 0; i < box->button_count; ++i) box->buttons[i] = g.buttons[i];
    box->close_button = g.close_button;
}

// ---- drawing ----

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

void draw_button(XftDraw* draw, const Colours& c, const Fonts& f, const LayerMessageBox* box, int i, const RECT& r) {
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

    std::string label = without_ampersand(box->labels[i]);
    const char* amp = strchr(box->labels[i], '&');
    int label_w = x11_text_width(f.text, label);
    int x = (r.left + r.right - label_w) / 2;
    int baseline = f.text ? (r.top + r.bottom + f.text->ascent - f.text->descent) / 2 : r.bottom;
    x11_draw_text(draw, c.text, f.text, x, baseline, label);
    if (amp && amp[1]) {
        // The letter that presses the button is underlined.
        size_t at = (size_t)(amp - box->labels[i]);
        int before = x11_text_width(f.text, label.substr(0, at));
        int letter = x11_text_width(f.text, label.substr(at, utf8_step(label, at) - at));
        x11_fill(draw, c.text, x + before, baseline + px(2), letter, px(1));
    }
    if (focused) {
        int inset = px(3) + 1;
        x11_focus_ring(draw, c.text, RECT{r.left + inset, r.top + inset, r.right - inset, r.bottom - inset});
    }
}

void x11_box_paint(HWND window_handle, const LayerMessageBox* box) {
    const Fonts& f = open_fonts();
    Geometry g = measure(box);
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
            XftTextExtentsUtf8(x11_display(), f.glyph, (const FcChar8*)"?", 1, &extents);
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

// ---- staying above everything ----

struct Held {
    time_t since;
    std::vector<Window> savers;  // saver windows that stand aside while the box is up
};
std::map<Window, Held> held;

Window root_window() {
    return RootWindow(x11_display(), x11_screen());
}

void x11_box_prepare(HWND window_handle, HWND owner, bool can_close) {
    Display* display = x11_display();
    Window window = (Window)(uintptr_t)window_handle;
    x11_set_dialog_hints(window, owner);
    // A close button only where Escape works.
    const long functions = 1, decorations = 2, move = 4, close = 32, border = 2, title = 8, menu = 16;
    long motif[5] = {functions | decorations, move | (can_close ? close : 0), border | title | menu, 0, 0};
    XChangeProperty(display, window, x11_atoms.motif_wm_hints, x11_atoms.motif_wm_hints, 32, PropModeReplace,
                    (const unsigned char*)motif, 5);
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = True;
    XSetWMHints(display, window, &hints);

    // A saver window keeps itself above all other windows and holds the
    // keyboard; while the box is up it stands aside.
    Held record{time(nullptr), {}};
    Window root_return, parent;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, root_window(), &root_return, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            X11Window* saver = x11_find_window(children[i]);
            if (saver && saver->saver) {
                saver->saver = false;
                record.savers.push_back(children[i]);
            }
        }
    }
    if (children) XFree(children);
    held[window] = record;
    XFlush(display);
}

bool x11_box_hold_input(HWND window_handle) {
    Display* display = x11_display();
    Window window = (Window)(uintptr_t)window_handle;
    auto it = held.find(window);
    bool late = it == held.end() || x11_waited_too_long(it->second.since);
    if (!x11_is_viewable(window)) return late;  // a window manager has not mapped it yet

    // Above everything: the outermost window (the window manager's frame,
    // or the box itself) goes to the top of the stack.
    Window outer = window;
    for (;;) {
        Window root_return, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        x11_trap_errors();
        if (!XQueryTree(display, outer, &root_return, &parent, &children, &count)) parent = None;
        x11_untrap_errors();
        if (children) XFree(children);
        if (!parent || parent == root_window()) break;
        outer = parent;
    }
    x11_trap_errors();
    XRaiseWindow(display, outer);
    // A window manager stacks its frames below override-redirect windows
    // such as the saver's, whatever we ask; so the saver, which is ours,
    // goes just below the box instead.
    if (it != held.end() && outer != window) {
        XWindowChanges below{};
        below.sibling = outer;
        below.stack_mode = Below;
        for (Window saver : it->second.savers) XConfigureWindow(display, saver, CWSibling | CWStackMode, &below);
    }
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    int keyboard = XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    int pointer = XGrabPointer(display, window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                               GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    x11_untrap_errors();
    if (keyboard == GrabSuccess && pointer == GrabSuccess) return true;
    // Another client holds a grab for a moment (a menu); try again, but not forever.
    if (late) layer_fixme_once("message box: could not take the keyboard and pointer; another client holds them");
    return late;
}

void x11_box_release(HWND window_handle) {
    Display* display = x11_display();
    Window window = (Window)(uintptr_t)window_handle;
    XUngrabKeyboard(display, CurrentTime);
    XUngrabPointer(display, CurrentTime);
    auto it = held.find(window);
    if (it != held.end()) {
        for (Window id : it->second.savers)
            if (X11Window* saver = x11_find_window(id)) saver->saver = true;
        held.erase(it);
    }
    XFlush(display);
}

const LayerMessageBoxDriver message_box_driver = {
    x11_box_layout, x11_box_prepare, x11_box_hold_input, x11_box_release, x11_box_paint,
};

}  // namespace

const LayerMessageBoxDriver* x11_message_box_driver() {
    return &message_box_driver;
}
