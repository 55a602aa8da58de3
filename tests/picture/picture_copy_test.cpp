// The copy of one picture onto several monitors on real pixels, in an
// offscreen Mesa context standing for a drawable that spans the monitors:
// each monitor shows the part of the picture that covers it, scaled as a
// filtered copy would be, by frame-buffer objects and by OpenGL 1.1 alone
// (in one texture and in tiles), and the caller's GL state survives.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "offscreen_context.h"
#include "picture_copy.h"

namespace {

const int drawable_width = 320, drawable_height = 160;

PictureProc load(const char* name) {
    return reinterpret_cast<PictureProc>(OSMesaGetProcAddress(name));
}

// A picture with detail everywhere: gradients across both axes and a grid
// of sharp lines, so a shift, a flip or a wrong crop shows.
std::vector<GLubyte> pattern(int width, int height) {
    std::vector<GLubyte> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            GLubyte* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<GLubyte>(x * 255 / (width - 1));
            p[1] = static_cast<GLubyte>(y * 255 / (height - 1));
            p[2] = (x % 16 == 3 || y % 12 == 5) ? 255 : 40;
        }
    return rgb;
}

// The picture drawn as a program draws it: the viewport at GL's origin.
void draw_picture(const std::vector<GLubyte>& rgb, int width, int height) {
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRasterPos2f(-1, -1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDrawPixels(width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
}

// The picture's colour at a point of it (pixel centres at .5), filtered
// as GL_LINEAR filters with the edges clamped.
double sample(const std::vector<GLubyte>& rgb, int width, int height, double x, double y, int channel) {
    x -= 0.5;
    y -= 0.5;
    const int x0 = static_cast<int>(x < 0 ? -1 : x), y0 = static_cast<int>(y < 0 ? -1 : y);
    const double fx = x - x0, fy = y - y0;
    auto at = [&](int px, int py) {
        px = px < 0 ? 0 : px >= width ? width - 1 : px;
        py = py < 0 ? 0 : py >= height ? height - 1 : py;
        return static_cast<double>(rgb[(static_cast<size_t>(py) * width + px) * 3 + channel]);
    };
    return (at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) +
           (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy;
}

struct Way {
    const char* name;
    bool textures_only;
    int tile_limit;
    PictureWay expected;
};

const Way ways[] = {
    {"frame-buffer objects", false, 0, picture_way_framebuffer},
    {"OpenGL 1.1, one texture", true, 0, picture_way_textures},
    {"OpenGL 1.1, tiles of at most 64", true, 64, picture_way_textures},
};

class PictureCopy : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(open_offscreen_context(&offscreen, drawable_width, drawable_height)); }
    void TearDown() override { close_offscreen_context(&offscreen); }

    // The drawable's pixel, rows counted from the bottom.
    int pixel(int x, int y, int channel) const {
        return offscreen.pixels[(static_cast<size_t>(y) * drawable_width + x) * 4 + static_cast<size_t>(channel)];
    }

    // Draws the picture and copies it with `way`; then checks every monitor
    // against the part of the picture that covers it.
    void check(const Way& way, const PictureLayout& layout) {
        SCOPED_TRACE(way.name);
        PictureCopier copier = {};
        copier.textures_only = way.textures_only;
        copier.tile_limit = way.tile_limit;
        ASSERT_EQ(picture_copy_start(&copier, load), way.expected);
        picture_copy_layout(&copier, layout);
        const std::vector<GLubyte> rgb = pattern(layout.picture_width, layout.picture_height);
        glClearColor(1, 0, 1, 1);  // what no monitor may show
        glClear(GL_COLOR_BUFFER_BIT);
        picture_copy_begin(&copier);
        draw_picture(rgb, layout.picture_width, layout.picture_height);
        picture_copy_show(&copier);
        glFinish();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

        for (int m = 0; m < layout.monitor_count; ++m) {
            const PictureRect to = picture_gl_rect(layout, layout.monitors[m]);
            const PictureRect from =
                picture_cover_rect(layout.picture_width, layout.picture_height, to.width, to.height);
            const bool same_size = from.width == to.width && from.height == to.height;
            int worst = 0;
            for (int y = 0; y < to.height; ++y)
                for (int x = 0; x < to.width; ++x)
                    for (int channel = 0; channel < 3; ++channel) {
                        const double px = from.x + (x + 0.5) * from.width / to.width;
                        const double py = from.y + (y + 0.5) * from.height / to.height;
                        const double want = sample(rgb, layout.picture_width, layout.picture_height, px, py, channel);
                        const int off = abs(pixel(to.x + x, to.y + y, channel) - static_cast<int>(want + 0.5));
                        if (off > worst) worst = off;
                    }
            // 1:1 copies are exact; a scaled copy is as a filtered one,
            // within the renderer's rounding of its weights.
            EXPECT_LE(worst, same_size ? 0 : 4) << "monitor " << m;
        }
        picture_copy_stop(&copier);
    }

    OffscreenContext offscreen;
};

PictureLayout two_monitors(PictureRect primary, PictureRect other, int picture_width, int picture_height) {
    PictureLayout layout = {};
    layout.drawable_width = drawable_width;
    layout.drawable_height = drawable_height;
    layout.picture_width = picture_width;
    layout.picture_height = picture_height;
    layout.monitor_count = 2;
    layout.monitors[0] = primary;
    layout.monitors[1] = other;
    return layout;
}

TEST_F(PictureCopy, EachMonitorShowsThePartOfThePictureThatCoversIt) {
    struct Case {
        const char* what;
        PictureLayout layout;
    };
    const Case cases[] = {
        // The primary where the picture is drawn; a narrower and shorter one beside it.
        {"the primary at the drawable's bottom-left", two_monitors({0, 40, 160, 120}, {160, 0, 96, 150}, 160, 120)},
        // A taller monitor left of the primary: the picture is drawn where
        // the other monitor shows, and the primary takes it 1:1.
        {"a taller monitor left of the primary", two_monitors({96, 0, 160, 120}, {0, 0, 96, 160}, 160, 120)},
        // A picture of another size than the primary (a refused mode).
        {"a smaller picture", two_monitors({0, 40, 160, 120}, {160, 20, 160, 90}, 100, 75)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const Way& way : ways) check(way, c.layout);
    }
}

// What the program's frame leaves set and reads back in the next one.
TEST_F(PictureCopy, TheTexturesWayGivesBackTheStateItTouches) {
    PictureCopier copier = {};
    copier.textures_only = true;
    ASSERT_EQ(picture_copy_start(&copier, load), picture_way_textures);
    picture_copy_layout(&copier, two_monitors({0, 40, 160, 120}, {160, 0, 96, 150}, 160, 120));
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glViewport(0, 0, 160, 120);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -1, 1, 0.5, 9);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    glColor4f(0.25f, 0.5f, 0.75f, 1);

    picture_copy_begin(&copier);
    picture_copy_show(&copier);

    GLint bound = 0, viewport[4] = {}, mode = 0, source = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_BLEND_SRC, &source);
    GLfloat modelview[16], projection[16], colour[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(static_cast<GLuint>(bound), texture);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(viewport[2], 160);
    EXPECT_EQ(viewport[3], 120);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FLOAT_EQ(modelview[12], 1);
    EXPECT_FLOAT_EQ(modelview[14], 3);
    EXPECT_FLOAT_EQ(projection[0], 0.5f);
    EXPECT_FLOAT_EQ(colour[1], 0.5f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    picture_copy_stop(&copier);
    glDeleteTextures(1, &texture);
}

}  // namespace
