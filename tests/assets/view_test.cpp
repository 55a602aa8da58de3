// The display window's view of a new client size: WM_SIZE carries it to
// resize_view, which keeps a zero height from dividing the aspect.
#include <math.h>

#include <gtest/gtest.h>

#include "assets_fixture.h"
#include "display/gl_window.h"

TEST(ViewSize, ViewportAndAspectFollowTheClientSize) {
    struct Case {
        unsigned width, height;  // as WM_SIZE carries them
        GLint viewport_height;
        double aspect;
    } cases[] = {
        {640, 0, 1, 640.0},  // a minimised window: height 0 counts as 1
        {640, 480, 480, 4.0 / 3.0},
        {1, 1, 1, 1.0},
        {1024, 40000, 40000, 1024 / 40000.0},  // the high word is unsigned
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        glMatrixMode(GL_TEXTURE);  // resize_view must leave the model-view matrix current
        gl_window_proc(NULL, WM_SIZE, 0, MAKELPARAM(c.width, c.height));

        GLint viewport[4], max_size[2], mode = 0;
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, max_size);
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(viewport[0], 0);
        EXPECT_EQ(viewport[1], 0);
        EXPECT_EQ(viewport[2], static_cast<GLint>(c.width));
        EXPECT_EQ(viewport[3], c.viewport_height < max_size[1] ? c.viewport_height : max_size[1]);
        EXPECT_EQ(mode, GL_MODELVIEW);

        // A perspective projection holds f / aspect in [0] and f in [5].
        GLdouble projection[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        EXPECT_NEAR(projection[5] / projection[0], c.aspect, c.aspect * 1e-6);
        EXPECT_NEAR(projection[5], 1 / tan(45.0 / 2 * 3.14159265358979 / 180), 1e-6);
    }
}
