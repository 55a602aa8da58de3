// The icon painter and the .ico writer.
#include "icon.h"

#include <png.h>

#include <cmath>
#include <cstdio>

#include "paint.h"

namespace imagegen {

namespace {

struct Rgba {
    double r, g, b, a;
};

// The picture at a point of the unit square centred on the origin
// (x right, y down), fully opaque or clear: the caller supersamples.
Rgba sample(double x, double y) {
    const double tilt = -0.45;  // the ring plane, in radians from horizontal
    double c = std::cos(tilt), s = std::sin(tilt);
    double rx = x * c + y * s;   // along the ring
    double ry = -x * s + y * c;  // across it
    double ring = std::hypot(rx, ry / 0.32);
    bool on_ring = ring > 0.66 && ring < 0.94 && !(ring > 0.78 && ring < 0.81);
    Colour ring_colour = mix(Colour{0.93, 0.86, 0.70}, Colour{0.70, 0.60, 0.45}, smoothstep(0.66, 0.94, ring));

    const double radius = 0.52;
    double d = std::hypot(x, y);
    Rgba result{0, 0, 0, 0};
    if (on_ring && ry < 0.0) result = {ring_colour.r, ring_colour.g, ring_colour.b, 1.0};  // behind
    if (d < radius) {
        // Lit from the upper left; bands run along the ring plane.
        double nz = std::sqrt(1.0 - (d / radius) * (d / radius));
        double light = clamp01(0.25 + 0.75 * ((-x - y) / radius * 0.5 + nz * 0.7));
        double band = 0.5 + 0.5 * std::sin(ry / radius * 9.0);
        Colour surface = mix(Colour{0.95, 0.72, 0.38}, Colour{0.78, 0.48, 0.22}, band);
        result = {surface.r * light, surface.g * light, surface.b * light, 1.0};
    }
    if (on_ring && ry >= 0.0) result = {ring_colour.r, ring_colour.g, ring_colour.b, 1.0};  // in front
    return result;
}

// Straight (not premultiplied) colour and coverage, top row first.
std::vector<Rgba> paint(int size) {
    const int grid = 4;
    std::vector<Rgba> pixels(static_cast<std::size_t>(size) * size);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            Rgba sum{0, 0, 0, 0};
            for (int sy = 0; sy < grid; ++sy) {
                for (int sx = 0; sx < grid; ++sx) {
                    double x = ((px + (sx + 0.5) / grid) / size - 0.5) * 2.0;
                    double y = ((py + (sy + 0.5) / grid) / size - 0.5) * 2.0;
                    Rgba one = sample(x, y);
                    sum.r += one.r * one.a;
                    sum.g += one.g * one.a;
                    sum.b += one.b * one.a;
                    sum.a += one.a;
                }
            }
            Rgba& p = pixels[static_cast<std::size_t>(py) * size + px];
            p = sum.a > 0.0 ? Rgba{sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / (grid * grid)}
                            : Rgba{0, 0, 0, 0};
        }
    }
    return pixels;
}

void put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, unsigned v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::uint8_t byte_of(double v) {
    return static_cast<std::uint8_t>(std::lround(clamp01(v) * 255.0));
}

// One icon image: a BITMAPINFOHEADER of twice the height, the 32-bit BGRA
// colour rows bottom-up, then the 1-bit AND mask (set where clear), rows
// padded to 32 bits.
std::vector<std::uint8_t> icon_image(int size) {
    std::vector<Rgba> pixels = paint(size);
    const unsigned mask_row = ((static_cast<unsigned>(size) + 31) / 32) * 4;
    std::vector<std::uint8_t> out;
    put32(out, 40);
    put32(out, static_cast<unsigned>(size));
    put32(out, static_cast<unsigned>(size) * 2);
    put16(out, 1);   // planes
    put16(out, 32);  // bits per pixel
    put32(out, 0);   // BI_RGB
    put32(out, static_cast<unsigned>(size * size * 4) + mask_row * static_cast<unsigned>(size));
    for (int i = 0; i < 4; ++i) put32(out, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const Rgba& p = pixels[static_cast<std::size_t>(y) * size + x];
            out.push_back(byte_of(p.b));
            out.push_back(byte_of(p.g));
            out.push_back(byte_of(p.r));
            out.push_back(byte_of(p.a));
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(mask_row, 0);
        for (int x = 0; x < size; ++x) {
            if (byte_of(pixels[static_cast<std::size_t>(y) * size + x].a) == 0)
                row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

std::vector<std::uint8_t> make_icon_file() {
    const int sizes[] = {16, 32, 48, 256};
    const unsigned count = sizeof sizes / sizeof sizes[0];
    std::vector<std::vector<std::uint8_t>> images;
    for (int size : sizes) images.push_back(icon_image(size));

    std::vector<std::uint8_t> out;
    put16(out, 0);  // reserved
    put16(out, 1);  // an icon, not a cursor
    put16(out, count);
    unsigned offset = 6 + 16 * count;
    for (unsigned i = 0; i < count; ++i) {
        // 256 is written as 0.
        out.push_back(static_cast<std::uint8_t>(sizes[i] & 0xFF));
        out.push_back(static_cast<std::uint8_t>(sizes[i] & 0xFF));
        out.push_back(0);  // not a palette image
        out.push_back(0);
        put16(out, 1);
        put16(out, 32);
        put32(out, static_cast<unsigned>(images[i].size()));
        put32(out, offset);
        offset += static_cast<unsigned>(images[i].size());
    }
    for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}

bool write_icon(const std::string& path) {
    std::vector<std::uint8_t> bytes = make_icon_file();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool write_icon_png(const std::string& path, int size) {
    std::vector<Rgba> pixels = paint(size);
    std::vector<std::uint8_t> rgba;
    for (const Rgba& p : pixels) {
        rgba.push_back(byte_of(p.r));
        rgba.push_back(byte_of(p.g));
        rgba.push_back(byte_of(p.b));
        rgba.push_back(byte_of(p.a));
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(size);
    png.height = static_cast<png_uint_32>(size);
    png.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&png, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

}  // namespace imagegen
