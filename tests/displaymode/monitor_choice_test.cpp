// Which monitors the X11 driver shows a picture on, and which CRTC the
// display-mode switch changes: the primary monitor's own, never one that
// shows more or less than the primary monitor.
#include <gtest/gtest.h>

#include "x11/x11_private.h"

namespace {

struct TidyCase {
    const char* what;
    std::vector<X11Monitor> found;
    std::vector<X11Monitor> shown;  // primary first
};

bool same(const std::vector<X11Monitor>& a, const std::vector<X11Monitor>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].width != b[i].width || a[i].height != b[i].height ||
            a[i].primary != b[i].primary)
            return false;
    return true;
}

TEST(MonitorChoice, EachMonitorOnceThePrimaryFirst) {
    const X11Monitor left = {0, 0, 1920, 1080, false, {}}, right = {1920, 0, 1920, 1080, false, {}};
    const X11Monitor left_primary = {0, 0, 1920, 1080, true, {}}, right_primary = {1920, 0, 1920, 1080, true, {}};
    const X11Monitor whole = {0, 0, 3840, 1080, false, {}}, whole_primary = {0, 0, 3840, 1080, true, {}};
    const TidyCase cases[] = {
        {"one monitor", {whole}, {whole_primary}},
        {"no primary: the first", {left, right}, {left_primary, right}},
        {"the primary second", {left, right_primary}, {right_primary, left}},
        // RandR keeps the output's own monitor beside those made of its parts.
        {"an output's monitor holding two made of it", {left, right, whole}, {left_primary, right}},
        {"that one primary: the first part", {left, right, whole_primary}, {left_primary, right}},
        {"mirrored outputs: one monitor", {right_primary, right, left}, {right_primary, left}},
        {"a monitor of no size", {{0, 0, 0, 0, true, {}}, right}, {right_primary}},
    };
    for (const TidyCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(same(x11_tidy_monitors(c.found), c.shown));
    }
}

struct CrtcCase {
    const char* what;
    X11Monitor primary;
    std::vector<X11Crtc> crtcs;
    int chosen;
};

TEST(MonitorChoice, TheSwitchChangesOnlyTheCrtcShowingThePrimaryMonitor) {
    const X11Crtc first = {101, 0, 0, 1024, 768, {201}}, second = {102, 1024, 0, 800, 600, {202}};
    const X11Crtc whole_screen = {103, 0, 0, 3840, 1080, {203}};
    const CrtcCase cases[] = {
        {"the primary output's monitor", {1024, 0, 800, 600, true, {202}}, {first, second}, 1},
        {"the first", {0, 0, 1024, 768, true, {201}}, {first, second}, 0},
        // Xinerama names no outputs: the CRTC at the monitor's place.
        {"a monitor without outputs named", {1024, 0, 800, 600, true, {}}, {first, second}, 1},
        // Part of an output: switching the output would change every monitor on it.
        {"a monitor made of part of an output", {0, 0, 1920, 1080, true, {}}, {whole_screen}, -1},
        {"an output's monitor at another CRTC's place", {0, 0, 1024, 768, true, {202}}, {first, second}, -1},
        {"no CRTC shows anything", {0, 0, 1024, 768, true, {201}}, {}, -1},
    };
    for (const CrtcCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(x11_primary_crtc(c.primary, c.crtcs), c.chosen);
    }
}

}  // namespace
