// The configuration dialog as the user meets it: template 2003 run by the
// layer's dialog manager with configure_dialog_proc, on the null driver, with
// clicks and keys given from inside the modal dialog.
#include "host_fixture.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "settings/configure_dialog.h"
#include "settings/settings_store.h"

namespace {

const int resolution_ids[] = {2000, 2001, 2002, 2003, 2004, 2005, 2006};
const int colour_ids[] = {1000, 1001};

class ConfigureDialog : public HostTest {
protected:
    void TearDown() override {
        layer_set_dialog_step(nullptr, nullptr);
        HostTest::TearDown();
    }

    // Runs the Configure mode's dialog; `steps` act on it once it is up.
    int run_dialog(const std::function<void(HWND)>& steps) {
        shown_ = false;
        std::function<void(HWND)> wrapped = [&](HWND dialog) {
            shown_ = true;
            steps(dialog);
        };
        layer_set_dialog_step(
            [](HWND dialog, void* context) { (*static_cast<std::function<void(HWND)>*>(context))(dialog); }, &wrapped);
        int result = run_configuration(NULL);
        EXPECT_TRUE(shown_);
        return result;
    }

    static void store(LONG resolution, LONG colour) {
        HKEY key = open_settings_key();
        EXPECT_EQ(write_settings(key, SaverSettings{resolution, colour}), ERROR_SUCCESS);
        close_settings_key(key);
    }

