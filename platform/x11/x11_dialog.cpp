// The X11 side of template dialogs: the dialog font measured with Xft (its
// average character width and height give the dialog units), the dialog and
// its controls drawn with Xft in a plain light look, dialog hints for a
// window manager, and the keyboard focus while the dialog is up.
//   Others may use: x11_dialog_driver() (x11_private.h), through the driver table.
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "x11/x11_paint.h"
#include "x11/x11_private.h"

#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
#include <X11/Xutil.h>
#include <math.h>
#include <time.h>

#include <algorithm>
#include <string>

namespace {

// "MS Sans Serif" and its kin are not on a Linux desktop, so fontconfig's
// sans-serif stands in at the same size.
XftFont* open_font(const LayerDialogFont* font) {
    char name[256];
    snprintf(name, sizeof name, "%s,sans-serif:size=%d", font->face, font->points);
    return XftFontOpenName(x11_state.display, x11_state.screen, name);
}

XftFont* font_of(HWND dialog) {
    auto it = x11_state.dialogs.find(dialog);
    return it == x11_state.dialogs.end() ? nullptr : it->second.font;
}

// As Windows measures a dialog font: the width of the 52 letters over 26,
// halved with rounding; the height is the font's full line height.
void measure(const LayerDialogFont* font, int* base_x, int* base_y) {
    XftFont* xft = open_font(font);
    if (!xft) {
        layer_fixme_once("no sans-serif font for dialogs; their text is not shown");
        return;
    }
    int width = x11_text_width(xft, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    *base_x = std::max(1, (width / 26 + 1) / 2);
    *base_y = std::max(1, xft->ascent + xft->descent);
    XftFontClose(x11_state.display, xft);
}

const unsigned face_rgb = 0xF0F0F0;

void fill(XftDraw* draw, unsigned rgb, int x, int y, int w, int h) {
    x11_fill(draw, x11_colour(rgb), x, y, w, h);
}

void outline(XftDraw* draw, unsigned rgb, int x, int y, int w, int h, int t) {
    x11_outline(draw, x11_colour(rgb), RECT{x, y, x + w, y + h}, t);
}

void dotted(XftDraw* draw, int x, int y, int w, int h) {
    x11_focus_ring(draw, x11_colour(0x000000), RECT{x, y, x + w, y + h});
}

void text(XftDraw* draw, XftFont* font, int x, int baseline, const std::string& s) {
    x11_draw_text(draw, x11_colour(0x000000), font, x, baseline, s);
}

// The radio button's circle, smoothed.
void radio_circle(Drawable target, GC gc, int x0, int y0, int size, bool checked, bool pressed) {
    double r = size / 2.0, ring = std::max(1.0, size / 13.0);
    unsigned inside = pressed ? 0xCCE4F7 : 0xFFFFFF;
    x11_put_smooth(target, gc, RECT{x0, y0, x0 + size, y0 + size}, [&](double x, double y) {
        double d = hypot(x - r, y - r);
        unsigned rgb = d > r - 0.5                 ? face_rgb
                       : d > r - 0.5 - ring        ? 0x333333
                       : (checked && d < r * 0.45) ? 0x333333
                                                   : inside;
        return X11Rgb{((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
    });
}

bool begin(HWND handle, X11Canvas* c) {
    RECT client;
    if (!GetClientRect(handle, &client) || client.right <= 0 || client.bottom <= 0) return false;
    x11_canvas_begin(c, (Window)(uintptr_t)handle, client.right, client.bottom);
    fill(c->draw, face_rgb, 0, 0, c->width, c->height);
    return true;
}

void paint_dialog(HWND dialog) {
    X11Canvas c;
    if (begin(dialog, &c)) x11_canvas_finish(&c);
}

void paint_control(HWND control, const LayerDialogControl* look) {
    XftFont* font = font_of(look->dialog);
    X11Canvas c;
    if (!begin(control, &c)) return;
    int ascent = font ? font->ascent : 10, line = font ? font->ascent + font->descent : 13;
    int mid_baseline = (c.height - line) / 2 + ascent;
    int w = c.width, h = c.height;
    switch (look->kind) {
    case LAYER_CONTROL_PUSH_BUTTON: {
        bool strong = look->focused || look->is_default;
        fill(c.draw, look->pressed ? 0xCCE4F7 : 0xE1E1E1, 0, 0, w, h);
        if (look->pressed)
            outline(c.draw, 0x005499, 0, 0, w, h, 1);
        else if (strong)
            outline(c.draw, 0x0078D7, 0, 0, w, h, look->focused ? 2 : 1);
        else
            outline(c.draw, 0xADADAD, 0, 0, w, h, 1);
        text(c.draw, font, (w - x11_text_width(font, look->text)) / 2, mid_baseline, look->text);
        if (look->focused) dotted(c.draw, 3, 3, w - 6, h - 6);
        break;
    }
    case LAYER_CONTROL_RADIO: {
        int size = std::min(h, std::max(9, line - 2));
        int text_x = size + 4;
        text(c.draw, font, text_x, mid_baseline, look->text);
        if (look->focused) dotted(c.draw, text_x - 2, (h - line) / 2, x11_text_width(font, look->text) + 4, line);
        radio_circle(c.pixmap, c.gc, 0, (h - size) / 2, size, look->checked, look->pressed);
        break;
    }
    case LAYER_CONTROL_GROUP_BOX: {
        // Below its sibling controls: only its frame shows around them.
        XLowerWindow(x11_state.display, c.window);
        int top = line / 2;
        outline(c.draw, 0xDCDCDC, 0, top, w, h - top, 1);
        int label_w = x11_text_width(font, look->text);
        if (label_w) fill(c.draw, face_rgb, 6, 0, label_w + 4, line);
        text(c.draw, font, 8, ascent, look->text);
        break;
    }
    case LAYER_CONTROL_STATIC: {
        int x = 0;
        if (look->style & SS_CENTER) x = (w - x11_text_width(font, look->text)) / 2;
        int baseline = (look->style & SS_CENTERIMAGE) ? mid_baseline : ascent;
        text(c.draw, font, x, baseline, look->text);
        break;
    }
    }
    x11_canvas_finish(&c);
}

void prepare(HWND dialog, HWND owner, const LayerDialogFont* dialog_font) {
    Display* display = x11_state.display;
    Window window = (Window)(uintptr_t)dialog;
    XftFont* font = open_font(dialog_font);
    if (XftFont* old = font_of(dialog)) XftFontClose(display, old);
    x11_state.dialogs[dialog] = X11Dialog{font, time(nullptr)};

    // A fixed size, as DS_MODALFRAME without WS_THICKFRAME.
    x11_set_dialog_hints(window, owner);
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = True;
    XSetWMHints(display, window, &hints);
    XFlush(display);
}

// The keyboard comes to the dialog once it shows; no grab, as a dialog is a
// window among others.
bool hold_input(HWND dialog) {
    Window window = (Window)(uintptr_t)dialog;
    bool viewable = x11_is_viewable(window);
    if (viewable) {
        x11_expect_error(x11_state.display);
        XSetInputFocus(x11_state.display, window, RevertToParent, CurrentTime);
        x11_check_error();
    }
    auto it = x11_state.dialogs.find(dialog);
    return viewable || it == x11_state.dialogs.end() || x11_waited_too_long(it->second.shown_since);
}

void release(HWND dialog) {
    if (XftFont* font = font_of(dialog)) XftFontClose(x11_state.display, font);
    x11_state.dialogs.erase(dialog);
}

const LayerDialogDriver dialog_driver = {measure, prepare, hold_input, release, paint_dialog, paint_control};

}  // namespace

const LayerDialogDriver* x11_dialog_driver() {
    return &dialog_driver;
}
