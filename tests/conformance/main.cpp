// Runs the conformance tests. On Linux the layer uses the null driver unless
// --x11 asks for the real display.
#include <string.h>

#include <gtest/gtest.h>
#include <windows.h>

#ifndef _WIN32
#include <layer_test.h>
#endif

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
#ifndef _WIN32
    if (!(argc > 1 && strcmp(argv[1], "--x11") == 0)) layer_use_null_driver();
#endif
    return RUN_ALL_TESTS();
}
