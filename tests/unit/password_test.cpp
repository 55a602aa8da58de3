// Password protection: when the verifier is loaded, and how a close request
// goes through it.
#include <string>
#include <vector>

#include "host_fixture.h"

#include "display/gl_window.h"

namespace {

// The platform's verifier: answers from a script and records its calls.
struct FakeVerifier {
    std::vector<BOOL> verdicts;
    std::vector<HWND> windows;
    std::function<void(HWND)> during_prompt;
};
FakeVerifier verifier;

BOOL WINAPI fake_verify(HWND window) {
    verifier.windows.push_back(window);
    if (verifier.during_prompt) verifier.during_prompt(window);
    BOOL verdict = verifier.verdicts.empty() ? TRUE : verifier.verdicts.front();
    if (!verifier.verdicts.empty()) verifier.verdicts.erase(verifier.verdicts.begin());
    return verdict;
}

void register_password_cpl(bool with_entry = true) {
    static const LayerModuleEntry entries[] = {
        {"VerifyScreenSavePwd", as_entry(fake_verify)},
    };
    layer_register_module("PASSWORD.CPL", entries, with_entry ? 1 : 0);
}

class Password : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        verifier = FakeVerifier();
    }
    void password_on() {
        DWORD one = 1;
        set_password_setting(&one, sizeof one, REG_DWORD);
    }
};

TEST_F(Password, VerifierIsNeverLoadedOutsideThe9xFamilyOrInThePreview) {
    for (bool win9x_preview : {false, true}) {
        SCOPED_TRACE(win9x_preview ? "9x preview" : "NT saver");
        reset_process_state();
        verifier = FakeVerifier();
        password_on();
        register_password_cpl();
        if (win9x_preview) {
            layer_set_platform(VER_PLATFORM_WIN32_WINDOWS);
            host_state().win9x_family = true;
        }
        HWND parent = win9x_preview ? layer_create_foreign_window(200, 150) : NULL;
        int result = run_saver_with(parent, [&](HWND window) {
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(layer_module_load_count("PASSWORD.CPL"), 0);
            SendMessageA(window, WM_CLOSE, 0, 0);
            EXPECT_FALSE(IsWindow(window));
        });
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(verifier.windows.empty());
        EXPECT_EQ(layer_module_load_count("PASSWORD.CPL"), 0);

        // Called directly outside the 9x family, loading does nothing too.
        if (!win9x_preview) {
            load_password_verifier();
            EXPECT_EQ(layer_module_load_count("PASSWORD.CPL"), 0);
            EXPECT_EQ(host_state().verifier, nullptr);
        }
    }
}

