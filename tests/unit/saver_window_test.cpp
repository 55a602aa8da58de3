// The saver window: how it is made in each mode, the single-instance rule,
// the dismissal rules and the host's own message handling.
#include <string>
#include <vector>

#include "host_fixture.h"

namespace {

class SaverWindow : public HostTest {};

std::string window_text(HWND window) {
    char text[64] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

TEST_F(SaverWindow, SaverModeCoversTheScreenWithATopmostPopup) {
    layer_set_screen_size(1280, 800);
    HWND made = NULL;
    int result = run_saver_with(NULL, [&](HWND window) {
        made = window;
        ASSERT_NE(window, nullptr);
        char class_name[64] = "";
        GetClassNameA(window, class_name, sizeof class_name);
        EXPECT_STREQ(class_name, "WindowsScreenSaverClass");
        EXPECT_EQ(window_text(window), "Screen Saver");
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), 0x96000000u);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)) & WS_EX_TOPMOST, DWORD(WS_EX_TOPMOST));
        EXPECT_EQ(GetParent(window), nullptr);
        RECT rect;
        GetWindowRect(window, &rect);
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.top, 0);
        EXPECT_EQ(rect.right, 1280);
        EXPECT_EQ(rect.bottom, 800);
        EXPECT_EQ(GetForegroundWindow(), window);
        EXPECT_TRUE(layer_cursor_hidden(window));
        EXPECT_FALSE(host_state().preview);
    });
    EXPECT_EQ(result, 0);
    EXPECT_NE(made, nullptr);
    EXPECT_FALSE(IsWindow(made));
}

TEST_F(SaverWindow, PreviewFillsItsParentAndEndsWhenTheParentGoes) {
    HWND parent = layer_create_foreign_window(152, 112);
    HWND made = NULL;
    int result = run_saver_with(parent, [&](HWND window) {
        made = window;
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window_text(window), "Preview");
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), 0x52000000u);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)), 0u);
        EXPECT_EQ(GetParent(window), parent);
        RECT client;
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, 152);
        EXPECT_EQ(client.bottom, 112);
        EXPECT_FALSE(layer_cursor_hidden(window));
        EXPECT_TRUE(host_state().preview);

        layer_destroy_foreign_window(parent);
        EXPECT_FALSE(IsWindow(window));
    });
    EXPECT_EQ(result, 0);
    EXPECT_NE(made, nullptr);
}

TEST_F(SaverWindow, SecondSaverRaisesTheFirstAndCreatesNothing) {
    HWND elsewhere = layer_create_foreign_window(10, 10);
    run_saver_with(NULL, [&](HWND first) {
        ASSERT_NE(first, nullptr);
        layer_set_foreground(elsewhere);
        EXPECT_EQ(run_saver_window(NULL), 0);
        EXPECT_EQ(host_state().saver_window, first);
        EXPECT_EQ(GetForegroundWindow(), first);
        EXPECT_TRUE(IsWindow(first));
    });
}

// The dismissal rules on input, in both modes.
TEST_F(SaverWindow, InputClosesTheSaverButNeverThePreview) {
    struct Case {
        UINT message;
        WPARAM wparam;
        bool closes_saver;
    };
    const Case cases[] = {
        {WM_KEYDOWN, 'A', true},
        {WM_KEYDOWN, VK_SHIFT, true},
        {WM_SYSKEYDOWN, VK_MENU, true},
        {WM_LBUTTONDOWN, MK_LBUTTON, true},
        {WM_RBUTTONDOWN, MK_RBUTTON, true},
        {WM_MBUTTONDOWN, MK_MBUTTON, true},
        {WM_ACTIVATEAPP, FALSE, true},
        {WM_ACTIVATEAPP, TRUE, false},
        {WM_KEYUP, 'A', false},
        {WM_LBUTTONUP, 0, false},
        {WM_MOUSEWHEEL, 0, false},
        {WM_SHOWWINDOW, TRUE, false},
        {WM_SETCURSOR, 0, false},
    };
    for (bool preview : {false, true}) {
        reset_process_state();
        HWND parent = preview ? layer_create_foreign_window(200, 150) : NULL;
        run_saver_with(parent, [&](HWND window) {
            ASSERT_NE(window, nullptr);
            for (const Case& c : cases) {
                SCOPED_TRACE(::testing::Message() << (preview ? "preview" : "saver") << ", message 0x" << std::hex
                                                  << c.message << ", wParam " << c.wparam);
                SendMessageA(window, c.message, c.wparam, 0);
                EXPECT_EQ(take_posted_close(window), c.closes_saver && !preview);
                EXPECT_TRUE(IsWindow(window));
            }
        });
    }
}

