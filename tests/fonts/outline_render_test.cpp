// The outline lists in a real GL context (X11 driver, Mesa's renderer):
// every code's list draws its glyph and moves the origin by its advance,
// and a rendered 'O' is a solid letter with a hole whose front, back and
// sides all face outwards with outward normals.
#include <GL/gl.h>

#include <vector>

#include "font_fixture.h"

namespace {

const int glyph_count = 255;

class OutlineLists : public FontWindow {
protected:
    void SetUp() override {
        if (on_null_driver()) GTEST_SKIP() << "needs the X11 driver";
        FontWindow::SetUp();
        if (fonts_hidden) GTEST_SKIP() << "needs the installed fonts";
        SelectObject(gl.device_context, program_font());
        base = glGenLists(256);
        ASSERT_TRUE(
            wglUseFontOutlinesA(gl.device_context, 0, glyph_count, base, 0.0f, 0.2f, WGL_FONT_POLYGONS, metrics));
    }

    // Polygons a list draws, through GL's feedback mode.
    int polygons_drawn(GLuint list) {
        std::vector<GLfloat> buffer(1 << 20);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        glCallList(list);
        GLint used = glRenderMode(GL_RENDER);
        EXPECT_GE(used, 0) << "feedback buffer too small";
        int polygons = 0;
        for (GLint i = 0; i < used;) {
            if (buffer[i] == GL_POLYGON_TOKEN) {
                int vertices = static_cast<int>(buffer[i + 1]);
                ++polygons;
                i += 2 + 3 * vertices;
            } else {
                ADD_FAILURE() << "unexpected feedback token " << buffer[i];
                break;
            }
        }
        return polygons;
    }

    GLuint base = 0;
    GLYPHMETRICSFLOAT metrics[256] = {};
};

TEST_F(OutlineLists, EachListDrawsItsGlyphAndMovesByItsAdvance) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    for (int code = 0; code < 256; ++code) {
        SCOPED_TRACE(code);
        bool ink = (code > 0x20 && code < 0x7F) || (code > 0xA0 && code < 0xFF);
        glLoadIdentity();
        int polygons = polygons_drawn(base + code);
        if (ink) {
            EXPECT_GT(polygons, 0);
        } else if (code == 0x20 || code == 0xA0 || code == 0xFF) {
            EXPECT_EQ(polygons, 0);
        }
        GLfloat matrix[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
        EXPECT_FLOAT_EQ(matrix[12], code == 0xFF ? 0.0f : metrics[code].gmfCellIncX);
        EXPECT_EQ(matrix[13], 0.0f);
        EXPECT_EQ(matrix[14], 0.0f);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Draws the 'O' lit from the viewer, with back faces culled, and reads the
// picture back: what shows must face the viewer by winding and by normal.
class LitLetter : public OutlineLists {
protected:
    // The picture spans x from -0.1 to 0.9 em and y from -0.15 to 0.85 em.
    void draw(void (*place)()) {
        glViewport(0, 0, size, size);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-0.1, 0.9, -0.15, 0.85, -2, 2);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        const GLfloat towards_viewer[] = {0, 0, 1, 0}, none[] = {0, 0, 0, 1}, white[] = {1, 1, 1, 1};
        glLightfv(GL_LIGHT0, GL_POSITION, towards_viewer);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, none);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
        place();
        glCallList(base + 'O');
        glFinish();
        picture.assign(size * size, 0);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, size, size, GL_RED, GL_UNSIGNED_BYTE, picture.data());
    }

    int pixel_at(float x, float y) const {
        int px = static_cast<int>((x + 0.1f) * size), py = static_cast<int>((y + 0.15f) * size);
        return picture[py * size + px];
    }

    // Runs of lit pixels along the row at height y, and whether anything
    // drawn there is lit only dimly (a face turned from the light).
    int lit_runs(float y, bool* dim) const {
        int runs = 0;
        bool in_run = false;
        *dim = false;
        int py = static_cast<int>((y + 0.15f) * size);
        for (int px = 0; px < size; ++px) {
            int value = picture[py * size + px];
            bool lit = value > 180;
            if (value > 10 && !lit) *dim = true;
            if (lit && !in_run) ++runs;
            in_run = lit;
        }
        return runs;
    }

    std::vector<unsigned char> picture;
};

TEST_F(LitLetter, FrontAndBackShowASolidRingAroundAHole) {
    const GLYPHMETRICSFLOAT& o = metrics['O'];
    const float middle_y = o.gmfptGlyphOrigin.y - o.gmfBlackBoxY / 2;
    const float middle_x = o.gmfptGlyphOrigin.x + o.gmfBlackBoxX / 2;
    struct View {
        const char* name;
        void (*place)();
        float hole_x;
    } views[] = {
        {"front", [] {}, middle_x},
        {"back, turned about y",
         [] {
             glTranslatef(0.8f, 0, 0);
             glRotatef(180, 0, 1, 0);
         },
         0.8f - middle_x},
    };
    for (const View& view : views) {
        SCOPED_TRACE(view.name);
        draw(view.place);
        bool dim = false;
        // Across the middle: the left stroke, the hole, the right stroke.
        EXPECT_EQ(lit_runs(middle_y, &dim), 2);
        EXPECT_FALSE(dim);
        EXPECT_LT(pixel_at(view.hole_x, middle_y), 10);
    }
}

TEST_F(LitLetter, SidesFaceOutwards) {
    // Tipped forward about x, the letter's top side faces the viewer and its
    // depth runs down the picture from y = 0 to y = 0.2.
    draw([] { glRotatef(90, 1, 0, 0); });
    const GLYPHMETRICSFLOAT& o = metrics['O'];
    float middle_x = o.gmfptGlyphOrigin.x + o.gmfBlackBoxX / 2;
    EXPECT_GT(pixel_at(middle_x, 0.1f), 180);
    EXPECT_LT(pixel_at(middle_x, 0.3f), 10);
    bool dim = false;
    EXPECT_EQ(lit_runs(0.1f, &dim), 1);
}

}  // namespace
