// Images of the generator: a record of RGB bytes and the two ways to write it.
// Used by every painter and by main; the tests read images through it too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imagegen {

// Headerless 24-bit RGB, rows stored one after the other, first row first.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

Image make_image(int width, int height);

// Clamps to 0..255 and rounds; channels are given on a 0..1 scale.
void set_pixel(Image& image, int x, int y, double r, double g, double b);

// Adds light to a pixel (saturating), for drawing overlapping stars.
void add_pixel(Image& image, int x, int y, double r, double g, double b);

bool write_raw(const Image& image, const std::string& path);

// A PNG of the same bytes, row 0 at the top, for looking at the image.
bool write_png(const Image& image, const std::string& path);

}  // namespace imagegen
