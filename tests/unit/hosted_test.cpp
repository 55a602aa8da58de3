// A run that a screen-saver daemon hosts: the picture fills the daemon's
// window whatever the settings and the window's size, follows that size, and
// nothing else happens: no mode, no box, no hidden cursor, no close on input.
#include "host_fixture.h"

#include <string>

#include "display/gl_window.h"

namespace {

class Hosted : public HostTest {
protected:
    // A daemon's full-screen window, and the switch that the Linux entry
    // makes of --root or --window-id.
    void start_in_daemon_window(int width, int height) {
        daemon_window = layer_create_foreign_window(width, height);
        layer_set_hosted(daemon_window);
        tail = "/p " + std::to_string(reinterpret_cast<UINT_PTR>(daemon_window));
    }
    void store_full_screen_settings() {
        // 1600 x 1200 at 32 bits: a size the null screen does not offer.
        HKEY key;
        ASSERT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Orrelune", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
            ERROR_SUCCESS);
        const DWORD resolution = 2006, colour = 1001;
        RegSetValueExA(key, "resolution", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&resolution), 4);
        RegSetValueExA(key, "color", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&colour), 4);
        RegCloseKey(key);
    }

    HWND daemon_window = NULL;
    std::string tail;
};

RECT client_of(HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    return rect;
}

int cursor_count() {
    int count = ShowCursor(TRUE);
    ShowCursor(FALSE);
    return count - 1;
}

}  // namespace

TEST_F(Hosted, PictureFillsTheDaemonsWindowAndNothingOfAFullScreenRunApplies) {
    store_full_screen_settings();
    start_in_daemon_window(1024, 768);
    int result = run_main_with(tail, [&](HWND saver) {
        EXPECT_TRUE(host_state().in_daemon_window);
        ASSERT_NE(display_state().window, nullptr);
        EXPECT_EQ(GetParent(saver), daemon_window);
        RECT picture = client_of(display_state().window);
        EXPECT_EQ(picture.right, 1024);
        EXPECT_EQ(picture.bottom, 768);
        EXPECT_EQ(layer_last_display_request().calls, 0);
        EXPECT_EQ(layer_message_box_count(), 0);
        EXPECT_EQ(cursor_count(), 0);
        EXPECT_FALSE(layer_cursor_hidden(saver));
        EXPECT_FALSE(layer_cursor_hidden(display_state().window));

        // Input of every kind, at the daemon.s window and at the picture, with Escape
        // down at a tick: the daemon alone ends the run.
        layer_set_cursor(500, 400);
        const UINT inputs[] = {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
        for (UINT message : inputs) SendMessageA(saver, message, VK_ESCAPE, 0);
        SendMessageA(saver, WM_ACTIVATEAPP, FALSE, 0);
        SendMessageA(saver, WM_MOUSEMOVE, 0, MAKELPARAM(900, 700));
        SendMessageA(display_state().window, WM_MOUSEMOVE, 0, MAKELPARAM(900, 700));
        SendMessageA(display_state().window, WM_KEYDOWN, VK_ESCAPE, 0);
        const int swaps = layer_gdi_counts().swaps;
        SendMessageA(display_state().window, WM_TIMER, frame_timer_id, 0);
        EXPECT_EQ(layer_gdi_counts().swaps, swaps + 1);
        EXPECT_FALSE(take_posted_close(saver));
        EXPECT_EQ(layer_last_display_request().calls, 0);  // no release ran
        EXPECT_NE(display_state().render_context, nullptr);
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(steps_ran());
}

TEST_F(Hosted, PictureFollowsTheDaemonsWindowWhenItsSizeChanges) {
    start_in_daemon_window(1024, 768);
    run_main_with(tail, [&](HWND saver) {
        ASSERT_NE(display_state().window, nullptr);
        layer_resize_foreign_window(daemon_window, 1280, 720);
        EXPECT_EQ(client_of(saver).right, 1280);
        EXPECT_EQ(client_of(saver).bottom, 720);
        EXPECT_EQ(client_of(display_state().window).right, 1280);
        EXPECT_EQ(client_of(display_state().window).bottom, 720);
        layer_resize_foreign_window(daemon_window, 300, 200);
        EXPECT_EQ(client_of(display_state().window).right, 300);
        EXPECT_EQ(client_of(display_state().window).bottom, 200);
    });
}

// A daemon's window larger than any GL can draw, or than a software
// renderer should hold in memory: the picture keeps the window's shape,
// scaled down to at most 16384 a side and 8192 x 8192 in all, at its start
// and when the window grows; a window within both gets it whole.
TEST_F(Hosted, APictureBeyondWhatGLCanDrawIsScaledDownToItsBound) {
    const struct {
        int width, height;
        bool bounded;
    } sizes[] = {{40000, 30000, true}, {65535, 1000, true}, {20000, 20000, true},
                 {16384, 4096, false}, {8192, 8192, false}, {3840, 2160, false}};
    auto check = [](const RECT& picture, int width, int height, bool bounded) {
        if (!bounded) {
            EXPECT_EQ(picture.right, width);
            EXPECT_EQ(picture.bottom, height);
            return;
        }
        EXPECT_LE(picture.right, 16384);
        EXPECT_LE(picture.bottom, 16384);
        EXPECT_LE(double(picture.right) * picture.bottom, 8192.0 * 8192.0);
        // As large as the bound allows, at the window's shape.
        EXPECT_TRUE(picture.right >= 16383 || picture.bottom >= 16383 ||
                    double(picture.right) * picture.bottom > 0.999 * 8192.0 * 8192.0);
        EXPECT_NEAR(double(picture.right) / picture.bottom, double(width) / height, 0.01 * width / height);
    };
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        reset_process_state();
        start_in_daemon_window(size.width, size.height);
        run_main_with(tail, [&](HWND) {
            ASSERT_NE(display_state().window, nullptr);
            check(client_of(display_state().window), size.width, size.height, size.bounded);
            layer_resize_foreign_window(daemon_window, 1024, 768);
            check(client_of(display_state().window), 1024, 768, false);
            layer_resize_foreign_window(daemon_window, size.width, size.height);
            check(client_of(display_state().window), size.width, size.height, size.bounded);
        });
    }
}

// Nobody could answer a box while the daemon holds the input: the failure is
// one line on stderr and the run ends as the box's answer would end it.
TEST_F(Hosted, AFailureIsALineOnStderrNotABox) {
    start_in_daemon_window(1024, 768);
    layer_fail_next_gl_call(LAYER_FAIL_CREATE_CONTEXT);
    testing::internal::CaptureStderr();
    int result = run_main_with(tail, [](HWND) {});
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 0);
    EXPECT_NE(said.find(": Error: Can't create GLRC.\n"), std::string::npos) << said;
}

TEST_F(Hosted, APreviewThatNoDaemonHostsKeepsItsRules) {
    HWND parent = layer_create_foreign_window(1024, 768);
    std::string text = "/p " + std::to_string(reinterpret_cast<UINT_PTR>(parent));
    layer_push_message_box_answer(IDYES);
    run_main_with(text, [&](HWND) {
        EXPECT_FALSE(host_state().in_daemon_window);
        EXPECT_TRUE(display_state().full_screen);
        EXPECT_EQ(layer_last_display_request().calls, 1);
    });
}
