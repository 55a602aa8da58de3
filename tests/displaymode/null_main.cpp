// Runs the display-mode tests on the null driver.
#include <gtest/gtest.h>
#include <layer_test.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    layer_use_null_driver();
    return RUN_ALL_TESTS();
}
