// The display hook: what a saver or preview run builds on the saver
// creation, which settings lead to which picture and display mode, the
// prompt when the mode is refused, and the release that runs more than once.
#include "host_fixture.h"

#include <string>
#include <vector>

#include "display/gl_window.h"

namespace {

class SaverHook : public HostTest {
protected:
    void store_settings(DWORD resolution, DWORD colour) {
        HKEY key;
        ASSERT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Orrelune", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
            ERROR_SUCCESS);
        RegSetValueExA(key, "resolution", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&resolution), 4);
        RegSetValueExA(key, "color", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&colour), 4);
        RegCloseKey(key);
    }
};

// ShowCursor's display counter, read without changing it.
int cursor_count() {
    int count = ShowCursor(TRUE);
    ShowCursor(FALSE);
    return count - 1;
}

struct Shown {
    std::string text, caption;
    UINT type;
};

std::vector<Shown> boxes_shown() {
    std::vector<Shown> boxes;
    for (int i = 0; i < layer_message_box_count(); ++i) {
        LayerMessageBoxShown box;
        if (layer_message_box_shown(i, &box)) boxes.push_back({box.text, box.caption, box.type});
    }
    return boxes;
}

RECT client_of(HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    return rect;
}

const char refused_text[] =
    "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?";

struct SettingsCase {
    const char* name;
    bool stored;
    DWORD resolution, colour;
    LONG width, height;  // the picture and the mode asked for
    DWORD bits;
};

const SettingsCase settings_cases[] = {
    {"never configured", false, 0, 0, 1024, 768, 0},
    {"desktop, 16 bit", true, 2000, 1000, 1024, 768, 16},
    {"800 x 600, 32 bit", true, 2002, 1001, 800, 600, 32},
    {"640 x 480, 16 bit", true, 2001, 1000, 640, 480, 16},
    {"unknown resolution id", true, 1999, 1001, 1024, 768, 32},
    {"unknown colour id, used as bits", true, 2000, 24, 1024, 768, 24},
};

}  // namespace

TEST_F(SaverHook, SettingsChooseThePictureAndTheModeOfAFullScreenRun) {
    for (const SettingsCase& c : settings_cases) {
        SCOPED_TRACE(c.name);
        reset_process_state();
        if (c.stored) store_settings(c.resolution, c.colour);
        int result = run_saver_with(NULL, [&](HWND saver) {
            ASSERT_NE(display_state().window, nullptr);
            EXPECT_EQ(GetParent(display_state().window), saver);
            char class_name[16] = "", title[16] = "";
            GetClassNameA(display_state().window, class_name, sizeof class_name);
            GetWindowTextA(display_state().window, title, sizeof title);
            EXPECT_STREQ(class_name, "OpenGL");
            EXPECT_STREQ(title, "Orrelune");
            RECT child = client_of(display_state().window);
            EXPECT_EQ(child.right, c.width);
            EXPECT_EQ(child.bottom, c.height);
            EXPECT_TRUE(display_state().full_screen);
            EXPECT_EQ(cursor_count(), -1);

            LayerDisplayRequest request = layer_last_display_request();
            EXPECT_EQ(request.calls, 1);
            ASSERT_TRUE(request.has_mode);
            EXPECT_EQ(request.flags, DWORD(CDS_FULLSCREEN));
            EXPECT_EQ(request.mode.dmSize, 156);
            EXPECT_EQ(request.mode.dmFields, DWORD(DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT));
            EXPECT_EQ(request.mode.dmPelsWidth, DWORD(c.width));
            EXPECT_EQ(request.mode.dmPelsHeight, DWORD(c.height));
            EXPECT_EQ(request.mode.dmBitsPerPel, c.bits);
            EXPECT_EQ(layer_message_box_count(), 0);
        });
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(steps_ran());
    }
}

