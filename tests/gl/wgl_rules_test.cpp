// Win32's rules for device contexts, pixel formats and rendering contexts,
// as the program can see them; they hold on either driver.
#include "gl_fixture.h"

namespace {

using DeviceContexts = GlWindows;

TEST_F(DeviceContexts, OwnDcIsOneForLifeCommonDcsComeAndGo) {
    struct Case {
        const char* name;
        bool own;
    };
    for (Case c : {Case{"CS_OWNDC", true}, Case{"common", false}}) {
        SCOPED_TRACE(c.name);
        HWND window = c.own ? own_window : common_window;
        HDC first = GetDC(window);
        HDC second = GetDC(window);
        ASSERT_TRUE(first);
        EXPECT_EQ(first == second, c.own);
        EXPECT_EQ(ReleaseDC(host, first), 1) << "the window named is not looked at";
        EXPECT_EQ(ReleaseDC(window, second), 1);
        // An own DC outlives ReleaseDC; a common one is gone.
        EXPECT_EQ(ReleaseDC(window, first), c.own ? 1 : 0);
        EXPECT_EQ(ReleaseDC(window, second), c.own ? 1 : 0);
    }
    EXPECT_EQ(ReleaseDC(own_window, reinterpret_cast<HDC>(0x1234)), 0);
}

TEST_F(DeviceContexts, DcsAndTheirFormatGoWithTheWindow) {
    HDC dc = formatted_dc();
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(context);
    DestroyWindow(own_window);
    EXPECT_FALSE(GetDC(own_window));
    EXPECT_EQ(ReleaseDC(own_window, dc), 0);
    EXPECT_FALSE(SwapBuffers(dc));
    EXPECT_EQ(GetPixelFormat(dc), 0);
    // The context outlives the window, and a stale DC still releases it.
    EXPECT_FALSE(wglMakeCurrent(dc, context));
    EXPECT_TRUE(wglDeleteContext(context));
}

using PixelFormats = GlWindows;

TEST_F(PixelFormats, ClosestToTheProgramsRequestFitsIt) {
    HDC dc = GetDC(own_window);
    PIXELFORMATDESCRIPTOR request = display_pixel_format;
    int format = ChoosePixelFormat(dc, &request);
    ASSERT_GT(format, 0);
    PIXELFORMATDESCRIPTOR got{};
    int count = DescribePixelFormat(dc, format, sizeof got, &got);
    EXPECT_GE(count, format);
    EXPECT_EQ(DescribePixelFormat(dc, 0, 0, nullptr), count);
    EXPECT_EQ(got.nSize, sizeof got);
    EXPECT_EQ(got.dwFlags & request.dwFlags, request.dwFlags);
    EXPECT_EQ(got.iPixelType, PFD_TYPE_RGBA);
    EXPECT_GE(got.cColorBits, 15);
    EXPECT_GE(got.cDepthBits, 16);
    EXPECT_EQ(DescribePixelFormat(dc, count + 1, sizeof got, &got), 0);
    EXPECT_EQ(ChoosePixelFormat(reinterpret_cast<HDC>(0x1234), &request), 0);
}

// Nothing the program does not ask for: of the formats that meet the
// request, none has a shallower depth buffer or fewer alpha, stencil or
// accumulation bits than the one chosen (each costs fill and memory).
TEST_F(PixelFormats, TheChosenOneCarriesNoMoreThanTheRequestNeeds) {
    HDC dc = GetDC(own_window);
    PIXELFORMATDESCRIPTOR request = display_pixel_format;
    PIXELFORMATDESCRIPTOR got{};
    ASSERT_TRUE(DescribePixelFormat(dc, ChoosePixelFormat(dc, &request), sizeof got, &got));
    const int count = DescribePixelFormat(dc, 0, 0, nullptr);
    for (int format = 1; format <= count; ++format) {
        PIXELFORMATDESCRIPTOR offered{};
        DescribePixelFormat(dc, format, sizeof offered, &offered);
        if ((offered.dwFlags & request.dwFlags) != request.dwFlags || offered.cDepthBits < request.cDepthBits) continue;
        SCOPED_TRACE(format);
        EXPECT_LE(got.cDepthBits, offered.cDepthBits);
        EXPECT_LE(got.cAlphaBits, offered.cAlphaBits);
        EXPECT_LE(got.cStencilBits, offered.cStencilBits);
        EXPECT_LE(got.cAccumBits, offered.cAccumBits);
    }
}

TEST_F(PixelFormats, AWindowTakesOneFormatForLife) {
    HDC dc = GetDC(common_window);
    PIXELFORMATDESCRIPTOR request = display_pixel_format;
    int format = ChoosePixelFormat(dc, &request);
    int count = DescribePixelFormat(dc, 0, 0, nullptr);
    ASSERT_GT(format, 0);
    EXPECT_EQ(GetPixelFormat(dc), 0);
    EXPECT_FALSE(SetPixelFormat(dc, 0, &request));
    EXPECT_FALSE(SetPixelFormat(dc, count + 1, &request));
    ASSERT_TRUE(SetPixelFormat(dc, format, &request));
    EXPECT_TRUE(SetPixelFormat(dc, format, &request)) << "the same format again";
    if (count > 1) {
        EXPECT_FALSE(SetPixelFormat(dc, format == 1 ? 2 : 1, &request)) << "another format";
    }
    // The format belongs to the window, not to the DC.
    ReleaseDC(common_window, dc);
    HDC other = GetDC(common_window);
    EXPECT_EQ(GetPixelFormat(other), format);
    EXPECT_EQ(GetPixelFormat(GetDC(own_window)), 0);
}

using RenderingContexts = GlWindows;

TEST_F(RenderingContexts, NeedAPixelFormat) {
    HDC dc = GetDC(own_window);
    EXPECT_FALSE(wglCreateContext(dc));
    EXPECT_FALSE(wglCreateContext(nullptr));
}

TEST_F(RenderingContexts, CurrentUntilReleasedOrDeleted) {
    HDC dc = formatted_dc();
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(context);
    EXPECT_FALSE(wglGetCurrentContext());
    EXPECT_FALSE(wglMakeCurrent(nullptr, nullptr)) << "nothing current to release";
    EXPECT_TRUE(wglMakeCurrent(dc, nullptr));
    EXPECT_FALSE(wglMakeCurrent(dc, reinterpret_cast<HGLRC>(0x1234)));

    ASSERT_TRUE(wglMakeCurrent(dc, context));
    EXPECT_EQ(wglGetCurrentContext(), context);
    EXPECT_EQ(wglGetCurrentDC(), dc);
    EXPECT_TRUE(SwapBuffers(dc));

    // With no context the DC is not looked at: a released one still works.
    ReleaseDC(own_window, dc);
    EXPECT_TRUE(wglMakeCurrent(reinterpret_cast<HDC>(0x1234), nullptr));
    EXPECT_FALSE(wglGetCurrentContext());
    EXPECT_FALSE(wglGetCurrentDC());

    ASSERT_TRUE(wglMakeCurrent(dc, context));
    EXPECT_TRUE(wglDeleteContext(context));
    EXPECT_FALSE(wglGetCurrentContext()) << "deleting the current context releases it";
    EXPECT_FALSE(wglDeleteContext(context));
    EXPECT_FALSE(wglMakeCurrent(dc, context));
}

TEST_F(RenderingContexts, GoOnWindowsWithAFormatOnly) {
    HDC dc = formatted_dc();
    HGLRC context = wglCreateContext(dc);
    HDC unformatted = GetDC(common_window);
    EXPECT_FALSE(wglMakeCurrent(unformatted, context));
    EXPECT_FALSE(wglGetCurrentContext());
    EXPECT_TRUE(wglDeleteContext(context));

    // A context made on one DC of a window goes on any DC of it.
    HDC first = GetDC(common_window);
    PIXELFORMATDESCRIPTOR request = display_pixel_format;
    ASSERT_TRUE(SetPixelFormat(first, ChoosePixelFormat(first, &request), &request));
    HGLRC shared = wglCreateContext(first);
    HDC second = GetDC(common_window);
    EXPECT_TRUE(wglMakeCurrent(second, shared));
    EXPECT_EQ(wglGetCurrentDC(), second);
    EXPECT_TRUE(wglMakeCurrent(first, shared));
    EXPECT_TRUE(wglDeleteContext(shared));
}

}  // namespace
