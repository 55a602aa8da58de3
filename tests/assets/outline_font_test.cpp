// print_centred: the centring translation it leaves, on metrics the test
// sets and on the real title font, and where the drawn letters land.
#include <math.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "assets_fixture.h"
#include "assets/outline_font.h"

namespace {

// The title font, built once as the display's GL set-up builds it.
class TitleFont : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static const BOOL built = build_outline_font(font_device_context());
        ASSERT_TRUE(built) << "no outline font (is an \"Arial\" face installed?)";
    }
};

// An orthographic view of the plane z = 0 around the origin, one unit per
// 80 pixels, square pixels.
const float units_per_pixel = 1 / 80.0f;
const float view_left = -view_width / 2 * units_per_pixel;

void look_at_origin() {
    glViewport(0, 0, view_width, view_height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const float half_height = view_height / 2 * units_per_pixel;
    glOrtho(view_left, -view_left, -half_height, half_height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

float x_translation() {
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[13], 0.0f);
    EXPECT_EQ(m[14], 0.0f);
    return m[12];
}

// The number of feedback values that `draw` produces: 0 when it draws nothing.
int feedback_values(const std::function<void()>& draw) {
    static std::vector<GLfloat> feedback(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(feedback.size()), GL_3D, feedback.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    return glRenderMode(GL_RENDER);  // negative on overflow: drawn all the same
}

}  // namespace

// Advances of (code + 1) / 64 em, and black boxes and origins far larger, so
// a sum that strays from the cell advance x, misreads a code above 127 or
// counts characters beyond the 256-byte buffer shows in the total. The lists
// are empty, so the translation left is the centring alone.
TEST(PrintCentred, ShiftsLeftByHalfTheSumOfCellAdvances) {
    GLYPHMETRICSFLOAT saved[256];
    memcpy(saved, outline_font().glyph_metrics, sizeof saved);
    const GLuint saved_base = outline_font().list_base;
    outline_font().list_base = glGenLists(256);
    for (int code = 0; code < 256; ++code) {
        outline_font().glyph_metrics[code] = {
            1000.0f + code, 2000.0f + code, {-500.0f, 600.0f}, (code + 1) / 64.0f, 7.0f};
    }
    const std::string long_text(1000, 'x');  // 'x' is 120

    struct Case {
        const char* format;
        const char* argument;
        float expected;
    } cases[] = {
        {"", nullptr, 0.0f},
        {"A", nullptr, -66 / 128.0f},
        {"AB", nullptr, -(66 + 67) / 128.0f},
        {"%s%%", "42", -(53 + 51 + 38) / 128.0f},
        {"\xe9", nullptr, -234 / 128.0f},
        {"%s", long_text.c_str(), -255 * 121 / 128.0f},  // cut to the buffer's 255 characters
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        glLoadIdentity();
        print_centred(c.format, c.argument);
        EXPECT_EQ(x_translation(), c.expected);
    }
    glLoadIdentity();
    print_centred(nullptr);
    EXPECT_EQ(x_translation(), 0.0f) << "a null format does nothing";

    glDeleteLists(outline_font().list_base, 256);
    outline_font().list_base = saved_base;
    memcpy(outline_font().glyph_metrics, saved, sizeof saved);
}

// With the real lists each glyph moves the origin on by its advance, so the
// text ends at +total / 2 when it was started at -total / 2. The advances
// are Arial's (Liberation Sans Bold Italic shares them), in 1/2048 em.
TEST_F(TitleFont, TextRunsFromMinusToPlusHalfItsAdvances) {
    static const GLYPHMETRICSFLOAT empty = {};
    EXPECT_EQ(memcmp(&outline_font().glyph_metrics[255], &empty, sizeof empty), 0) << "code 255 has metrics";

    struct Case {
        const char* text;
        float end;
        bool drawn;
    } cases[] = {
        {"", 0.0f, false},
        {"\xff", 0.0f, false},
        {"O", 1593 / 4096.0f, true},
        {"Orrelune", 8536 / 4096.0f, true},
        {"O\xff", 1593 / 4096.0f, true},
    };
    look_at_origin();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        glLoadIdentity();
        const int values = feedback_values([&] { print_centred(c.text); });
        EXPECT_NEAR(x_translation(), c.end, 1e-5f);
        EXPECT_EQ(values != 0, c.drawn) << values << " feedback values";
    }
}

// The ink of "Orrelune" drawn at the origin: its horizontal extent is
// centred on the origin. The letters lean right and the side bearings of
// 'O' and 'e' differ, so the ink's middle may sit a little off the middle of
// the advances; 0.05 em (4 pixels) allows for that. Measured with Liberation
// Sans Bold Italic: ink from -2.0375 to +2.050 em, its middle 0.006 em right
// of the origin (half a pixel). Uncentred text would sit 2.08 em right.
TEST_F(TitleFont, OrreluneInkIsCentredOnTheOrigin) {
    look_at_origin();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glColor3f(1, 1, 1);
    print_centred("Orrelune");
    const std::vector<GLubyte> view = read_view();

    int first = view_width, last = -1;
    for (int y = 0; y < view_height; ++y)
        for (int x = 0; x < view_width; ++x)
            if (view[(y * view_width + x) * 4] > 127) {
                if (x < first) first = x;
                if (x > last) last = x;
            }
    ASSERT_GE(last, first) << "nothing drawn";
    const float left = view_left + first * units_per_pixel;
    const float right = view_left + (last + 1) * units_per_pixel;
    const float advances = 8536 / 2048.0f;
    RecordProperty("ink_left", std::to_string(left));
    RecordProperty("ink_right", std::to_string(right));
    EXPECT_GT(right - left, 0.9f * advances) << "ink from " << left << " to " << right;
    EXPECT_NEAR((left + right) / 2, 0.0f, 0.05f) << "ink from " << left << " to " << right;
}
