#include <stdio.h>

#include <gtest/gtest.h>

#include "assets_fixture.h"
#include "assets/outline_font.h"
#include "assets/textures.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!make_offscreen_context()) {
        fprintf(stderr, "assets_tests: no offscreen GL context\n");
        return 1;
    }
    // What the program's start-up does, once, as at the start of a run.
    load_textures();
    if (!build_outline_font()) {
        fprintf(stderr, "assets_tests: the title font was not built (is an \"Arial\" face installed?)\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
