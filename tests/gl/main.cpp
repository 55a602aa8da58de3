// Runs the device-context and WGL tests: on the null driver, or with --x11
// on the X11 driver (under a private X server, with Mesa's renderer).
#include <string.h>

#include <gtest/gtest.h>
#include <layer_test.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!(argc > 1 && strcmp(argv[1], "--x11") == 0)) layer_use_null_driver();
    return RUN_ALL_TESTS();
}
