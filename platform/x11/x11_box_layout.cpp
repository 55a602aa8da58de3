// The X11 message box's layout: the desktop's sans font through Xft, the
// text wrapped to the box, and where the icon, the lines and the buttons go,
// at the screen's resolution.
#include "kernel/layer_kernel.h"
#include "x11/x11_box.h"
#include "x11/x11_paint.h"

#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
#include <math.h>

#include <algorithm>

namespace {

// Whether a window manager runs (it then draws the title and the close button).
bool window_manager_present() {
    Display* display = x11_state.display;
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Window root = RootWindow(display, x11_state.screen);
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
    x11_expect_error(display);
    bool present = child_of(root, &supporting) && child_of(supporting, &self) && self == supporting;
    x11_check_error();
    return present;
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
                    size_t cut = x11_utf8_step(word, 0);
                    while (cut < word.size() && x11_text_width(font, word.substr(0, x11_utf8_step(word, cut))) <= limit)
                        cut = x11_utf8_step(word, cut);
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

}  // namespace

const X11BoxFonts& x11_box_fonts() {
    X11BoxFonts& fonts = x11_state.box_fonts;
    Display* display = x11_state.display;
    if (fonts.display == display) return fonts;
    fonts = {display, nullptr, nullptr, 1.0};
    // Xft applies the Xft.dpi resource, or the screen's own size, to points.
    fonts.text = XftFontOpenName(display, x11_state.screen, "sans-serif:size=9");
    double pixels = 12;
    if (fonts.text)
        XftPatternGetDouble(fonts.text->pattern, XFT_PIXEL_SIZE, 0, &pixels);
    else
        layer_fixme_once("no sans-serif font for message boxes; their text is not shown");
    fonts.scale = std::max(1.0, pixels / 12.0);
    char name[64];
    snprintf(name, sizeof name, "sans-serif:bold:pixelsize=%d", (int)lround(24 * fonts.scale));
    fonts.glyph = XftFontOpenName(display, x11_state.screen, name);
    return fonts;
}

size_t x11_utf8_step(const std::string& text, size_t at) {
    size_t next = at + 1;
    while (next < text.size() && ((unsigned char)text[next] & 0xC0) == 0x80) ++next;
    return next;
}

std::string x11_box_label(const char* label) {
    std::string text;
    for (const char* c = label; *c; ++c)
        if (*c != '&') text += *c;
    return text;
}

// Sizes at 96 dpi follow the platform's message boxes: 32-pixel icons,
// 88 x 26 buttons on a band below the text.
X11BoxGeometry x11_box_measure(const LayerMessageBox* box) {
    const X11BoxFonts& f = x11_box_fonts();
    auto px = [&](double value) { return (int)lround(value * f.scale); };
    X11BoxGeometry g{};
    bool own_frame = !window_manager_present();
    g.frame = own_frame ? 1 : 0;
    g.title_height = own_frame ? px(30) : 0;
    int screen_width = DisplayWidth(x11_state.display, x11_state.screen);

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
        button_w[i] = std::max(px(88), x11_text_width(f.text, x11_box_label(box->labels[i])) + px(24));
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
    X11BoxGeometry g = x11_box_measure(box);
    box->width = g.width;
    box->height = g.height;
    for (int i = 0; i < box->button_count; ++i) box->buttons[i] = g.buttons[i];
    box->close_button = g.close_button;
}
