// The saver on an X screen of several monitors (RandR monitors, as
// `xrandr --setmonitor` makes them): its window covers the whole screen,
// and each monitor shows the whole picture, centred on it, the same frame
// on every monitor, with no seam between them.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <string>
#include <vector>

#include "program_fixture.h"

namespace {

const int screen_width = 3840, screen_height = 1080;

testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new ProgramEnvironment(screen_width, screen_height));

class Monitors : public ProgramRuns {
protected:
    void TearDown() override {
        if (display) delete_monitors(display, shown);
        ProgramRuns::TearDown();
    }
    std::vector<ScreenMonitor> shown;
};

// Every 16th row of the screen. A row is read in one piece, so it shows one
// frame; rows read apart may not.
struct Shot {
    static const int step = 16;
    std::vector<XImage*> rows;
    explicit Shot(Display* display) {
        for (int y = step / 2; y < screen_height; y += step)
            rows.push_back(XGetImage(display, DefaultRootWindow(display), 0, y, screen_width, 1, AllPlanes, ZPixmap));
    }
    ~Shot() {
        for (XImage* row : rows)
            if (row) XDestroyImage(row);
    }
    bool complete() const { return std::find(rows.begin(), rows.end(), nullptr) == rows.end(); }
    unsigned long at(int x, size_t row) const { return XGetPixel(rows[row], x, 0) & 0xffffff; }
};

// Whether the columns from ax show what those from bx show, in every row read.
bool same_columns(const Shot& shot, int ax, int bx, int width) {
    for (size_t row = 0; row < shot.rows.size(); ++row)
        for (int x = 0; x < width; ++x)
            if (shot.at(ax + x, row) != shot.at(bx + x, row)) return false;
    return true;
}

// Pixels bright in red and green: the Sun's glow, the planets, the title.
int bright_pixels(const Shot& shot, const ScreenMonitor& m) {
    int count = 0;
    for (size_t row = 0; row < shot.rows.size(); ++row)
        for (int x = m.x; x < m.x + m.width; ++x) {
            unsigned long p = shot.at(x, row);
            if (((p >> 16) & 0xff) > 160 && ((p >> 8) & 0xff) > 160) ++count;
        }
    return count;
}

struct Layout {
    const char* what;
    std::vector<ScreenMonitor> monitors;
    // Where the second monitor's picture is found in the first's: a monitor
    // of another shape shows the middle of the picture.
    int crop_x, crop_width;
};

TEST_F(Monitors, EachMonitorShowsTheWholePictureCentredOnIt) {
    const Layout layouts[] = {
        {"two monitors of 1920 x 1080",
         {{"LEFT", 0, 0, 1920, 1080, true}, {"RIGHT", 1920, 0, 1920, 1080, false}},
         0,
         1920},
        // 1440 x 1080 covered by a 1920 x 1080 picture at its own scale:
        // 240 columns cut off at each side.
        {"1920 x 1080 and 1440 x 1080",
         {{"WIDE", 0, 0, 1920, 1080, true}, {"NARROW", 1920, 0, 1440, 1080, false}},
         240,
         1440},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.what);
        shown = layout.monitors;
        ASSERT_TRUE(set_monitors(display, shown));
        Child& saver = run({"/s"});
        Window window = wait_for_class(display, root, "WindowsScreenSaverClass", 20000);
        ASSERT_NE(window, None) << read_stderr(saver);
        ASSERT_TRUE(wait_for_frames(display, 2, 20000)) << read_stderr(saver);
        // No monitor shows the desktop.
        XWindowAttributes attributes = attributes_of(display, window);
        EXPECT_EQ(attributes.width, screen_width);
        EXPECT_EQ(attributes.height, screen_height);

        // One frame on every monitor: the screen is read between two frames
        // (the halves of a screen being presented may differ, so look again).
        const ScreenMonitor& first = layout.monitors[0];
        const ScreenMonitor& second = layout.monitors[1];
        bool alike = wait_until(
            [&] {
                Shot shot(display);
                return shot.complete() && same_columns(shot, first.x + layout.crop_x, second.x, layout.crop_width);
            },
            20000);
        EXPECT_TRUE(alike) << "the monitors never showed the same picture";
        Shot shot(display);
        ASSERT_TRUE(shot.complete());
        EXPECT_GT(bright_pixels(shot, first), 50);
        EXPECT_GT(bright_pixels(shot, second), 50);

        EXPECT_TRUE(xdotool("key x"));
        EXPECT_EQ(wait_exit(&saver, 20000), 0) << read_stderr(saver);
        end_runs();
        delete_monitors(display, shown);
    }
}

}  // namespace
