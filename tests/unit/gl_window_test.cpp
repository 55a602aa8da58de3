// The display window's input rules: the 10-pixel movement rule measured from
// the cursor's place at start, off in a small window, and the key flags.
#include "host_fixture.h"

#include "display/gl_window.h"
#include "display/saver_hook.h"

namespace {

// The display's release has run once more (it restores the display mode).
int releases()
{
    return layer_last_display_request().calls;
}

}  // namespace

TEST_F(HostTest, DisplayClosesWhenTheMouseMovesMoreThanTenPixelsFromTheStart)
{
    struct {
        int dx, dy;
        bool closes;
    } cases[] = {{6, 4, false}, {-6, -4, false}, {6, 5, true}, {0, -11, true}, {10, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
        reset_process_state();
        layer_set_cursor(100, 200);
        run_saver_with(NULL, [&](HWND) {
            ASSERT_NE(display_window, nullptr);
            int before = releases();
            SendMessageA(display_window, WM_MOUSEMOVE, 0, MAKELPARAM(100 + c.dx, 200 + c.dy));
            EXPECT_EQ(releases() - before, c.closes ? 1 : 0);
        });
    }
}

TEST_F(HostTest, SmallDisplayIgnoresTheMouse)
{
    HWND parent = layer_create_foreign_window(320, 240);
    run_saver_with(parent, [&](HWND) {
        ASSERT_TRUE(display_state.small_window);
        int before = releases();
        SendMessageA(display_window, WM_MOUSEMOVE, 0, MAKELPARAM(300, 200));
        EXPECT_EQ(releases(), before);
    });
    layer_destroy_foreign_window(parent);
}

TEST_F(HostTest, KeysAreRecordedOneByOne)
{
    key_state = KeyState{};
    run_saver_with(NULL, [&](HWND) {
        SendMessageA(display_window, WM_KEYDOWN, VK_ESCAPE, 0);
        SendMessageA(display_window, WM_KEYDOWN, 'A', 0);
        SendMessageA(display_window, WM_KEYUP, 'A', 0);
        SendMessageA(display_window, WM_KEYDOWN, 0x1234, 0);  // not a key code: ignored
        EXPECT_TRUE(key_state.down[VK_ESCAPE]);
        EXPECT_FALSE(key_state.down['A']);
    });
}
