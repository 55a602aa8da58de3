// Runs the outline-font tests: on the null driver (metrics and failures, no
// GL), or with --x11 on the X11 driver under a private X server, where the
// lists are built in a real context. --no-fonts says the run sees no
// installed fonts (the test sets up fontconfig so).
#include <string.h>

#include <gtest/gtest.h>
#include <layer_test.h>

#include "font_fixture.h"

bool fonts_hidden = false;

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    bool x11 = false;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--x11") == 0) x11 = true;
        if (strcmp(argv[i], "--no-fonts") == 0) fonts_hidden = true;
    }
    if (!x11) layer_use_null_driver();
    return RUN_ALL_TESTS();
}