TEST_F(Password, VerifierLoadsOnlyWithTheSettingOnAndTheModulesEntry) {
    enum Module { Missing, WithoutEntry, Complete };
    struct Case {
        const char* name;
        std::vector<BYTE> setting;  // empty: no value
        DWORD type;
        Module module;
        bool loaded;
    };
    const Case cases[] = {
        {"no setting", {}, REG_DWORD, Complete, false},
        {"setting 0", {0, 0, 0, 0}, REG_DWORD, Complete, false},
        {"setting 1", {1, 0, 0, 0}, REG_DWORD, Complete, true},
        {"high byte only", {0, 0, 0, 1}, REG_DWORD, Complete, true},
        {"2 bytes", {1, 0}, REG_BINARY, Complete, true},
        {"text of any type", {'1', 0}, REG_SZ, Complete, true},
        {"longer than 4 bytes", {1, 0, 0, 0, 0, 0, 0, 0}, REG_BINARY, Complete, false},
        {"module missing", {1, 0, 0, 0}, REG_DWORD, Missing, false},
        {"entry missing", {1, 0, 0, 0}, REG_DWORD, WithoutEntry, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_process_state();
        layer_set_platform(VER_PLATFORM_WIN32_WINDOWS);
        host_state().win9x_family = true;
        if (!c.setting.empty()) set_password_setting(c.setting.data(), DWORD(c.setting.size()), c.type);
        if (c.module != Missing) register_password_cpl(c.module == Complete);

        load_password_verifier();
        EXPECT_EQ(host_state().verifier != NULL, c.loaded);
        EXPECT_EQ(host_state().password_module != NULL, c.loaded);
        EXPECT_EQ(layer_module_load_count("PASSWORD.CPL"), c.loaded ? 1 : 0);
        // Loading again replaces, never stacks.
        load_password_verifier();
        EXPECT_EQ(layer_module_load_count("PASSWORD.CPL"), c.loaded ? 1 : 0);

        unload_password_verifier();
        EXPECT_EQ(host_state().verifier, nullptr);
        EXPECT_EQ(host_state().password_module, nullptr);
        EXPECT_EQ(layer_module_load_count("PASSWORD.CPL"), 0);
    }
}

// A whole protected run: a refused prompt, the quiet time after it across a
// wrap of the tick counter, and an accepted prompt that ends the run.
TEST_F(Password, CloseAsksTheVerifierButNotWithin200MsOfTheLastPrompt) {
    layer_set_platform(VER_PLATFORM_WIN32_WINDOWS);
    password_on();
    register_password_cpl();
    layer_set_cursor(100, 100);
    // Early after start: "never" must not read as a prompt just before.
    layer_set_fake_ticks(50);
    verifier.verdicts = {FALSE, TRUE};

    HWND saver = NULL;
    char tail[] = "/s";
    verifier.during_prompt = [&](HWND window) {
        EXPECT_TRUE(host_state().verifying);
        // While the prompt shows, close requests and input change nothing.
        EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
        SendMessageA(window, WM_KEYDOWN, 'A', 0);
        EXPECT_FALSE(take_posted_close(window));
        // The user moves the mouse, and the prompt ends as the clock nears its wrap.
        layer_set_cursor(300, 300);
        layer_set_fake_ticks(0xFFFFFFA0u);
        verifier.during_prompt = nullptr;
    };
    int result = run_main_with(tail, [&](HWND window) {
        saver = window;
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(layer_module_load_count("PASSWORD.CPL"), 1);

        EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
        ASSERT_EQ(verifier.windows.size(), 1u);
        EXPECT_EQ(verifier.windows[0], window);
        EXPECT_TRUE(IsWindow(window));
        EXPECT_FALSE(host_state().closing);
        EXPECT_FALSE(host_state().verifying);
        EXPECT_TRUE(layer_cursor_hidden(window));
        EXPECT_EQ(host_state().remembered_cursor.x, 300);
        EXPECT_EQ(host_state().remembered_cursor.y, 300);
        // Movement is measured from where the cursor was at the refusal.
        layer_set_cursor(304, 300);
        SendMessageA(window, WM_MOUSEMOVE, 0, 0);
        EXPECT_FALSE(take_posted_close(window));

        layer_advance_ticks(199);  // past the wrap
        EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
        EXPECT_EQ(verifier.windows.size(), 1u);
        EXPECT_TRUE(IsWindow(window));

        layer_advance_ticks(1);
        SendMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(verifier.windows.size(), 2u);
        EXPECT_TRUE(host_state().closing);
        EXPECT_FALSE(IsWindow(window));
    });
    EXPECT_EQ(result, 0);
    EXPECT_NE(saver, nullptr);
    EXPECT_EQ(layer_module_load_count("PASSWORD.CPL"), 0);
    EXPECT_EQ(host_state().verifier, nullptr);
}

TEST_F(Password, WithoutAVerifierTheFirstCloseGoesThrough) {
    layer_set_platform(VER_PLATFORM_WIN32_WINDOWS);
    register_password_cpl();
    char tail[] = "/s";
    int result = run_main_with(tail, [&](HWND window) {
        ASSERT_NE(window, nullptr);
        SendMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        ASSERT_TRUE(take_posted_close(window));
        // On the 9x family the verification request is answered "may close".
        EXPECT_EQ(SendMessageA(window, WM_APP, 0, 0), 1);
        SendMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(host_state().closing);
        EXPECT_FALSE(IsWindow(window));
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(verifier.windows.empty());
    EXPECT_EQ(layer_module_load_count("PASSWORD.CPL"), 0);
}

TEST_F(Password, WhenNoWindowCanBeMadeTheRunReportsNothingRanAndUnloadsTheVerifier) {
    layer_set_platform(VER_PLATFORM_WIN32_WINDOWS);
    password_on();
    register_password_cpl();
    // The class name is taken, so the saver's class can't be registered.
    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = GetModuleHandleA(NULL);
    taken.lpszClassName = "WindowsScreenSaverClass";
    ASSERT_NE(RegisterClassA(&taken), 0);

    char tail[] = "/s";
    EXPECT_EQ(run_main_with(tail, nullptr), -1);
    EXPECT_FALSE(steps_ran());
    EXPECT_EQ(host_state().saver_window, nullptr);
    EXPECT_EQ(layer_module_load_count("PASSWORD.CPL"), 0);
    EXPECT_EQ(host_state().verifier, nullptr);
}

}  // namespace

TEST_F(Password, ProtectedRunTellsTheSystemItRunsUntilTheLoopEnds) {
    layer_set_platform(VER_PLATFORM_WIN32_WINDOWS);
    host_state().win9x_family = true;
    password_on();
    register_password_cpl();
    EXPECT_FALSE(layer_saver_running());
    run_saver_with(NULL, [&](HWND) { EXPECT_TRUE(layer_saver_running()); });
    EXPECT_FALSE(layer_saver_running());
}

// The display window's own close (the mouse beyond 10 pixels, Escape) must
// not end a protected run without the prompt; unprotected, it ends the run
// at once as before.
TEST_F(Password, DisplayWindowsOwnCloseAsksForThePasswordWhenProtected) {
    for (bool protected_run : {true, false}) {
        SCOPED_TRACE(protected_run ? "protected" : "not protected");
        reset_process_state();
        verifier = FakeVerifier();
        layer_set_platform(VER_PLATFORM_WIN32_WINDOWS);
        host_state().win9x_family = true;
        if (protected_run) {
            password_on();
            register_password_cpl();
        }
        verifier.verdicts = {FALSE, TRUE};
        layer_set_fake_ticks(1000);
        layer_set_cursor(100, 100);
        int result = run_saver_with(NULL, [&](HWND window) {
            ASSERT_NE(display_state().window, nullptr);
            SendMessageA(display_state().window, WM_MOUSEMOVE, 0, MAKELPARAM(120, 100));
            if (!protected_run) {
                // Released at once: the quit message ends the loop.
                EXPECT_TRUE(verifier.windows.empty());
                return;
            }
            ASSERT_EQ(verifier.windows.size(), 1u);
            EXPECT_EQ(verifier.windows[0], window);
            EXPECT_TRUE(IsWindow(window));  // refused: the saver goes on
            layer_advance_ticks(500);
            SendMessageA(display_state().window, WM_KEYDOWN, VK_ESCAPE, 0);
            SendMessageA(display_state().window, WM_TIMER, frame_timer_id, 0);
            EXPECT_EQ(verifier.windows.size(), 2u);
            EXPECT_FALSE(IsWindow(window));  // accepted: closed
        });
        EXPECT_EQ(result, 0);
    }
}
