// The part of one picture that a driver copies to a screen of another
// shape: it covers the screen without stretching the picture.
#include <gtest/gtest.h>

#include "layer_cover.h"

namespace {

struct CoverCase {
    int width, height, target_width, target_height;
    LayerRect expected;
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
        LayerRect crop = layer_cover_rect(c.width, c.height, c.target_width, c.target_height);
        EXPECT_EQ(crop.x, c.expected.x) << c.target_width << "x" << c.target_height;
        EXPECT_EQ(crop.y, c.expected.y) << c.target_width << "x" << c.target_height;
        EXPECT_EQ(crop.width, c.expected.width) << c.target_width << "x" << c.target_height;
        EXPECT_EQ(crop.height, c.expected.height) << c.target_width << "x" << c.target_height;
    }
}

}  // namespace
