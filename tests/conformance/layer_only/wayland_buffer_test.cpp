// The buffer the Wayland driver draws a scaled output's picture in: the
// output's real pixel size, through the buffer scale or, for a fractional
// scale, a viewport.
#include <gtest/gtest.h>

#include "wayland/wl_private.h"

namespace {

struct BufferCase {
    int width, height, output_scale, fraction;
    WlBufferPlan expected;
};

TEST(WaylandBuffer, AtTheOutputsRealPixelSize) {
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
        WlBufferPlan plan = wayland_plan_buffer(c.width, c.height, c.output_scale, c.fraction);
        EXPECT_TRUE(plan == c.expected) << c.width << "x" << c.height << " scale " << c.output_scale << " fraction "
                                        << c.fraction << ": " << plan.width << "x" << plan.height << " scale "
                                        << plan.scale << " viewport " << plan.viewport;
    }
}

}  // namespace
