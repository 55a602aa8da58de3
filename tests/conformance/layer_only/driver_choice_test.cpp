// The choice of driver at start: ORRELUNE_DRIVER, else the first driver
// whose display server answers, in the build's order.
#include <gtest/gtest.h>
#include <layer_test.h>

#include "layer_driver.h"

namespace {

bool wayland_up, x_up;
int x_asked;

bool wayland_answers() {
    return wayland_up;
}
bool x_answers() {
    ++x_asked;
    return x_up;
}

LayerDriver fake(const char* name, bool (*answers)()) {
    LayerDriver driver = *layer_null_driver();
    driver.name = name;
    driver.answers = answers;
    return driver;
}

TEST(DriverChoice, EnvironmentOverridesElseTheFirstDisplayThatAnswers) {
    const LayerDriver wayland = fake("wayland", wayland_answers), x11 = fake("x11", x_answers);
    const LayerDriverCandidate with_wayland[] = {{"wayland", &wayland}, {"x11", &x11}, {"null", layer_null_driver()}};
    const LayerDriverCandidate without_wayland[] = {{"wayland", nullptr}, {"x11", &x11}, {"null", layer_null_driver()}};
    struct Case {
        const char* requested;  // ORRELUNE_DRIVER
        bool has_wayland;       // the build has a Wayland driver
        bool wayland_up, x_up;  // WAYLAND_DISPLAY, DISPLAY name a server that answers
        const char* chosen;     // null: refused, with this in the message
        const char* message;
    };
    const Case cases[] = {
        {nullptr, true, true, true, "wayland", ""},
        {nullptr, true, false, true, "x11", ""},
        {nullptr, true, true, false, "wayland", ""},
        {nullptr, true, false, false, "x11", ""},  // opened all the same, to say why not
        {"", true, true, true, "wayland", ""},
        {nullptr, false, true, true, "x11", ""},
        {nullptr, false, false, false, "x11", ""},
        {"x11", true, true, true, "x11", ""},
        {"X11", true, true, false, "x11", ""},
        {"wayland", true, false, true, "wayland", ""},  // named: its own open says why not
        {"wayland", false, true, true, nullptr, "ORRELUNE_DRIVER=wayland: this build has no wayland driver"},
        {"null", true, true, true, nullptr, "ORRELUNE_DRIVER=null: that driver shows nothing"},
        {"vulkan", true, true, true, nullptr, "ORRELUNE_DRIVER=vulkan: no such driver (this build has: wayland, x11)"},
        {"vulkan", false, true, true, nullptr, "(this build has: x11)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.requested ? c.requested : "(unset)") + (c.has_wayland ? "" : ", no wayland") +
                     (c.wayland_up ? ", wayland up" : "") + (c.x_up ? ", x up" : ""));
        wayland_up = c.wayland_up;
        x_up = c.x_up;
        x_asked = 0;
        LayerDriverChoice choice = layer_choose_driver(c.requested, c.has_wayland ? with_wayland : without_wayland, 3);
        if (c.chosen) {
            ASSERT_NE(choice.driver, nullptr) << choice.message;
            EXPECT_STREQ(choice.driver->name, c.chosen);
            EXPECT_EQ(choice.message, "");
        } else {
            EXPECT_EQ(choice.driver, nullptr);
            EXPECT_NE(choice.message.find(c.message), std::string::npos) << choice.message;
            EXPECT_EQ(choice.message.find('\n'), std::string::npos);
        }
        // X is the last to try: it is opened without asking first, which
        // would cost a connection of its own.
        EXPECT_EQ(x_asked, 0);
    }
}

}  // namespace
