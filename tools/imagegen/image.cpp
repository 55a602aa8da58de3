// Image record, raw and PNG writers.
#include "image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <png.h>

namespace imagegen {

namespace {

std::uint8_t to_byte(double v) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

}  // namespace

Image make_image(int width, int height) {
    Image image;
    image.width = width;
    image.height = height;
    image.rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
    return image;
}

void set_pixel(Image& image, int x, int y, double r, double g, double b) {
    std::uint8_t* p = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
    p[0] = to_byte(r);
    p[1] = to_byte(g);
    p[2] = to_byte(b);
}

void add_pixel(Image& image, int x, int y, double r, double g, double b) {
    std::uint8_t* p = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
    p[0] = to_byte(p[0] / 255.0 + r);
    p[1] = to_byte(p[1] / 255.0 + g);
    p[2] = to_byte(p[2] / 255.0 + b);
}

bool write_raw(const Image& image, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(image.rgb.data(), 1, image.rgb.size(), f) == image.rgb.size();
    return std::fclose(f) == 0 && ok;
}

bool write_png(const Image& image, const std::string& path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&png, path.c_str(), 0, image.rgb.data(), 0, nullptr) != 0;
}

}  // namespace imagegen
