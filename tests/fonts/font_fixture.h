// A CS_OWNDC window with a current rendering context (a real GLX one on the
// X11 driver, a record on the null driver), and the program's font request.
#pragma once

#include <gtest/gtest.h>
#include <layer_test.h>
#include <windows.h>

#include "layer_driver.h"

// The run sees no installed fonts (--no-fonts).
extern bool fonts_hidden;

inline bool on_null_driver() {
    return layer_driver() == layer_null_driver();
}

inline HFONT program_font() {
    return CreateFontA(-12, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                       ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial");
}

class FontWindow : public ::testing::Test {
protected:
    static const int size = 200;

    void SetUp() override {
        layer_reset();
        WNDCLASSA wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "FontTest";
        ASSERT_TRUE(RegisterClassA(&wc));
        window = CreateWindowExA(0, "FontTest", "fonts", WS_POPUP | WS_VISIBLE, 0, 0, size, size, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_TRUE(window);
        dc = GetDC(window);
        PIXELFORMATDESCRIPTOR request{};
        request.nSize = sizeof request;
        request.nVersion = 1;
        request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        request.iPixelType = PFD_TYPE_RGBA;
        request.cColorBits = 24;
        request.cDepthBits = 16;
        int format = ChoosePixelFormat(dc, &request);
        ASSERT_TRUE(SetPixelFormat(dc, format, &request));
        context = wglCreateContext(dc);
        ASSERT_TRUE(context);
        ASSERT_TRUE(wglMakeCurrent(dc, context));
    }

    void TearDown() override {
        wglMakeCurrent(nullptr, nullptr);
        if (context) wglDeleteContext(context);
        if (IsWindow(window)) DestroyWindow(window);
        layer_reset();
    }

    HWND window = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;
};
