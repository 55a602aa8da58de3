// The choice of driver at start: ORRELUNE_DRIVER, else the first driver
// whose display server answers, in the build's order; a server named that
// does not answer, when no other does.
#include <gtest/gtest.h>
#include <layer_test.h>

#include "layer_driver.h"

namespace {

bool wayland_up, wayland_named, x_up;
int x_asked;

bool wayland_answers() {
    return wayland_up;
}
bool wayland_is_named() {
    return wayland_named;
}
bool x_answers() {
    ++x_asked;
    return x_up;
}

LayerDriver fake(const char* name, bool (*answers)(), bool (*named)()) {
    LayerDriver driver = *layer_null_driver();
    driver.name = name;
    driver.answers = answers;
    driver.named = named;
    return driver;
}

TEST(DriverChoice, EnvironmentOverridesElseTheFirstDisplayThatAnswers) {
    const LayerDriver wayland = fake("wayland", wayland_answers, wayland_is_named),
                      x11 = fake("x11", x_answers, nullptr);
    const LayerDriverCandidate with_wayland[] = {{"wayland", &wayland}, {"x11", &x11}, {"null", layer_null_driver()}};
    const LayerDriverCandidate without_wayland[] = {{"wayland", nullptr}, {"x11", &x11}, {"null", layer_null_driver()}};
    struct Case {
        const char* requested;  // ORRELUNE_DRIVER
        bool has_wayland;       // the build has a Wayland driver
        bool wayland_up, x_up;  // WAYLAND_DISPLAY, DISPLAY name a server that answers
        bool wayland_named;     // WAYLAND_DISPLAY names one all the same
        const char* chosen;     // null: refused, with this in the message
        const char* message;
        bool x_asked;  // whether X was asked before it was chosen
    };
    const Case cases[] = {
        {nullptr, true, true, true, true, "wayland", "", false},
        {nullptr, true, false, true, false, "x11", "", false},
        {nullptr, true, true, false, true, "wayland", "", false},
        {nullptr, true, false, false, false, "x11", "", false},  // opened all the same, to say why not
        // A compositor named that does not answer: X where it answers, else
        // Wayland is opened to say what failed.
        {nullptr, true, false, true, true, "x11", "", true},
        {nullptr, true, false, false, true, "wayland", "", true},
        {"", true, true, true, true, "wayland", "", false},
        {nullptr, false, true, true, true, "x11", "", false},
        {nullptr, false, false, false, true, "x11", "", false},
        {"x11", true, true, true, true, "x11", "", false},
        {"X11", true, true, false, true, "x11", "", false},
        {"wayland", true, false, true, true, "wayland", "", false},  // named: its own open says why not
        {"wayland", false, true, true, true, nullptr, "ORRELUNE_DRIVER=wayland: this build has no wayland driver",
         false},
        {"null", true, true, true, true, nullptr, "ORRELUNE_DRIVER=null: that driver shows nothing", false},
        {"vulkan", true, true, true, true, nullptr,
         "ORRELUNE_DRIVER=vulkan: no such driver (this build has: wayland, x11)", false},
        {"vulkan", false, true, true, true, nullptr, "(this build has: x11)", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.requested ? c.requested : "(unset)") + (c.has_wayland ? "" : ", no wayland") +
                     (c.wayland_up ? ", wayland up" : "") + (c.wayland_named ? ", wayland named" : "") +
                     (c.x_up ? ", x up" : ""));
        wayland_up = c.wayland_up;
        wayland_named = c.wayland_named;
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
        // would cost a connection of its own, unless the one to blame is
        // in question.
        EXPECT_EQ(x_asked, c.x_asked ? 1 : 0);
    }
}

}  // namespace
