// Star field, sun, sun mask and particle.
#include "sky.h"

#include <cmath>
#include <vector>

#include "noise.h"

namespace imagegen {

namespace {

constexpr double pi = 3.14159265358979323846;

int wrap(int i, int n) {
    return ((i % n) + n) % n;
}

}  // namespace

void draw_star(Image& image, double x, double y, double brightness, Colour tint, double sigma) {
    const int reach = static_cast<int>(std::ceil(sigma * 3.0));
    const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    for (int j = cy - reach; j <= cy + reach; ++j) {
        for (int i = cx - reach; i <= cx + reach; ++i) {
            double dx = i + 0.5 - x, dy = j + 0.5 - y;
            double k = brightness * std::exp(-(dx * dx + dy * dy) / (2.0 * sigma * sigma));
            if (k < 0.5 / 255.0) continue;
            add_pixel(image, wrap(i, image.width), wrap(j, image.height), k * tint.r, k * tint.g, k * tint.b);
        }
    }
}

Image paint_background() {
    Image image = make_image(512, 512);
    Random random{1001};
    const Colour tints[] = {{0.78, 0.86, 1.0}, {1.0, 1.0, 1.0}, {1.0, 1.0, 1.0}, {1.0, 0.95, 0.82}, {1.0, 0.84, 0.66}};
    for (int i = 0; i < 1000; ++i) {
        double x = next_range(random, 0.0, 512.0), y = next_range(random, 0.0, 512.0);
        // Mostly faint, a handful of brighter ones.
        double u = next_unit(random);
        double brightness = 0.12 + 0.38 * u * u * u + (u > 0.985 ? 0.35 : 0.0);
        Colour tint = tints[next_u64(random) % 5];
        double sigma = 0.45 + 0.35 * u;
        draw_star(image, x, y, brightness, tint, sigma);
    }
    return image;
}

Image paint_sun() {
    constexpr int size = 128;
    Image image = make_image(size, size);
    struct Ray {
        double angle, length, sharpness, strength;
    };
    std::vector<Ray> rays;
    Random random{1101};
    // Four long rays and four shorter diagonal ones, then thin random streaks.
    for (int i = 0; i < 8; ++i) {
        bool main = i % 2 == 0;
        rays.push_back(
            {i * pi / 4 + next_range(random, -0.04, 0.04), main ? 0.55 : 0.32, main ? 400.0 : 300.0, main ? 0.9 : 0.6});
    }
    for (int i = 0; i < 28; ++i) {
        rays.push_back({next_range(random, 0.0, 2 * pi), next_range(random, 0.12, 0.35),
                        next_range(random, 300.0, 1500.0), next_range(random, 0.2, 0.5)});
    }
    const double centre = (size - 1) / 2.0, half = size / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double dx = (x - centre) / half, dy = (y - centre) / half;
            double r = std::sqrt(dx * dx + dy * dy), a = std::atan2(dy, dx);
            double v = std::exp(-(r * r) / (2 * 0.05 * 0.05)) + 0.55 * std::exp(-r / 0.09) + 0.25 * std::exp(-r / 0.3);
            for (const Ray& ray : rays) {
                double c = std::cos(a - ray.angle);
                if (c <= 0.0) continue;
                // Rays narrow as they leave the centre.
                v += ray.strength * std::pow(c, ray.sharpness * (0.3 + r)) * std::exp(-r / ray.length) *
                     smoothstep(0.0, 0.06, r);
            }
            // Black well before the border, so the quad's edges never show.
            v *= 1.0 - smoothstep(0.6, 0.96, r);
            set_pixel(image, x, y, v, v, v);
        }
    }
    return image;
}

Image negative(const Image& image) {
    Image out = image;
    for (auto& b : out.rgb) b = static_cast<std::uint8_t>(255 - b);
    return out;
}

Image paint_particle() {
    constexpr int size = 32;
    Image image = make_image(size, size);
    const double centre = (size - 1) / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double dx = x - centre, dy = y - centre;
            double r = std::sqrt(dx * dx + dy * dy) / 15.0;
            double v = r < 1.0 ? std::pow(1.0 - r * r, 2.5) : 0.0;
            set_pixel(image, x, y, v, v, v);
        }
    }
    return image;
}

}  // namespace imagegen
