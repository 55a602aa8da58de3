#include <stdio.h>

#include <gtest/gtest.h>

#include "assets_fixture.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!make_offscreen_context()) {
        fprintf(stderr, "assets_tests: no offscreen GL context\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
