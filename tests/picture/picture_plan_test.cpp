// Where one picture goes on several monitors, without a display: the part
// of the picture each monitor shows, which monitors need a copy, and how
// the OpenGL 1.1 copy's textures hold the picture and draw it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "picture_plan.h"

namespace {

std::string text(const PictureRect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

struct CoverCase {
    int width, height, target_width, target_height;
    PictureRect expected;
};

TEST(CoverRect, KeepsTheProportionsCentred) {
    const CoverCase cases[] = {
        {1280, 720, 1280, 720, {0, 0, 1280, 720}},      // same shape
        {1280, 720, 640, 360, {0, 0, 1280, 720}},       // same shape, smaller
        {1280, 720, 1024, 768, {160, 0, 960, 720}},     // 4:3 from 16:9: the sides go
        {1024, 768, 1280, 720, {0, 96, 1024, 576}},     // 16:9 from 4:3: top and bottom go
        {1920, 1080, 1080, 1920, {656, 0, 608, 1080}},  // a monitor on its side
        {1280, 1024, 1280, 720, {0, 152, 1280, 720}},
        {1280, 720, 0, 768, {0, 0, 1280, 720}},  // no target size: all of it
    };
    for (const CoverCase& c : cases) {
        const PictureRect crop = picture_cover_rect(c.width, c.height, c.target_width, c.target_height);
        EXPECT_EQ(text(crop), text(c.expected)) << c.target_width << "x" << c.target_height;
    }
}

PictureLayout layout_of(int drawable_width, int drawable_height, int picture_width, int picture_height,
                        std::vector<PictureRect> monitors, int primary) {
    PictureLayout layout = {};
    layout.drawable_width = drawable_width;
    layout.drawable_height = drawable_height;
    layout.picture_width = picture_width;
    layout.picture_height = picture_height;
    layout.monitor_count = static_cast<int>(monitors.size());
    layout.primary = primary;
    for (size_t i = 0; i < monitors.size(); ++i) layout.monitors[i] = monitors[i];
    return layout;
}

// A plan as text: where it draws, then each copy "from -> to", "=" for 1:1.
std::string text(const PicturePlan& plan) {
    std::string out = plan.in_place ? "in place" : "apart";
    for (int i = 0; i < plan.copy_count; ++i)
        out += "; " + text(plan.copies[i].from) + (plan.copies[i].same_size ? " = " : " -> ") + text(plan.copies[i].to);
    return out;
}

struct PlanCase {
    const char* what;
    PictureLayout layout;
    const char* with_framebuffers;
    const char* with_textures;
};

TEST(PicturePlan, CopiesWhatEachMonitorDoesNotAlreadyShow) {
    const PlanCase cases[] = {
        {"one monitor, the picture its size", layout_of(1920, 1080, 1920, 1080, {{0, 0, 1920, 1080}}, 0), "in place",
         "in place"},
        // The second monitor's rows count from the drawable's top: 56 rows
        // of the drawable lie below it.
        {"a smaller monitor right of the primary",
         layout_of(3200, 1080, 1920, 1080, {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}}, 0),
         "apart; 0,0 1920x1080 = 0,0 1920x1080; 285,0 1350x1080 -> 1920,56 1280x1024",
         "in place; 285,0 1350x1080 -> 1920,56 1280x1024"},
        // A taller monitor left of the primary: GL's origin is not the
        // primary's corner, and a picture drawn there covers the other.
        {"a taller monitor left of the primary, listed second",
         layout_of(3200, 1200, 1920, 1080, {{1280, 0, 1920, 1080}, {0, 0, 1280, 1200}}, 0),
         "apart; 0,0 1920x1080 = 1280,120 1920x1080; 384,0 1152x1080 -> 0,0 1280x1200",
         "in place; 0,0 1920x1080 = 1280,120 1920x1080; 384,0 1152x1080 -> 0,0 1280x1200"},
        {"the primary listed last", layout_of(3200, 1080, 1920, 1080, {{1920, 0, 1280, 1024}, {0, 0, 1920, 1080}}, 1),
         "apart; 0,0 1920x1080 = 0,0 1920x1080; 285,0 1350x1080 -> 1920,56 1280x1024",
         "in place; 285,0 1350x1080 -> 1920,56 1280x1024"},
        // A picture of its own size kept after a refused mode.
        {"a smaller picture on one monitor", layout_of(1920, 1080, 640, 480, {{0, 0, 1920, 1080}}, 0),
         "apart; 0,60 640x360 -> 0,0 1920x1080", "in place; 0,60 640x360 -> 0,0 1920x1080"},
        {"a picture larger than the drawable", layout_of(1280, 1024, 1600, 1200, {{0, 0, 1280, 1024}}, 0),
         "apart; 50,0 1500x1200 -> 0,0 1280x1024", "in place"},
        {"two monitors showing the same place",
         layout_of(1024, 768, 1024, 768, {{0, 0, 1024, 768}, {0, 0, 1024, 768}}, 0), "in place", "in place"},
        {"no monitors", layout_of(1024, 768, 1024, 768, {}, 0), "apart", "in place"},
    };
    for (const PlanCase& c : cases) {
        EXPECT_EQ(text(picture_plan(c.layout, true)), c.with_framebuffers) << c.what;
        EXPECT_EQ(text(picture_plan(c.layout, false)), c.with_textures) << c.what;
    }
}

TEST(PicturePlan, LeavesOutMonitorsBeyondItsTable) {
    std::vector<PictureRect> monitors;
    for (int i = 0; i < picture_max_monitors + 4; ++i) monitors.push_back({i * 100, 0, 100, 100});
    PictureLayout layout = {};
    layout.drawable_width = 100 * static_cast<int>(monitors.size());
    layout.drawable_height = 100;
    layout.picture_width = layout.picture_height = 100;
    layout.monitor_count = static_cast<int>(monitors.size());
    for (int i = 0; i < picture_max_monitors; ++i) layout.monitors[i] = monitors[static_cast<size_t>(i)];
    EXPECT_EQ(picture_plan(layout, true).copy_count, picture_max_monitors);
    EXPECT_EQ(picture_plan(layout, false).copy_count, picture_max_monitors - 1);
}

struct TileCase {
    int width, height, max_size;
    bool any_size;
    int expected_tiles;
    int expected_texture_width;  // of the first tile
};

// Every texel of every tile holds the picture's pixel one before the
// tile's own (clamped to the picture), filled exactly once; the tiles'
// shown parts cover the picture without overlap.
TEST(PictureTiles, HoldThePictureWithABorderOfItsOwnPixels) {
    const TileCase cases[] = {
        {1920, 1080, 16384, true, 1, 1922},  {1920, 1080, 16384, false, 1, 2048},
        {1920, 1080, 1024, false, 4, 1024},  // Windows' own renderer: 1024 a side at most
        {3840, 2160, 1024, false, 12, 1024}, {62, 62, 64, false, 1, 64},
        {63, 62, 64, false, 2, 64},          {20000, 20000, 64, true, 0, 0},  // more than the table holds
    };
    for (const TileCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " in " + std::to_string(c.max_size));
        PictureTile tiles[picture_max_tiles];
        const int count = picture_tiles(c.width, c.height, c.max_size, c.any_size, tiles);
        ASSERT_EQ(count, c.expected_tiles);
        if (!count) continue;
        EXPECT_EQ(tiles[0].texture_width, c.expected_texture_width);
        std::vector<int> shown(static_cast<size_t>(c.width) * c.height, 0);
        for (int t = 0; t < count; ++t) {
            const PictureTile& tile = tiles[t];
            ASSERT_LE(tile.texture_width, c.max_size);
            ASSERT_LE(tile.texture_height, c.max_size);
            ASSERT_GE(tile.texture_width, tile.shown.width + 2);
            ASSERT_GE(tile.texture_height, tile.shown.height + 2);
            for (int y = tile.shown.y; y < tile.shown.y + tile.shown.height; ++y)
                for (int x = tile.shown.x; x < tile.shown.x + tile.shown.width; ++x)
                    ++shown[static_cast<size_t>(y) * c.width + x];

            PictureFill fills[9];
            const int fill_count = picture_tile_fills(tile, c.width, c.height, fills);
            const int texels_x = tile.shown.width + 2, texels_y = tile.shown.height + 2;
            std::vector<int> filled(static_cast<size_t>(texels_x) * texels_y, 0);
            for (int f = 0; f < fill_count; ++f) {
                const PictureFill& fill = fills[f];
                ASSERT_GE(fill.from.x, 0);
                ASSERT_GE(fill.from.y, 0);
                ASSERT_LE(fill.from.x + fill.from.width, c.width);
                ASSERT_LE(fill.from.y + fill.from.height, c.height);
                for (int dy = 0; dy < fill.from.height; ++dy)
                    for (int dx = 0; dx < fill.from.width; ++dx) {
                        const int tx = fill.texel_x + dx, ty = fill.texel_y + dy;
                        ASSERT_LT(tx, texels_x);
                        ASSERT_LT(ty, texels_y);
                        const int want_x = std::min(std::max(tile.shown.x - 1 + tx, 0), c.width - 1);
                        const int want_y = std::min(std::max(tile.shown.y - 1 + ty, 0), c.height - 1);
                        ASSERT_EQ(fill.from.x + dx, want_x) << "texel " << tx << "," << ty;
                        ASSERT_EQ(fill.from.y + dy, want_y) << "texel " << tx << "," << ty;
                        ++filled[static_cast<size_t>(ty) * texels_x + tx];
                    }
            }
            for (int n : filled) ASSERT_EQ(n, 1);
        }
        for (int n : shown) ASSERT_EQ(n, 1);
    }
}

