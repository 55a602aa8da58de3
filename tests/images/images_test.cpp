// The thirteen images as the build makes them: byte layout, reproducibility,
// the sun/mask pairing, seamless wrapping and the look of each map.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "scratch.h"
#include "sky.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Map {
    int width, height;
    Bytes rgb;
    int at(int x, int y, int c) const { return rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c]; }
};

Map load(const std::string& name, int width, int height) {
    return {width, height, read_file(std::string(IMAGE_DIR) + "/" + name + ".raw")};
}

struct Size {
    const char* name;
    int width, height;
};

// The build's list of images.
struct Listed {
    Size size;
    bool planet;
};
const Listed listed[] = {
#define ORRELUNE_IMAGE(name, width, height) {{#name, width, height}, false},
#define ORRELUNE_PLANET(name, width, height) {{#name, width, height}, true},
#include "image_list.inc"
};

TEST(Images, HaveTheirSizesAndAreTheSameOnEveryRun) {
    Scratch scratch("orrelune-images");
    ASSERT_EQ(std::system((std::string(IMAGEGEN_PATH) + " " + scratch.dir).c_str()), 0);
    for (const Listed& image : listed) {
        const Size& s = image.size;
        SCOPED_TRACE(s.name);
        Bytes built = read_file(std::string(IMAGE_DIR) + "/" + s.name + ".raw");
        Bytes again = read_file(scratch.dir + "/" + s.name + ".raw");
        EXPECT_EQ(built.size(), static_cast<std::size_t>(s.width) * s.height * 3);
        EXPECT_TRUE(built == again);
    }
    const auto made = std::distance(std::filesystem::directory_iterator(scratch.dir), {});
    EXPECT_EQ(made, static_cast<long>(std::size(listed))) << "the generator made images the list does not name";
}

TEST(Images, SunMaskIsTheNegativeOfTheSun) {
    Bytes sun = read_file(std::string(IMAGE_DIR) + "/SUN.raw");
    Bytes mask = read_file(std::string(IMAGE_DIR) + "/SUNMASK.raw");
    ASSERT_EQ(sun.size(), mask.size());
    for (std::size_t i = 0; i < sun.size(); ++i) ASSERT_EQ(mask[i], 255 - sun[i]) << "byte " << i;
}

// Drawn on quads with linear filtering: a lit border would show as an edge.
TEST(Images, SpritesAreGreyBlackAtTheBorderAndBrightInTheMiddle) {
    for (const Size& s : {Size{"PARTICLE", 32, 32}, Size{"SUN", 128, 128}}) {
        SCOPED_TRACE(s.name);
        Map m = load(s.name, s.width, s.height);
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                ASSERT_TRUE(m.at(x, y, 0) == m.at(x, y, 1) && m.at(x, y, 1) == m.at(x, y, 2));
                if (x == 0 || y == 0 || x == s.width - 1 || y == s.height - 1) {
                    ASSERT_EQ(m.at(x, y, 0), 0);
                }
            }
        EXPECT_GE(m.at(s.width / 2, s.height / 2, 0), 230);
        EXPECT_GE(m.at(s.width / 2 - 1, s.height / 2 - 1, 0), 230);
    }
}

double column_difference(const Map& m, int a, int b) {
    double sum = 0;
    for (int y = 0; y < m.height; ++y)
        for (int c = 0; c < 3; ++c) sum += std::abs(m.at(a, y, c) - m.at(b, y, c));
    return sum / (m.height * 3);
}

double step_along_row(const Map& m, int y) {
    double sum = 0;
    for (int x = 0; x < m.width; ++x)
        for (int c = 0; c < 3; ++c) sum += std::abs(m.at(x, y, c) - m.at((x + 1) % m.width, y, c));
    return sum / (m.width * 3);
}

// Wrapped round a sphere, the last column meets the first, and the first and
// last rows each shrink to a point: a map made on a plane shows a seam there
// or pinches its pattern into a star at the poles.
TEST(Images, PlanetMapsWrapWithoutSeamOrPinch) {
    for (const Listed& image : listed) {
        if (!image.planet) continue;
        SCOPED_TRACE(image.size.name);
        Map m = load(image.size.name, image.size.width, image.size.height);
        double largest_step = 0;
        for (int x = 0; x + 1 < m.width; ++x) largest_step = std::max(largest_step, column_difference(m, x, x + 1));
        EXPECT_LE(column_difference(m, m.width - 1, 0), largest_step);
        EXPECT_LE(step_along_row(m, 0), 1.5);
        EXPECT_LE(step_along_row(m, m.height - 1), 1.5);
    }
}

