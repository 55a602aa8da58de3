// Shared by the X11 message box's files: the box's fonts and its measured
// layout (x11_box_layout.cpp), which the drawing (x11_box_paint.cpp) and the
// capability table (x11_message_box.cpp) use.
#pragma once

#include "layer_driver.h"
#include "x11/x11_private.h"

#include <string>
#include <vector>

// The box's fonts (X11BoxFonts, in the driver's record), opened once per
// connection.
const X11BoxFonts& x11_box_fonts();

struct X11BoxGeometry {
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
X11BoxGeometry x11_box_measure(const LayerMessageBox* box);

// A button's label without the "&" that marks its letter.
std::string x11_box_label(const char* label);
// The index after the UTF-8 character at `at`.
size_t x11_utf8_step(const std::string& text, size_t at);

void x11_box_layout(LayerMessageBox* box);
void x11_box_paint(HWND window, const LayerMessageBox* box);
