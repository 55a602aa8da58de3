// The dialog manager with the program's template 2003 and a dialog procedure
// that records what it hears: creation, sizes in pixels, auto radio buttons,
// the keyboard interface and the ways a dialog ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <layer_test.h>

#include <functional>
#include <string>
#include <vector>

namespace {

const int radio_ids[] = {2000, 2001, 2002, 2003, 2004, 2005, 2006, 1000, 1001};
const UINT finish = WM_APP + 1;  // posted by a test: the procedure notes the state and ends

struct Record {
    bool init_returns_true = false;
    std::vector<int> commands;  // control ids of WM_COMMAND, in order
    bool commands_well_formed = true;
    int focus_at_finish = -1;
    std::vector<int> checked_at_finish;
};
Record record;

INT_PTR CALLBACK recording_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: return record.init_returns_true;
    case WM_COMMAND:
        record.commands.push_back(LOWORD(wparam));
        if (HIWORD(wparam) != BN_CLICKED || reinterpret_cast<HWND>(lparam) != GetDlgItem(dialog, LOWORD(wparam)))
            record.commands_well_formed = false;
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) EndDialog(dialog, 100 + LOWORD(wparam));
        return TRUE;
    case finish:
        record.focus_at_finish = GetDlgCtrlID(GetFocus());
        for (int id : radio_ids)
            if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) record.checked_at_finish.push_back(id);
        EndDialog(dialog, 7);
        return TRUE;
    }
    return FALSE;
}

class DialogManager : public ::testing::Test {
protected:
    void SetUp() override {
        layer_use_null_driver();
        layer_reset();
        record = Record();
    }
    void TearDown() override { layer_set_dialog_step(nullptr, nullptr); }

    INT_PTR run(const std::function<void(HWND)>& steps) {
        layer_set_dialog_step(
            [](HWND dialog, void* steps) { (*static_cast<std::function<void(HWND)>*>(steps))(dialog); },
            const_cast<std::function<void(HWND)>*>(&steps));
        return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(2003), nullptr, recording_proc, 0);
    }
};

void key(HWND window, WPARAM code, bool up = false) {
    PostMessageA(window, up ? WM_KEYUP : WM_KEYDOWN, code, up ? 0xC0000001 : 1);
}

}  // namespace

TEST_F(DialogManager, AMissingTemplateFails) {
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(4321), nullptr, recording_proc, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

// "MS Sans Serif" 8 measures 6 x 13 pixels at 96 DPI: a dialog unit is a
// quarter of the width across and an eighth of the height down.
TEST_F(DialogManager, SizesComeFromTheFontsBaseUnits) {
    run([](HWND dialog) {
        RECT client;
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, 297);   // 198 units
        EXPECT_EQ(client.bottom, 367);  // 226 units
        RECT ok;
        GetClientRect(GetDlgItem(dialog, IDOK), &ok);
        EXPECT_EQ(ok.right, 75);   // 50 units
        EXPECT_EQ(ok.bottom, 23);  // 14 units, rounded
        char text[32] = "";
        GetWindowTextA(GetDlgItem(dialog, 2005), text, sizeof text);
        EXPECT_STREQ(text, "1280 x 1024");
        EXPECT_EQ(GetParent(GetDlgItem(dialog, 2005)), dialog);
        EXPECT_EQ(GetDlgItem(dialog, 3000), nullptr);
        PostMessageA(dialog, finish, 0, 0);
    });
}

TEST_F(DialogManager, InitDialogTrueFocusesTheFirstTabStop) {
    record.init_returns_true = true;
    EXPECT_EQ(run([](HWND dialog) { PostMessageA(dialog, finish, 0, 0); }), 7);
    EXPECT_EQ(record.focus_at_finish, IDOK);
}

// An auto radio button checks itself and clears every other radio button of
// its group; here all nine are one group.
TEST_F(DialogManager, AnAutoRadioClickClearsItsWholeGroup) {
    run([](HWND dialog) {
        CheckRadioButton(dialog, 2000, 2006, 2002);
        CheckRadioButton(dialog, 1000, 1001, 1001);
        SendMessageA(GetDlgItem(dialog, 2004), BM_CLICK, 0, 0);
        PostMessageA(dialog, finish, 0, 0);
    });
    EXPECT_EQ(record.checked_at_finish, std::vector<int>{2004});
    EXPECT_EQ(record.commands, std::vector<int>{2004});
    EXPECT_TRUE(record.commands_well_formed);
}

