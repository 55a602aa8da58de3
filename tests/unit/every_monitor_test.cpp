// A full-screen run where the platform leaves the monitors to the program,
// as Windows does (the layer's monitors seam): the windows cover every
// monitor, also left of and above the primary, the picture keeps the
// primary's size, the mouse is measured on the screen, and the windows
// follow a change of the monitors.
#include "host_fixture.h"

#include "display/gl_window.h"

namespace {

struct Layout {
    const char* what;
    std::vector<RECT> monitors;  // the primary first
    RECT bounds;
};

const Layout layouts[] = {
    {"a smaller monitor right of the primary", {{0, 0, 1024, 768}, {1024, 0, 1824, 600}}, {0, 0, 1824, 768}},
    {"a monitor left of the primary", {{0, 0, 1024, 768}, {-800, 0, 0, 600}}, {-800, 0, 1024, 768}},
    {"a taller monitor above and left", {{0, 0, 1024, 768}, {-600, -400, 0, 800}}, {-600, -400, 1024, 800}},
};

void set_monitors(const std::vector<RECT>& monitors) {
    layer_set_screen_size(monitors[0].right - monitors[0].left, monitors[0].bottom - monitors[0].top);
    layer_set_monitors(monitors.data(), static_cast<int>(monitors.size()));
}

RECT window_rect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

void expect_cover(HWND saver, const RECT& bounds) {
    const RECT saver_rect = window_rect(saver);
    EXPECT_EQ(saver_rect.left, bounds.left);
    EXPECT_EQ(saver_rect.top, bounds.top);
    EXPECT_EQ(saver_rect.right, bounds.right);
    EXPECT_EQ(saver_rect.bottom, bounds.bottom);
    RECT client = {};
    GetClientRect(display_state().window, &client);
    EXPECT_EQ(client.right, bounds.right - bounds.left);
    EXPECT_EQ(client.bottom, bounds.bottom - bounds.top);
}

// The display's release has run once more (it restores the display mode).
int releases() {
    return layer_last_display_request().calls;
}

}  // namespace

TEST_F(HostTest, AFullScreenRunCoversEveryMonitorWithThePrimarysPicture) {
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.what);
        reset_process_state();
        set_monitors(layout.monitors);
        const int result = run_main_with("/s", [&](HWND saver) {
            ASSERT_NE(display_state().window, nullptr);
            EXPECT_TRUE(display_state().every_monitor);
            expect_cover(saver, layout.bounds);
            EXPECT_EQ(display_state().view_width, 1024);
            EXPECT_EQ(display_state().view_height, 768);
            // "Desktop Res" asks the primary for the mode it has.
            const LayerDisplayRequest request = layer_last_display_request();
            EXPECT_EQ(request.mode.dmPelsWidth, 1024u);
            EXPECT_EQ(request.mode.dmPelsHeight, 768u);
            EXPECT_EQ(layer_message_box_count(), 0);
        });
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(steps_ran());
    }
}

// The display window's corner is the monitors' corner, not the screen's:
// its client coordinates are shifted by it before the 10-pixel rule.
TEST_F(HostTest, TheMouseIsMeasuredOnTheScreenAcrossTheMonitors) {
    const Layout& left = layouts[1];
    struct {
        int dx, dy;
        bool closes;
    } cases[] = {{6, 4, false}, {-6, -4, false}, {6, 5, true}, {-900, 0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
        reset_process_state();
        set_monitors(left.monitors);
        layer_set_cursor(100, 200);
        run_main_with("/s", [&](HWND) {
            ASSERT_NE(display_state().window, nullptr);
            const int before = releases();
            const int x = 100 + c.dx - left.bounds.left, y = 200 + c.dy - left.bounds.top;
            SendMessageA(display_state().window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
            EXPECT_EQ(releases() - before, c.closes ? 1 : 0);
        });
    }
}

TEST_F(HostTest, TheWindowsFollowAMonitorThatComesOrGoes) {
    set_monitors(layouts[0].monitors);
    run_main_with("/s", [&](HWND saver) {
        ASSERT_NE(display_state().window, nullptr);
        for (const Layout& now :
             {layouts[1], Layout{"the primary alone", {{0, 0, 1024, 768}}, {0, 0, 1024, 768}}, layouts[2]}) {
            SCOPED_TRACE(now.what);
            set_monitors(now.monitors);
            SendMessageA(saver, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
            expect_cover(saver, now.bounds);
            EXPECT_EQ(display_state().window_origin.x, now.bounds.left);
            EXPECT_EQ(display_state().window_origin.y, now.bounds.top);
            EXPECT_EQ(display_state().view_width, 1024);
        }
    });
}

// Where the platform spreads the picture itself (the layer's own answer),
// the run is as it always was: the primary's size at the corner.
TEST_F(HostTest, WhereThePlatformSpreadsThePictureTheRunCoversThePrimary) {
    layer_set_screen_size(1024, 768);
    run_main_with("/s", [&](HWND saver) {
        ASSERT_NE(display_state().window, nullptr);
        EXPECT_FALSE(display_state().every_monitor);
        expect_cover(saver, RECT{0, 0, 1024, 768});
    });
}