TEST_F(SaverWindow, CursorStaysHiddenInSaverModeOnly) {
    for (bool preview : {false, true}) {
        reset_process_state();
        HWND parent = preview ? layer_create_foreign_window(200, 150) : NULL;
        run_saver_with(parent, [&](HWND window) {
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(layer_cursor_hidden(window), !preview);
            EXPECT_EQ(SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), 1), preview ? 0 : 1);
            EXPECT_EQ(layer_cursor_hidden(window), !preview);
        });
    }
}

// Cursor positions reached one after another from a start of (100, 100),
// each followed by a WM_MOUSEMOVE, and whether that one posts WM_CLOSE.
TEST_F(SaverWindow, MouseMovementAboveFourPixelsFromTheRememberedPointCloses) {
    struct Step {
        int x, y;
        bool closes;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"still", {{100, 100, false}}},
        {"4 right", {{104, 100, false}}},
        {"5 right", {{105, 100, true}}},
        {"4 up-left", {{98, 98, false}}},
        {"5 diagonal", {{97, 102, true}}},
        {"5 down", {{100, 105, true}}},
        {"three moves of 2", {{102, 100, false}, {104, 100, false}, {106, 100, true}}},
        {"back and forth", {{103, 100, false}, {97, 100, false}, {100, 104, false}, {96, 100, false}}},
        {"measured from the new point after closing", {{110, 100, true}, {114, 100, false}, {115, 100, true}}},
        {"far away", {{-2000000000, 2000000000, true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_process_state();
        layer_set_cursor(100, 100);
        run_saver_with(NULL, [&](HWND window) {
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(host_state().remembered_cursor.x, 100);
            EXPECT_EQ(host_state().remembered_cursor.y, 100);
            for (const Step& step : c.steps) {
                layer_set_cursor(step.x, step.y);
                // The message's own coordinates are not what counts.
                SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(500, 500));
                EXPECT_EQ(take_posted_close(window), step.closes) << "at " << step.x << "," << step.y;
            }
        });
    }
}

TEST_F(SaverWindow, SystemCommandsThatSwitchAwayAreRefusedInSaverModeOnly) {
    struct Case {
        WPARAM command;
        bool refused_in_saver;
    };
    const Case cases[] = {
        {SC_SCREENSAVE, true}, {SC_NEXTWINDOW, true}, {SC_PREVWINDOW, true}, {SC_CLOSE, false}, {SC_CLOSE | 2, false},
    };
    for (bool preview : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message()
                         << (preview ? "preview" : "saver") << ", command 0x" << std::hex << c.command);
            reset_process_state();
            HWND parent = preview ? layer_create_foreign_window(200, 150) : NULL;
            run_saver_with(parent, [&](HWND window) {
                ASSERT_NE(window, nullptr);
                LRESULT result = SendMessageA(window, WM_SYSCOMMAND, c.command, 0);
                if (c.refused_in_saver && !preview) {
                    EXPECT_EQ(result, 0);
                    EXPECT_TRUE(IsWindow(window));
                }
                // The close command, handed on to the platform, closes the
                // window in both modes: proof that it got through.
                if (LOWORD(c.command & 0xFFF0) == SC_CLOSE) {
                    EXPECT_FALSE(IsWindow(window));
                }
            });
        }
    }
}

