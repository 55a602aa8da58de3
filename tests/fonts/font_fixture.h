// A CS_OWNDC window with a current rendering context (a real GLX one on the
// X11 driver, a record on the null driver), and the program's font request.
#pragma once

#include <gtest/gtest.h>
#include <layer_test.h>
#include <windows.h>

#include "gl_context.h"
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
        // 8 bits a channel, so the pixels read back are the ones drawn.
        ASSERT_TRUE(open_gl_window("FontTest", size, size, &gl, 24));
    }

    void TearDown() override {
        close_gl_window(&gl);
        layer_reset();
    }

    GlWindow gl = {};
};
