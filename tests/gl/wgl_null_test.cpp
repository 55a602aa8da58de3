// On the null driver, whose formats are a known table: which format is the
// closest to a request, and the seam's injected failures and counts.
#include "gl_fixture.h"

namespace {

class NullGl : public GlWindows {
protected:
    void SetUp() override {
        if (!on_null_driver()) GTEST_SKIP() << "the null driver's own table and seam";
        GlWindows::SetUp();
    }
};

TEST_F(NullGl, ChoosesTheClosestFormat) {
    // The null driver's formats: 1 double 24+8 alpha, depth 24, stencil 8;
    // 2 double 24, depth 24; 3 single 24+8, depth 24, stencil 8;
    // 4 double 16, depth 16; 5 double 24+8, no depth.
    struct Case {
        const char* name;
        DWORD flags;
        BYTE pixel_type, colour, alpha, depth, stencil;
        int expected;
    };
    const DWORD window_gl = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    const Case cases[] = {
        {"the program's request", window_gl | PFD_DOUBLEBUFFER, PFD_TYPE_RGBA, 16, 0, 16, 0, 4},
        {"everything of format 1", window_gl | PFD_DOUBLEBUFFER, PFD_TYPE_RGBA, 24, 8, 24, 8, 1},
        {"no alpha: the closest is none", window_gl | PFD_DOUBLEBUFFER, PFD_TYPE_RGBA, 24, 0, 24, 0, 2},
        {"more colour than any: the most", window_gl | PFD_DOUBLEBUFFER, PFD_TYPE_RGBA, 32, 0, 16, 0, 2},
        {"alpha without depth", window_gl | PFD_DOUBLEBUFFER, PFD_TYPE_RGBA, 24, 8, 0, 8, 5},
        {"any depth: stencil decides", window_gl | PFD_DOUBLEBUFFER | PFD_DEPTH_DONTCARE, PFD_TYPE_RGBA, 24, 8, 0, 8,
         1},
        {"single-buffered", window_gl, PFD_TYPE_RGBA, 16, 0, 16, 0, 3},
        {"either buffering", window_gl | PFD_DOUBLEBUFFER_DONTCARE, PFD_TYPE_RGBA, 24, 8, 24, 8, 1},
        {"bitmaps: none", window_gl | PFD_DRAW_TO_BITMAP, PFD_TYPE_RGBA, 16, 0, 16, 0, 0},
        {"colour index: none", window_gl | PFD_DOUBLEBUFFER, PFD_TYPE_COLORINDEX, 8, 0, 16, 0, 0},
    };
    HDC dc = GetDC(own_window);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PIXELFORMATDESCRIPTOR request = display_pixel_format;
        request.dwFlags = c.flags;
        request.iPixelType = c.pixel_type;
        request.cColorBits = c.colour;
        request.cAlphaBits = c.alpha;
        request.cDepthBits = c.depth;
        request.cStencilBits = c.stencil;
        EXPECT_EQ(ChoosePixelFormat(dc, &request), c.expected);
    }
}

// The display set-up's four steps, each made to fail once: only that step
// fails, and only once.
TEST_F(NullGl, InjectedFailuresFailTheNextCallOnly) {
    const LayerGlFailure failures[] = {LAYER_FAIL_CHOOSE_PIXEL_FORMAT, LAYER_FAIL_SET_PIXEL_FORMAT,
                                       LAYER_FAIL_CREATE_CONTEXT, LAYER_FAIL_MAKE_CURRENT};
    for (LayerGlFailure failure : failures) {
        SCOPED_TRACE(failure);
        HWND window = child("GlOwnDc", 0);
        HDC dc = GetDC(window);
        layer_fail_next_gl_call(failure);
        PIXELFORMATDESCRIPTOR request = display_pixel_format;
        int format = ChoosePixelFormat(dc, &request);
        EXPECT_EQ(format == 0, failure == LAYER_FAIL_CHOOSE_PIXEL_FORMAT);
        if (!format) format = ChoosePixelFormat(dc, &request);
        BOOL set = SetPixelFormat(dc, format, &request);
        EXPECT_EQ(!set, failure == LAYER_FAIL_SET_PIXEL_FORMAT);
        if (!set) set = SetPixelFormat(dc, format, &request);
        ASSERT_TRUE(set);
        HGLRC context = wglCreateContext(dc);
        EXPECT_EQ(!context, failure == LAYER_FAIL_CREATE_CONTEXT);
        if (!context) context = wglCreateContext(dc);
        ASSERT_TRUE(context);
        // Releasing is not making current: the injected failure waits.
        EXPECT_TRUE(wglMakeCurrent(dc, nullptr));
        BOOL made = wglMakeCurrent(dc, context);
        EXPECT_EQ(!made, failure == LAYER_FAIL_MAKE_CURRENT);
        EXPECT_EQ(wglGetCurrentContext() == context, static_cast<bool>(made));
        EXPECT_TRUE(wglMakeCurrent(dc, context));
        wglDeleteContext(context);
        DestroyWindow(window);
    }
}

// What a release sequence run twice leaves, as the seam reports it.
TEST_F(NullGl, CountsWhatIsHeldAndWhatIsReleasedAgain) {
    HDC dc = formatted_dc();
    HDC common = GetDC(common_window);
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    SwapBuffers(dc);
    LayerGdiCounts counts = layer_gdi_counts();
    EXPECT_EQ(counts.contexts, 1);
    EXPECT_EQ(counts.device_contexts, 2);
    EXPECT_TRUE(counts.context_current);
    EXPECT_EQ(counts.swaps, 1);

    for (int round = 0; round < 2; ++round) {
        wglMakeCurrent(dc, nullptr);
        wglDeleteContext(context);
        ReleaseDC(own_window, dc);
        ReleaseDC(common_window, common);
    }
    counts = layer_gdi_counts();
    EXPECT_EQ(counts.contexts, 0);
    EXPECT_EQ(counts.device_contexts, 0);
    EXPECT_FALSE(counts.context_current);
    EXPECT_EQ(counts.repeated_releases, 3) << "the context, the own DC and the common DC, once each";

    layer_reset();
    counts = layer_gdi_counts();
    EXPECT_EQ(counts.repeated_releases, 0);
    EXPECT_EQ(counts.swaps, 0);
}

}  // namespace