TEST_F(SaverWindow, TitleNeverChanges) {
    for (bool preview : {false, true}) {
        reset_process_state();
        HWND parent = preview ? layer_create_foreign_window(200, 150) : NULL;
        run_saver_with(parent, [&](HWND window) {
            ASSERT_NE(window, nullptr);
            std::string title = window_text(window);
            EXPECT_EQ(SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Other")), 0);
            SetWindowTextA(window, "Other");
            EXPECT_EQ(window_text(window), title);
        });
    }
}

TEST_F(SaverWindow, HelpInThePreviewGoesToTheParent) {
    HWND parent = layer_create_foreign_window(200, 150);
    run_saver_with(parent, [&](HWND window) {
        ASSERT_NE(window, nullptr);
        for (UINT message : {UINT(WM_HELP), UINT(WM_CONTEXTMENU)}) {
            EXPECT_EQ(SendMessageA(window, message, reinterpret_cast<WPARAM>(window), 0x00640032), 1);
            UINT posted = 0;
            WPARAM wparam = 0;
            LPARAM lparam = 0;
            ASSERT_TRUE(layer_last_foreign_post(parent, &posted, &wparam, &lparam));
            EXPECT_EQ(posted, message);
            EXPECT_EQ(wparam, reinterpret_cast<WPARAM>(parent));
            EXPECT_EQ(lparam, 0x00640032);
        }
    });
}

TEST_F(SaverWindow, OnceClosingTimersAreDroppedAndInputClosesNothing) {
    layer_set_cursor(100, 100);
    run_saver_with(NULL, [&](HWND window) {
        ASSERT_NE(window, nullptr);
        host_state().closing = true;
        EXPECT_EQ(SendMessageA(window, WM_TIMER, 101, 0), 0);
        layer_set_cursor(500, 500);
        for (UINT message : {UINT(WM_KEYDOWN), UINT(WM_LBUTTONDOWN), UINT(WM_MOUSEMOVE), UINT(WM_ACTIVATEAPP)}) {
            SendMessageA(window, message, 0, 0);
            EXPECT_FALSE(take_posted_close(window)) << "message 0x" << std::hex << message;
        }
        EXPECT_EQ(host_state().remembered_cursor.x, 100);
        // A close goes straight on to the platform, which destroys the window.
        SendMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(window));
    });
}

TEST_F(SaverWindow, OutsideThe9xFamilyCloseDestroysAtOnceAndTheVerifyRequestIsPlain) {
    run_saver_with(NULL, [&](HWND window) {
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(SendMessageA(window, WM_APP, 0, 0), 0);
        SendMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_FALSE(host_state().closing);
    });
}

// ImmAssociateContext(window, context) calls, in order.
struct AssociateCall {
    HWND window;
    HANDLE context;
};
std::vector<AssociateCall> associate_calls;
HANDLE attached_context = NULL;

HANDLE WINAPI fake_associate_context(HWND window, HANDLE context) {
    associate_calls.push_back({window, context});
    HANDLE previous = attached_context;
    attached_context = context;
    return previous;
}

TEST_F(SaverWindow, InputContextIsDetachedForTheRunAndGivenBack) {
    HANDLE const context = reinterpret_cast<HANDLE>(0x5150);
    struct Case {
        const char* name;
        bool loaded;
        bool has_entry;
        HANDLE attached;
        int calls;
    };
    const Case cases[] = {
        {"module not loaded", false, true, context, 0},
        {"no entry", true, false, context, 0},
        {"no context to give back", true, true, NULL, 1},
        {"detached and given back", true, true, context, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_process_state();
        associate_calls.clear();
        attached_context = c.attached;
        const LayerModuleEntry entries[] = {
            {"ImmAssociateContext", as_entry(fake_associate_context)},
        };
        layer_register_module("IMM32.DLL", entries, c.has_entry ? 1 : 0);
        if (c.loaded) LoadLibraryA("imm32.dll");

        HWND made = NULL;
        run_saver_with(NULL, [&](HWND window) { made = window; });
        ASSERT_EQ(associate_calls.size(), size_t(c.calls));
        if (c.calls >= 1) {
            EXPECT_EQ(associate_calls[0].window, made);
            EXPECT_EQ(associate_calls[0].context, nullptr);
        }
        if (c.calls == 2) {
            EXPECT_EQ(associate_calls[1].window, made);
            EXPECT_EQ(associate_calls[1].context, context);
        }
        // Only a module that something else loaded is used, never loaded.
        EXPECT_EQ(layer_module_load_count("IMM32.DLL"), c.loaded ? 1 : 0);
    }
}

}  // namespace
