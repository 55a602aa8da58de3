// The contact sheet: scaled copies in a grid, labelled with a small built-in
// bitmap font (just the characters the labels use).
#include "contact_sheet.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

namespace imagegen {

namespace {

const int columns = 4;
const int box = 256;      // each image fits a square of this side
const int margin = 12;    // around and between the cells
const int label_gap = 8;  // between an image and its label
const int dot = 2;        // a font pixel is dot x dot sheet pixels
const int glyph_rows = 7;
const int glyph_advance = 6 * dot;
const int cell_height = box + label_gap + glyph_rows * dot;
const std::uint8_t background_grey = 40;
const std::uint8_t label_grey = 220;

struct Glyph {
    char c;
    std::uint8_t rows[glyph_rows];  // top row first, bit 4 is the leftmost column
};

const Glyph font[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}}, {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}}, {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}}, {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}}, {'x', {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
};

void put(Image& sheet, int x, int y, const std::uint8_t* rgb) {
    std::copy(rgb, rgb + 3, &sheet.rgb[(static_cast<std::size_t>(y) * sheet.width + x) * 3]);
}

// Characters without a glyph (the space among them) leave a gap.
void draw_label(Image& sheet, int left, int top, const std::string& text) {
    const std::uint8_t ink[3] = {label_grey, label_grey, label_grey};
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Glyph* glyph =
            std::find_if(std::begin(font), std::end(font), [&](const Glyph& g) { return g.c == text[i]; });
        if (glyph == std::end(font)) continue;
        for (int row = 0; row < glyph_rows; ++row)
            for (int column = 0; column < 5; ++column)
                if (glyph->rows[row] & (0x10 >> column))
                    for (int d = 0; d < dot * dot; ++d)
                        put(sheet, left + static_cast<int>(i) * glyph_advance + column * dot + d % dot,
                            top + row * dot + d / dot, ink);
    }
}

// Each sheet pixel is the mean of the image pixels it covers (at least one),
// so small images grow in blocks and large ones shrink without aliasing.
void draw_scaled(Image& sheet, int left, int top, const Image& image) {
    const double scale = static_cast<double>(box) / std::max(image.width, image.height);
    const int width = static_cast<int>(image.width * scale);
    const int height = static_cast<int>(image.height * scale);
    left += (box - width) / 2;
    top += (box - height) / 2;
    for (int y = 0; y < height; ++y) {
        const int y0 = static_cast<int>(y / scale);
        const int y1 = std::max(y0 + 1, static_cast<int>((y + 1) / scale));
        for (int x = 0; x < width; ++x) {
            const int x0 = static_cast<int>(x / scale);
            const int x1 = std::max(x0 + 1, static_cast<int>((x + 1) / scale));
            unsigned sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += image.rgb[(static_cast<std::size_t>(sy) * image.width + sx) * 3 + c];
            const unsigned count = static_cast<unsigned>((y1 - y0) * (x1 - x0));
            const std::uint8_t mean[3] = {static_cast<std::uint8_t>((sum[0] + count / 2) / count),
                                          static_cast<std::uint8_t>((sum[1] + count / 2) / count),
                                          static_cast<std::uint8_t>((sum[2] + count / 2) / count)};
            put(sheet, left + x, top + y, mean);
        }
    }
}

}  // namespace

Image make_contact_sheet(const std::vector<NamedImage>& images) {
    const int count = static_cast<int>(images.size());
    const int rows = (count + columns - 1) / columns;
    Image sheet = make_image(margin + columns * (box + margin), margin + rows * (cell_height + margin));
    std::fill(sheet.rgb.begin(), sheet.rgb.end(), background_grey);
    for (int i = 0; i < count; ++i) {
        const int left = margin + (i % columns) * (box + margin);
        const int top = margin + (i / columns) * (cell_height + margin);
        const Image& image = images[i].image;
        draw_scaled(sheet, left, top, image);
        draw_label(sheet, left, top + box + label_gap,
                   images[i].name + " " + std::to_string(image.width) + "x" + std::to_string(image.height));
    }
    return sheet;
}

}  // namespace imagegen