// Keys typed with the focus on a control: where the focus ends, which
// commands the dialog heard and which radio button is checked. Keys after
// the dialog ends are not read.
TEST_F(DialogManager, Keyboard) {
    struct Case {
        const char* name;
        int focus;                 // control that has the focus first
        std::vector<WPARAM> keys;  // 'S': Shift held for the next key
        INT_PTR result;
        int focus_after;  // when the dialog was finished by the test
        std::vector<int> commands;
        std::vector<int> checked;
    };
    const Case cases[] = {
        {"Tab visits the push buttons only", IDOK, {VK_TAB}, 7, IDCANCEL, {}, {}},
        {"Tab wraps", IDCANCEL, {VK_TAB}, 7, IDOK, {}, {}},
        {"Tab from a radio button", 2003, {VK_TAB}, 7, IDOK, {}, {}},
        {"Shift+Tab goes back", IDOK, {'S', VK_TAB}, 7, IDCANCEL, {}, {}},
        {"arrows move within the group and choose", 2000, {VK_DOWN, VK_RIGHT}, 7, 2002, {2001, 2002}, {2002}},
        {"arrows stop on a group box too", 2000, {VK_UP}, 7, 0xFFFF, {}, {}},
        {"arrows wrap within the group",
         2002,
         {VK_UP, VK_UP, VK_UP, VK_UP, VK_UP, VK_UP},
         7,
         1001,
         {2001, 2000, 1001},
         {1001}},
        {"arrows between the push buttons", IDOK, {VK_RIGHT}, 7, IDCANCEL, {}, {}},
        {"Space clicks when it comes up", 2005, {VK_SPACE, 'U'}, 7, 2005, {2005}, {2005}},
        {"Enter on a radio button is the default button", 2003, {VK_RETURN}, 100 + IDOK, -1, {IDOK}, {}},
        {"Enter on Cancel is Cancel", IDCANCEL, {VK_RETURN}, 100 + IDCANCEL, -1, {IDCANCEL}, {}},
        {"Escape is Cancel", 2001, {VK_ESCAPE, VK_RETURN}, 100 + IDCANCEL, -1, {IDCANCEL}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        INT_PTR result = run([&](HWND dialog) {
            HWND focus = GetDlgItem(dialog, c.focus);
            SetFocus(focus);
            bool shift = false;
            for (WPARAM k : c.keys) {
                if (k == 'S') {
                    key(focus, VK_SHIFT);
                    shift = true;
                } else if (k == 'U') {
                    key(focus, VK_SPACE, true);
                } else {
                    key(focus, k);
                    if (shift) key(focus, VK_SHIFT, true);
                    shift = false;
                }
            }
            PostMessageA(dialog, finish, 0, 0);
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(record.commands, c.commands);
        EXPECT_TRUE(record.commands_well_formed);
        if (c.result == 7) {
            EXPECT_EQ(record.focus_at_finish, c.focus_after);
            EXPECT_EQ(record.checked_at_finish, c.checked);
        }
    }
}

TEST_F(DialogManager, TheCloseBoxAndAltF4AreCancel) {
    const struct {
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
    } ways[] = {{WM_CLOSE, 0, 0}, {WM_SYSKEYDOWN, VK_F4, 1 << 29 | 1}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.message);
        SetUp();
        EXPECT_EQ(run([&](HWND dialog) {
                      PostMessageA(GetFocus() ? GetFocus() : dialog, way.message, way.wparam, way.lparam);
                  }),
                  100 + IDCANCEL);
        EXPECT_EQ(record.commands, std::vector<int>{IDCANCEL});
    }
}

// A quit request ends the dialog and stays for the caller's own loop.
TEST_F(DialogManager, AQuitRequestEndsTheDialogAndIsPostedAgain) {
    HWND seen = nullptr;
    EXPECT_EQ(run([&](HWND dialog) {
                  seen = dialog;
                  PostQuitMessage(3);
              }),
              0);
    EXPECT_FALSE(IsWindow(seen));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}
