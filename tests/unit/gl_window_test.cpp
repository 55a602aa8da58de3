// The display window's input rules: the 10-pixel movement rule measured from
// the cursor's place at start, off in a small window, the key flags, and
// the buttons handed to the saver window.
#include "host_fixture.h"

#include <vector>

#include "display/gl_window.h"

namespace {

// The display's release has run once more (it restores the display mode).
int releases() {
    return layer_last_display_request().calls;
}

}  // namespace

TEST_F(HostTest, DisplayClosesWhenTheMouseMovesMoreThanTenPixelsFromTheStart) {
    struct {
        int dx, dy;
        bool closes;
    } cases[] = {{6, 4, false}, {-6, -4, false}, {6, 5, true}, {0, -11, true}, {10, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
        reset_process_state();
        layer_set_cursor(100, 200);
        run_saver_with(NULL, [&](HWND) {
            ASSERT_NE(display_state().window, nullptr);
            int before = releases();
            SendMessageA(display_state().window, WM_MOUSEMOVE, 0, MAKELPARAM(100 + c.dx, 200 + c.dy));
            EXPECT_EQ(releases() - before, c.closes ? 1 : 0);
        });
    }
}

TEST_F(HostTest, SmallDisplayIgnoresTheMouse) {
    HWND parent = layer_create_foreign_window(320, 240);
    run_saver_with(parent, [&](HWND) {
        ASSERT_FALSE(display_state().full_screen);
        int before = releases();
        SendMessageA(display_state().window, WM_MOUSEMOVE, 0, MAKELPARAM(300, 200));
        EXPECT_EQ(releases(), before);
    });
    layer_destroy_foreign_window(parent);
}

// The picture covers the saver window, so a button pressed on it goes to
// the saver window's rules: they close a full-screen run, not a preview.
TEST_F(HostTest, AButtonOnThePictureClosesAFullScreenRunButNotAPreview) {
    for (bool preview : {false, true}) {
        for (UINT message : {UINT(WM_LBUTTONDOWN), UINT(WM_RBUTTONDOWN), UINT(WM_MBUTTONDOWN)}) {
            SCOPED_TRACE(testing::Message() << (preview ? "preview, " : "full screen, ") << message);
            reset_process_state();
            HWND parent = preview ? layer_create_foreign_window(320, 240) : NULL;
            run_saver_with(parent, [&](HWND saver) {
                ASSERT_NE(display_state().window, nullptr);
                SendMessageA(display_state().window, message, 0, MAKELPARAM(20, 10));
                EXPECT_EQ(take_posted_close(saver), !preview);
            });
            if (parent) layer_destroy_foreign_window(parent);
        }
    }
}

// Only Escape held down at a tick ends the run: a key let go again does not,
// nor a code beyond the 256 keys whose low byte is Escape's.
TEST_F(HostTest, EscapeHeldAtATickIsTheOnlyKeyThatCloses) {
    struct Step {
        UINT message;
        WPARAM key;
    };
    struct {
        const char* name;
        std::vector<Step> steps;
        bool closes;
    } cases[] = {
        {"escape down", {{WM_KEYDOWN, VK_ESCAPE}}, true},
        {"escape down and up", {{WM_KEYDOWN, VK_ESCAPE}, {WM_KEYUP, VK_ESCAPE}}, false},
        {"escape up and down", {{WM_KEYUP, VK_ESCAPE}, {WM_KEYDOWN, VK_ESCAPE}}, true},
        {"another key", {{WM_KEYDOWN, 'A'}}, false},
        {"not a key code", {{WM_KEYDOWN, 0x100 + VK_ESCAPE}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_process_state();
        run_saver_with(NULL, [&](HWND) {
            ASSERT_NE(display_state().window, nullptr);
            const int before = releases();
            for (const Step& step : c.steps) SendMessageA(display_state().window, step.message, step.key, 0);
            SendMessageA(display_state().window, WM_TIMER, frame_timer_id, 0);
            EXPECT_EQ(releases() - before, c.closes ? 1 : 0);
        });
    }
}

TEST_F(HostTest, EachContextStepThatFailsShowsItsBoxAndEndsTheRun) {
    struct {
        LayerGlFailure failure;
        const char* text;
    } cases[] = {
        {LAYER_FAIL_CHOOSE_PIXEL_FORMAT, "Can't find pixelformat."},
        {LAYER_FAIL_SET_PIXEL_FORMAT, "Can't set pixelformat."},
        {LAYER_FAIL_CREATE_CONTEXT, "Can't create GLRC."},
        {LAYER_FAIL_MAKE_CURRENT, "Can't activate GLRC."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        reset_process_state();
        layer_fail_next_gl_call(c.failure);
        layer_push_message_box_answer(IDOK);
        EXPECT_EQ(run_saver_with(NULL, [](HWND) {}), 0);
        ASSERT_EQ(layer_message_box_count(), 1);
        LayerMessageBoxShown box;
        ASSERT_TRUE(layer_message_box_shown(0, &box));
        EXPECT_STREQ(box.text, c.text);
        EXPECT_STREQ(box.caption, "Error");
        EXPECT_EQ(box.type, UINT(MB_OK | MB_ICONERROR));
        // The saver window still finished its own steps: the mode was asked for.
        EXPECT_GE(layer_last_display_request().calls, 1);
        EXPECT_EQ(layer_gdi_counts().repeated_releases, 0);
    }
}

TEST_F(HostTest, EscapeAtATickStillPresentsThatFrameThenCloses) {
    run_saver_with(NULL, [&](HWND) {
        ASSERT_NE(display_state().window, nullptr);
        const int swaps = layer_gdi_counts().swaps;
        const int before = releases();
        SendMessageA(display_state().window, WM_KEYDOWN, VK_ESCAPE, 0);
        SendMessageA(display_state().window, WM_TIMER, frame_timer_id, 0);
        EXPECT_EQ(layer_gdi_counts().swaps, swaps + 1);
        EXPECT_EQ(releases(), before + 1);
    });
}