// The fraction of the pixels whose red, green and blue satisfy is.
double share(const Map& m, const std::function<bool(int, int, int)>& is) {
    int n = 0;
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) n += is(m.at(x, y, 0), m.at(x, y, 1), m.at(x, y, 2));
    return static_cast<double>(n) / (m.width * m.height);
}

struct Character {
    const char* name;
    const char* what;
    std::function<bool(int, int, int)> pixel;
    double at_least;
};

// A wrong or swapped map fails at least one of these.
TEST(Images, EachMapLooksLikeWhatItIs) {
    const Character table[] = {
        {"EARTH", "blue ocean", [](int r, int g, int b) { return b > r + 40 && b > g + 10; }, 0.25},
        {"EARTH", "green or brown land",
         [](int r, int g, int b) { return (g > b + 20 && g >= r) || (r > b + 40 && g > b + 20); }, 0.15},
        {"EARTH", "white ice and cloud", [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; }, 0.08},
        {"MARS", "red ground", [](int r, int g, int b) { return r > g + 40 && g > b; }, 0.8},
        {"MARS", "white polar cap", [](int r, int g, int b) { return r > 220 && g > 220 && b > 220; }, 0.03},
        {"JUPITER", "red spot", [](int r, int g, int b) { return r > 150 && r > g + 70 && g > b - 20; }, 0.004},
        {"JUPITER", "pale zones", [](int r, int g, int b) { return r > 200 && g > 180 && b > 150; }, 0.2},
        {"NEPTUNE", "deep blue", [](int r, int g, int b) { return b > g + 60 && g > r; }, 0.8},
        {"URANUS", "pale cyan", [](int r, int g, int b) { return g > r + 30 && b > r + 30 && r > 120; }, 0.95},
        {"MERCURY", "grey", [](int r, int g, int b) { return std::abs(r - b) < 16 && std::abs(r - g) < 10; }, 0.99},
        {"VENUS", "yellow-white", [](int r, int g, int b) { return r > 180 && r >= g && g > b && b > 90; }, 0.95},
        {"SATURN", "pale gold", [](int r, int g, int b) { return r > 160 && r >= g && g > b && b > 100; }, 0.95},
        {"PLUTO", "beige", [](int r, int g, int b) { return r > 140 && r > g && g > b && r - b < 110; }, 0.7},
    };
    for (const Character& c : table) {
        SCOPED_TRACE(std::string(c.name) + ": " + c.what);
        EXPECT_GE(share(load(c.name, 256, 128), c.pixel), c.at_least);
    }
    Map stars = load("BACKGROUND", 512, 512);
    EXPECT_GE(share(stars, [](int r, int g, int b) { return r + g + b == 0; }), 0.9) << "black sky";
    EXPECT_GE(share(stars, [](int r, int g, int b) { return r + g + b > 90; }), 0.002) << "visible stars";
}

// The background repeats across the screen: a star near an edge must continue
// past the opposite edge. Drawing a star and drawing it half an image further
// on and shifting back must give the same picture.
TEST(Images, StarsWrapAroundTheEdges) {
    const double places[][2] = {{0.2, 10.0}, {63.9, 30.5}, {20.0, 0.1}, {40.0, 63.7}, {0.0, 0.0}, {63.5, 63.5}};
    const int n = 64;
    for (const auto& p : places) {
        SCOPED_TRACE(testing::Message() << p[0] << ", " << p[1]);
        imagegen::Image here = imagegen::make_image(n, n), there = imagegen::make_image(n, n);
        imagegen::draw_star(here, p[0], p[1], 0.9, {1.0, 0.9, 0.8}, 0.8);
        imagegen::draw_star(there, p[0] + n / 2, p[1] + n / 2, 0.9, {1.0, 0.9, 0.8}, 0.8);
        int lit = 0;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                for (int c = 0; c < 3; ++c) {
                    int a = here.rgb[(y * n + x) * 3 + c];
                    int b = there.rgb[(((y + n / 2) % n) * n + (x + n / 2) % n) * 3 + c];
                    ASSERT_NEAR(a, b, 1) << "at " << x << ", " << y;
                    lit += a > 0;
                }
        EXPECT_GT(lit, 12);
    }
}

}  // namespace