// The quads of a copy cover its rectangle edge to edge, and each point of
// a quad shows the picture's point the copy maps there.
TEST(PictureTiles, QuadsDrawEachCopyWhole) {
    const PictureLayout layout = layout_of(3200, 1200, 1920, 1080, {{1280, 0, 1920, 1080}, {0, 0, 1280, 1200}}, 0);
    const PicturePlan plan = picture_plan(layout, false);
    ASSERT_EQ(plan.copy_count, 2);
    PictureTile tiles[picture_max_tiles];
    const int count = picture_tiles(1920, 1080, 512, false, tiles);
    ASSERT_EQ(count, 12);
    for (int n = 0; n < plan.copy_count; ++n) {
        const PictureCopy& copy = plan.copies[n];
        SCOPED_TRACE(text(copy.from) + " -> " + text(copy.to));
        const double scale_x = static_cast<double>(copy.to.width) / copy.from.width;
        const double scale_y = static_cast<double>(copy.to.height) / copy.from.height;
        double area = 0;
        for (int t = 0; t < count; ++t) {
            PictureQuad quad;
            if (!picture_tile_quad(copy, tiles[t], &quad)) continue;
            area += (quad.x1 - quad.x0) * static_cast<double>(quad.y1 - quad.y0);
            EXPECT_GE(quad.x0, copy.to.x - 0.01);
            EXPECT_LE(quad.x1, copy.to.x + copy.to.width + 0.01);
            // Texel 0 is the border before the tile's first pixel.
            const double picture_x0 = quad.s0 * tiles[t].texture_width - 1 + tiles[t].shown.x;
            const double picture_y1 = quad.t1 * tiles[t].texture_height - 1 + tiles[t].shown.y;
            EXPECT_NEAR(picture_x0, copy.from.x + (quad.x0 - copy.to.x) / scale_x, 0.01);
            EXPECT_NEAR(picture_y1, copy.from.y + (quad.y1 - copy.to.y) / scale_y, 0.01);
        }
        EXPECT_NEAR(area, static_cast<double>(copy.to.width) * copy.to.height, 1.0);
    }
}

}  // namespace
