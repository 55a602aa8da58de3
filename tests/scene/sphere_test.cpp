// GLU's sphere made as arrays draws the same pixels as gluSphere itself:
// the planets' spheres (textured, 20 x 20) and the motes (one colour,
// 3 x 3), large in the view and turned so that the poles and the seam show.
#include <stdlib.h>

#include <vector>

#include "platform.h"
#include "offscreen_context.h"
#include <gtest/gtest.h>
#include "scene/sphere.h"

namespace {

const int size = 96;

struct Case {
    const char* what;
    double radius;
    int slices, stacks;
    bool textured;
};

// One frame of the sphere seen from the side and a little above, drawn by
// `draw`, in a context of its own.
std::vector<GLubyte> picture(const Case& c, bool from_arrays) {
    OffscreenContext offscreen;
    EXPECT_TRUE(open_offscreen_context(&offscreen, size, size));

    // A checked texture, so any texel out of place shows.
    GLubyte texels[8 * 8 * 3];
    for (int i = 0; i < 64; ++i)
        for (int k = 0; k < 3; ++k) texels[i * 3 + k] = static_cast<GLubyte>(((i / 8 + i % 8) % 2) * 200 + k * 20);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 8, 8, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    if (c.textured)
        glEnable(GL_TEXTURE_2D);
    else
        glColor3f(0.7f, 0.5f, 0.3f);

    glMatrixMode(GL_PROJECTION);
    gluPerspective(45.0, 1.0, c.radius / 10, c.radius * 10);
    glMatrixMode(GL_MODELVIEW);
    glTranslated(0.0, 0.0, -c.radius * 2.8);
    glRotatef(-70.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(20.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (from_arrays) {
        Sphere sphere;
        make_sphere(c.radius, c.slices, c.stacks, c.textured, &sphere);
        draw_sphere(sphere);
    } else {
        GLUquadricObj* quadric = gluNewQuadric();
        gluQuadricDrawStyle(quadric, GLU_FILL);
        gluQuadricTexture(quadric, GL_TRUE);
        gluSphere(quadric, c.radius, c.slices, c.stacks);
        gluDeleteQuadric(quadric);
    }
    glFinish();

    close_offscreen_context(&offscreen);
    return offscreen.pixels;
}

}  // namespace

// The renderer may round a texture coordinate the other way at a pixel or
// two (its vertex code differs with the way the vertices come), so a step
// of one is allowed there; a triangle missing, misplaced or mistextured
// shows as far more.
TEST(Sphere, FromArraysDrawsTheSamePixelsAsGluSphere) {
    const Case cases[] = {
        {"a planet", 0.6, 20, 20, true},
        {"a mote", 0.05, 3, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<GLubyte> glu = picture(c, false), arrays = picture(c, true);
        int covered = 0, differing = 0, largest = 0;
        for (int i = 0; i < size * size; ++i) {
            covered += glu[i * 4] + glu[i * 4 + 1] + glu[i * 4 + 2] > 0;
            bool differs = false;
            for (int k = 0; k < 3; ++k) {
                const int step = abs(glu[i * 4 + k] - arrays[i * 4 + k]);
                differs = differs || step > 0;
                if (step > largest) largest = step;
            }
            differing += differs;
        }
        EXPECT_GT(covered, size * size / 3);
        EXPECT_LE(largest, 1);
        EXPECT_LE(differing, covered / 1000 + 1);
    }
}