TEST_F(SaverHook, SaverWindowsNarrowerThan640GetTheirOwnSizeWhateverTheSettings) {
    store_settings(2006, 1001);
    struct {
        int width;
        bool small;
    } cases[] = {{639, true}, {640, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        reset_process_state();
        store_settings(2001, 1001);
        HWND parent = layer_create_foreign_window(c.width, 400);
        layer_push_message_box_answer(IDYES);  // 640 x 480 is offered: not needed
        run_saver_with(parent, [&](HWND) {
            ASSERT_NE(display_state().window, nullptr);
            RECT child = client_of(display_state().window);
            EXPECT_EQ(display_state().full_screen, !c.small);
            EXPECT_EQ(child.right, c.small ? c.width : 640);
            EXPECT_EQ(child.bottom, c.small ? 400 : 480);
            EXPECT_EQ(cursor_count(), c.small ? 0 : -1);
            EXPECT_EQ(layer_last_display_request().calls, c.small ? 0 : 1);
        });
        layer_destroy_foreign_window(parent);
    }
}

TEST_F(SaverHook, RefusedModeAsksAndGoesOnWindowedOnYes) {
    store_settings(2006, 1000);  // 1600 x 1200: the null screen doesn't offer it
    layer_set_cursor(33, 44);
    layer_push_message_box_answer(IDYES);
    int result = run_saver_with(NULL, [&](HWND) {
        std::vector<Shown> boxes = boxes_shown();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, refused_text);
        EXPECT_EQ(boxes[0].caption, "Brix GL");
        EXPECT_EQ(boxes[0].type, UINT(MB_YESNO | MB_ICONEXCLAMATION));
        RECT child = client_of(display_state().window);
        EXPECT_EQ(child.right, 1600);
        EXPECT_EQ(child.bottom, 1200);
        EXPECT_EQ(display_state().start_cursor.x, 33);
        EXPECT_EQ(display_state().start_cursor.y, 44);
        EXPECT_EQ(cursor_count(), -1);
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(steps_ran());
}

TEST_F(SaverHook, RefusedModeEndsTheRunOnNo) {
    store_settings(2006, 1000);
    layer_set_cursor(33, 44);
    layer_push_message_box_answer(IDNO);
    layer_push_message_box_answer(IDOK);
    int result = run_saver_with(NULL, [&](HWND) {});
    EXPECT_EQ(result, 0);
    std::vector<Shown> boxes = boxes_shown();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Program Will Now Close.");
    EXPECT_EQ(boxes[1].caption, "ERROR");
    EXPECT_EQ(boxes[1].type, UINT(MB_OK | MB_ICONERROR));
    // The run ended before the cursor position was taken.
    EXPECT_EQ(display_state().start_cursor.x, 0);
}

TEST_F(SaverHook, ClassRegistrationFailureShowsABoxAndLeavesTheSaverWindowBare) {
    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = GetModuleHandleA(NULL);
    taken.lpszClassName = "OpenGL";
    ASSERT_NE(RegisterClassA(&taken), 0);
    int result = run_saver_with(NULL, [&](HWND saver) {
        EXPECT_TRUE(IsWindow(saver));
        EXPECT_EQ(display_state().window, nullptr);
        EXPECT_EQ(cursor_count(), 0);
        EXPECT_EQ(layer_last_display_request().calls, 0);
    });
    EXPECT_EQ(result, 0);
    std::vector<Shown> boxes = boxes_shown();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Class registration error.");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].type, UINT(MB_OK | MB_ICONERROR));
}

TEST_F(SaverHook, ChildWindowFailureShowsABoxAndChangesNoMode) {
    layer_refuse_next_window("OpenGL");
    int result = run_saver_with(NULL, [&](HWND saver) {
        EXPECT_TRUE(IsWindow(saver));
        EXPECT_EQ(display_state().window, nullptr);
        EXPECT_EQ(layer_last_display_request().calls, 0);
    });
    EXPECT_EQ(result, 0);
    std::vector<Shown> boxes = boxes_shown();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Window creation error.");
    EXPECT_EQ(boxes[0].caption, "Error");
}

TEST_F(SaverHook, ReleaseRunsForTheSaverWindowAndAgainForTheChildReleasingNothingTwice) {
    run_saver_with(NULL, [&](HWND) {
        ASSERT_NE(display_state().window, nullptr);
        // What the display window holds while it runs.
        LayerGdiCounts held = layer_gdi_counts();
        EXPECT_EQ(held.contexts, 1);
        EXPECT_EQ(held.device_contexts, 1);
        EXPECT_TRUE(held.context_current);
    });
    LayerGdiCounts counts = layer_gdi_counts();
    EXPECT_EQ(counts.contexts, 0);
    EXPECT_EQ(counts.device_contexts, 0);
    EXPECT_FALSE(counts.context_current);
    EXPECT_EQ(counts.repeated_releases, 0);
    // The saver window.s destruction and the child's each restored the mode.
    LayerDisplayRequest request = layer_last_display_request();
    EXPECT_EQ(request.calls, 3);
    EXPECT_FALSE(request.has_mode);
    EXPECT_EQ(display_state().device_context, nullptr);
    EXPECT_EQ(display_state().render_context, nullptr);
}
