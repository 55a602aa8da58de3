// A visible popup with two children, one of a CS_OWNDC class and one of a
// class without it, for the device-context and WGL tests.
#pragma once

#include <gtest/gtest.h>
#include <layer_test.h>
#include <windows.h>

#include "display/pixel_format.h"
#include "layer_driver.h"

inline bool on_null_driver() {
    return layer_driver() == layer_null_driver();
}

class GlWindows : public ::testing::Test {
protected:
    void SetUp() override {
        layer_reset();
        WNDCLASSA own{};
        own.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
        own.lpfnWndProc = DefWindowProcA;
        own.lpszClassName = "GlOwnDc";
        ASSERT_TRUE(RegisterClassA(&own));
        WNDCLASSA common = own;
        common.style = 0;
        common.lpszClassName = "GlCommonDc";
        ASSERT_TRUE(RegisterClassA(&common));
        host = CreateWindowExA(0, "GlCommonDc", "host", WS_POPUP | WS_VISIBLE, 0, 0, 200, 150, nullptr, nullptr,
                               nullptr, nullptr);
        ASSERT_TRUE(host);
        own_window = child("GlOwnDc", 0);
        common_window = child("GlCommonDc", 160);
    }
    void TearDown() override {
        if (IsWindow(host)) DestroyWindow(host);
        layer_reset();
    }

    HWND child(const char* class_name, int x) {
        HWND window = CreateWindowExA(0, class_name, "child", WS_CHILD | WS_VISIBLE, x, 0, 160, 120, host, nullptr,
                                      nullptr, nullptr);
        EXPECT_TRUE(window);
        return window;
    }

    // A DC of the own-DC child with the program's format set.
    HDC formatted_dc() {
        HDC dc = GetDC(own_window);
        PIXELFORMATDESCRIPTOR request = display_pixel_format;
        int format = ChoosePixelFormat(dc, &request);
        EXPECT_GT(format, 0);
        EXPECT_TRUE(SetPixelFormat(dc, format, &request));
        return dc;
    }

    HWND host = nullptr;
    HWND own_window = nullptr;
    HWND common_window = nullptr;
};
