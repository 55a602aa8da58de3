#include <stdio.h>

#include "scene_fixture.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!make_offscreen_context()) {
        fprintf(stderr, "scene_tests: no offscreen GL context\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
