// On the X11 driver: a real CS_OWNDC child window gets a GLX context, and
// what it clears to reaches the window after SwapBuffers; the window's size
// follows the server's; releasing twice makes no X error.
// GoogleTest before Xlib, whose macros (None, Bool) clash with its names.
#include "gl_fixture.h"

#include <GL/gl.h>
#include <X11/Xutil.h>
#include <dlfcn.h>

#include "x11/x11_private.h"

namespace {

class GlxWindows : public GlWindows {
protected:
    void SetUp() override {
        if (on_null_driver()) GTEST_SKIP() << "needs the X11 driver";
        GlWindows::SetUp();
        // Until the server has mapped the windows, pixels drawn are lost.
        for (int i = 0; i < 1000 && !viewable(own_window); ++i) {
            pump();
            Sleep(10);
        }
        ASSERT_TRUE(viewable(own_window));
    }

    static bool viewable(HWND window) {
        XWindowAttributes attributes;
        return XGetWindowAttributes(x11_state.display, native(window), &attributes) &&
               attributes.map_state == IsViewable;
    }
    static Window native(HWND window) { return (Window)(uintptr_t)window; }

    static void pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }

    // The window's pixel at (x, y) as 8-bit red, green and blue.
    static void read_pixel(HWND window, int x, int y, int rgb[3]) {
        Display* display = x11_state.display;
        XWindowAttributes attributes;
        XGetWindowAttributes(display, native(window), &attributes);
        XImage* image = XGetImage(display, native(window), x, y, 1, 1, AllPlanes, ZPixmap);
        ASSERT_TRUE(image);
        unsigned long pixel = XGetPixel(image, 0, 0);
        const unsigned long masks[3] = {attributes.visual->red_mask, attributes.visual->green_mask,
                                        attributes.visual->blue_mask};
        for (int i = 0; i < 3; ++i) {
            unsigned long mask = masks[i];
            int shift = 0;
            while (mask && !(mask & 1)) {
                mask >>= 1;
                ++shift;
            }
            rgb[i] = mask ? static_cast<int>(((pixel >> shift) & mask) * 255 / mask) : 0;
        }
        XDestroyImage(image);
    }
};

TEST_F(GlxWindows, ClearedColourShowsAfterEachSwap) {
    HDC dc = formatted_dc();
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(context);
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    ASSERT_TRUE(glGetString(GL_VERSION));
    GLint depth_bits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
    EXPECT_GE(depth_bits, 16);

    struct Colour {
        const char* name;
        float r, g, b;
    };
    // Successive frames of different colours, so a frame that was not
    // presented shows as the previous colour.
    const Colour colours[] = {{"magenta", 1, 0, 1}, {"green and half blue", 0, 1, 0.5f}, {"dark", 0.2f, 0.2f, 0.2f}};
    for (const Colour& colour : colours) {
        SCOPED_TRACE(colour.name);
        glViewport(0, 0, 160, 120);
        glClearColor(colour.r, colour.g, colour.b, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        ASSERT_TRUE(SwapBuffers(dc));
        glFinish();
        XSync(x11_state.display, False);
        const int points[][2] = {{0, 0}, {80, 60}, {159, 119}};
        for (const auto& point : points) {
            int rgb[3];
            read_pixel(own_window, point[0], point[1], rgb);
            EXPECT_NEAR(rgb[0], colour.r * 255, 2) << point[0] << "," << point[1];
            EXPECT_NEAR(rgb[1], colour.g * 255, 2) << point[0] << "," << point[1];
            EXPECT_NEAR(rgb[2], colour.b * 255, 2) << point[0] << "," << point[1];
        }
    }
    wglMakeCurrent(dc, nullptr);
    wglDeleteContext(context);
}

TEST_F(GlxWindows, ReleasingTwiceMakesNoXError) {
    HDC dc = formatted_dc();
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    glClear(GL_COLOR_BUFFER_BIT);
    SwapBuffers(dc);

    x11_expect_error(x11_state.display);
    EXPECT_TRUE(wglMakeCurrent(dc, nullptr));
    EXPECT_TRUE(wglDeleteContext(context));
    EXPECT_EQ(ReleaseDC(own_window, dc), 1);
    EXPECT_TRUE(wglMakeCurrent(dc, nullptr));
    EXPECT_FALSE(wglDeleteContext(context));
    EXPECT_EQ(ReleaseDC(own_window, dc), 1);
    DestroyWindow(host);
    EXPECT_EQ(x11_check_error(), 0);
}

LPARAM last_size = -1;

LRESULT CALLBACK size_logging_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_SIZE) last_size = lparam;
    return DefWindowProcA(window, message, wparam, lparam);
}

// Another client (a window manager, the preview's owner) resizes the window.
TEST_F(GlxWindows, ResizeByTheServerArrivesAsWmSize) {
    WNDCLASSA sized{};
    sized.style = CS_OWNDC;
    sized.lpfnWndProc = size_logging_proc;
    sized.lpszClassName = "GlSized";
    ASSERT_TRUE(RegisterClassA(&sized));
    HWND window = child("GlSized", 0);
    pump();
    last_size = -1;
    XResizeWindow(x11_state.display, native(window), 100, 70);
    XSync(x11_state.display, False);
    for (int i = 0; i < 1000 && last_size == -1; ++i) {
        pump();
        Sleep(10);
    }
    EXPECT_EQ(last_size, MAKELPARAM(100, 70));
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 100);
    EXPECT_EQ(client.bottom, 70);
}

// Another client destroys the window while its context draws (the
// preview's parent went). Mesa sizes each frame by XGetGeometry, which must
// then answer 0 x 0 rather than leave its answers unset (Mesa would take
// what was on its stack); the frames drawn before the layer hears of it go
// nowhere, and nothing breaks.
TEST_F(GlxWindows, AWindowAnotherClientDestroyedMeasuresNothingAndFramesGoNowhere) {
    HDC dc = formatted_dc();
    HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    glClear(GL_COLOR_BUFFER_BIT);
    SwapBuffers(dc);

    Display* other = XOpenDisplay(DisplayString(x11_state.display));
    ASSERT_TRUE(other);
    XDestroyWindow(other, native(host));
    XCloseDisplay(other);  // done on the server; the layer has not heard yet

    // The XGetGeometry that the libraries of this process call, Mesa's too.
    using Geometry = Status (*)(Display*, Drawable, Window*, int*, int*, unsigned*, unsigned*, unsigned*, unsigned*);
    Geometry geometry = reinterpret_cast<Geometry>(dlsym(RTLD_DEFAULT, "XGetGeometry"));
    ASSERT_TRUE(geometry);
    Window root = 1;
    int x = 7, y = 7;
    unsigned width = 12345, height = 12345, border = 7, depth = 7;
    x11_expect_error(x11_state.display);
    EXPECT_EQ(geometry(x11_state.display, native(own_window), &root, &x, &y, &width, &height, &border, &depth), 0);
    x11_check_error();
    EXPECT_EQ(width, 0u);
    EXPECT_EQ(height, 0u);

    for (int frame = 0; frame < 3; ++frame) {
        glClear(GL_COLOR_BUFFER_BIT);
        SwapBuffers(dc);
    }
    glFinish();
    pump();
    EXPECT_FALSE(IsWindow(own_window));
    wglMakeCurrent(dc, nullptr);
    EXPECT_TRUE(wglDeleteContext(context));
}

}  // namespace
