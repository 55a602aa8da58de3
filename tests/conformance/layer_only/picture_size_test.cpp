// The sizes a driver draws at and copies to: the buffer for a scaled
// Wayland output, and the part of one picture that covers a screen of
// another shape without stretching it.
#include <gtest/gtest.h>

#include "layer_cover.h"
#include "wayland/wl_private.h"

namespace {

struct BufferCase {
    int width, height, output_scale, fraction;
    WlBufferPlan expected;
};

TEST(PictureSize, BufferAtTheOutputsRealPixelSize) {
    const BufferCase cases[] = {
        {1280, 720, 1, 0, {1280, 720, 1, false}},
        {640, 360, 2, 0, {1280, 720, 2, false}},
        {960, 600, 3, 0, {2880, 1800, 3, false}},
        {1280, 720, 0, 0, {1280, 720, 1, false}},  // a scale never told
        // Fractional, in 120ths, through a viewport: rounded half away from zero.
        {853, 480, 2, 180, {1280, 720, 1, true}},  // 1279.5 -> 1280
        {1280, 720, 2, 150, {1600, 900, 1, true}},
        {1536, 864, 2, 150, {1920, 1080, 1, true}},
        {1, 1, 2, 150, {1, 1, 1, true}},  // 1.25 -> 1
        {641, 361, 1, 120, {641, 361, 1, true}},
    };
    for (const BufferCase& c : cases) {
        WlBufferPlan plan = wl_plan_buffer(c.width, c.height, c.output_scale, c.fraction);
        EXPECT_TRUE(plan == c.expected) << c.width << "x" << c.height << " scale " << c.output_scale << " fraction "
                                        << c.fraction << ": " << plan.width << "x" << plan.height << " scale "
                                        << plan.scale << " viewport " << plan.viewport;
    }
}

struct CoverCase {
    int width, height, target_width, target_height;
    LayerRect expected;
};

TEST(PictureSize, CoverKeepsTheProportionsCentred) {
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
        LayerRect crop = layer_cover_rect(c.width, c.height, c.target_width, c.target_height);
        EXPECT_EQ(crop.x, c.expected.x) << c.target_width << "x" << c.target_height;
        EXPECT_EQ(crop.y, c.expected.y) << c.target_width << "x" << c.target_height;
        EXPECT_EQ(crop.width, c.expected.width) << c.target_width << "x" << c.target_height;
        EXPECT_EQ(crop.height, c.expected.height) << c.target_width << "x" << c.target_height;
    }
}

}  // namespace