    static bool key_exists() {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Orrelune", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    bool shown_ = false;
};

// The checked id of a set, 0 for none, -1 for more than one.
template <size_t N>
int checked_of(HWND dialog, const int (&ids)[N]) {
    int found = 0;
    for (int id : ids)
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) found = found ? -1 : id;
    return found;
}

void click(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void post_key(HWND window, WPARAM key) {
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

}  // namespace

// The key is opened (made, in this process) when the dialog starts, but only
// a write puts anything on disk: Cancel leaves no settings file behind.
TEST_F(ConfigureDialog, WithNothingStoredShowsTheDefaultsAndCancelWritesNothing) {
    ASSERT_FALSE(key_exists());
    int result = run_dialog([](HWND dialog) {
        EXPECT_EQ(checked_of(dialog, resolution_ids), 2000);
        EXPECT_EQ(checked_of(dialog, colour_ids), 1000);
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 2000));
        char title[64] = "";
        GetWindowTextA(dialog, title, sizeof title);
        EXPECT_STREQ(title, "Vintorra Configure");
        click(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(std::filesystem::exists(std::string(getenv("XDG_CONFIG_HOME")) + "/orrelune"));
    SaverSettings stored = load_saver_settings();
    EXPECT_EQ(stored.resolution_id, 0);
    EXPECT_EQ(stored.colour_id, 0);
}

// Each way of leaving: what is stored afterwards. Clicks are by control id;
// the stored values before the run are `before`.
TEST_F(ConfigureDialog, StoresTheChoiceOnOkOnly) {
    struct Case {
        const char* name;
        SaverSettings before;
        std::vector<int> clicks;
        WPARAM key;  // 0: click the last id in `clicks` as the way out
        SaverSettings after;
    };
    const Case cases[] = {
        {"OK with nothing stored writes the defaults", {0, 0}, {IDOK}, 0, {2000, 1000}},
        {"Enter is OK", {0, 0}, {}, VK_RETURN, {2000, 1000}},
        {"OK stores both clicks", {2003, 1001}, {2005, 1000, IDOK}, 0, {2005, 1000}},
        {"an unknown id goes back unchanged", {1, 1001}, {IDOK}, 0, {1, 1001}},
        {"an unknown id is replaced by a click", {1, 1001}, {2006, IDOK}, 0, {2006, 1001}},
        {"Cancel writes nothing", {2003, 1001}, {2001, 1000, IDCANCEL}, 0, {2003, 1001}},
        {"Escape writes nothing", {2003, 1001}, {2001}, VK_ESCAPE, {2003, 1001}},
        {"the close box writes nothing", {2002, 1000}, {1001}, 'C', {2002, 1000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_process_state();
        if (c.before.resolution_id || c.before.colour_id) store(c.before.resolution_id, c.before.colour_id);
        int result = run_dialog([&](HWND dialog) {
            for (int id : c.clicks) click(dialog, id);
            if (c.key == 'C')
                PostMessageA(dialog, WM_CLOSE, 0, 0);
            else if (c.key)
                post_key(GetFocus(), c.key);
        });
        EXPECT_EQ(result, 1);
        SaverSettings stored = load_saver_settings();
        EXPECT_EQ(stored.resolution_id, c.after.resolution_id);
        EXPECT_EQ(stored.colour_id, c.after.colour_id);
    }
}

TEST_F(ConfigureDialog, AnUnknownStoredResolutionLeavesEveryResolutionButtonClear) {
    store(7, 1001);
    run_dialog([](HWND dialog) {
        EXPECT_EQ(checked_of(dialog, resolution_ids), 0);
        EXPECT_EQ(checked_of(dialog, colour_ids), 1001);
        click(dialog, IDCANCEL);
    });
}

// All nine radio buttons are one group, so a click clears the other set
// until the procedure checks it again: after every click each set shows
// exactly the last choice made in it.
TEST_F(ConfigureDialog, AClickInOneSetKeepsTheOtherSetsCheck) {
    struct Step {
        int click;
        int resolution, colour;
    };
    const Step steps[] = {
        {1001, 2003, 1001}, {2006, 2006, 1001}, {1000, 2006, 1000}, {1000, 2006, 1000}, {2001, 2001, 1000},
    };
    store(2003, 1000);
    run_dialog([&](HWND dialog) {
        for (const Step& step : steps) {
            SCOPED_TRACE(step.click);
            click(dialog, step.click);
            EXPECT_EQ(checked_of(dialog, resolution_ids), step.resolution);
            EXPECT_EQ(checked_of(dialog, colour_ids), step.colour);
        }
        click(dialog, IDCANCEL);
    });
}

// When the settings can't be saved, OK says so in one message box that
// names the key and the system's reason, and the dialog still ends as after
// any OK. On the layer the settings live in a file, which fails to be
// written when a directory stands in its place, or when a regular file
// stands where its folder goes (which stops root too).
TEST_F(ConfigureDialog, OkThatCannotSaveSaysSoOnce) {
    struct Case {
        const char* name;
        const char* made;  // below XDG_CONFIG_HOME
        bool folder;
        const char* reason;
    };
    const Case cases[] = {
        {"a directory in the file's place", "orrelune/registry.reg", true, "Access is denied."},
        {"a file in the folder's place", "orrelune", false, "The system cannot find the path specified."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_process_state();
        std::string config = std::string(getenv("XDG_CONFIG_HOME"));
        std::filesystem::remove_all(config + "/orrelune");
        std::string made = config + "/" + c.made;
        if (c.folder)
            ASSERT_TRUE(std::filesystem::create_directories(made));
        else
            ASSERT_TRUE(std::ofstream(made).good());
        int result = run_dialog([](HWND dialog) {
            EXPECT_EQ(checked_of(dialog, resolution_ids), 2000);
            click(dialog, 2003);
            click(dialog, IDOK);
        });
        EXPECT_EQ(result, 1);
        ASSERT_EQ(layer_message_box_count(), 1);
        LayerMessageBoxShown box;
        ASSERT_TRUE(layer_message_box_shown(0, &box));
        EXPECT_EQ(
            std::string(box.text),
            std::string("The settings could not be saved to HKEY_CURRENT_USER\\Software\\Orrelune:\n") + c.reason);
        EXPECT_EQ(box.type & MB_ICONMASK, UINT(MB_ICONERROR));
        EXPECT_EQ(std::filesystem::is_directory(made), c.folder);
    }
}
