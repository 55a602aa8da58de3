// Start-up and mode dispatch: the argument tail, the switch, the launchers'
// results, and the fault guard.
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gmock/gmock.h>

#include "host_fixture.h"

namespace {

std::string decimal(unsigned long long value) {
    return std::to_string(value);
}

TEST(CommandLineTail, SkipsTheProgramNameAndSeparators) {
    struct Case {
        const char* line;
        const char* tail;
    };
    const Case cases[] = {
        {"orrelune.scr /s", "/s"},
        {"orrelune.scr", ""},
        {"", ""},
        {"\"C:\\Program Files\\Orrelune\\orrelune.scr\" /s", "/s"},
        {"\"C:\\Program Files\\orrelune.scr\"/p 12", "/p 12"},
        {"\"\"", ""},
        {"\"", ""},
        // An unterminated quote makes the whole line the name.
        {"\"C:\\Saver Dir\\orrelune.scr /s", ""},
        // A quote in the name comes escaped, so it cannot end the name early
        // and hand the rest of the name to the switch; an even run of
        // backslashes escapes only itself.
        {"\"x\\\" /s\" /c", "/c"},
        {"\"x\\\\\" /s", "/s"},
        {"\"a b\\\\\\\"c\" /c", "/c"},
        // After the closing quote only separators are skipped.
        {"\"orrelune\"x /s", "x /s"},
        {"orrelune.scr\t \t/c", "/c"},
        {"orrelune.scr\x01\x1f /a", "/a"},
        // A first byte of 32 or less skips no name.
        {" /s", "/s"},
        {"\t-p 5", "-p 5"},
        // Bytes from 128 up are name characters, not separators.
        {"sauv\xc3\xa9\xe2\x82\xac.scr /s", "/s"},
        {"\"\xc3\xa9t\xc3\xa9 d'\xc3\xa9t\xc3\xa9.scr\" /c", "/c"},
        {"\xc3\xa9", ""},
    };
    for (const Case& c : cases) EXPECT_STREQ(command_line_tail(c.line), c.tail) << "line: " << c.line;
}

TEST(ParseWindowHandle, ReadsLeadingDecimalDigitsThatFit32Bits) {
    struct Case {
        const char* text;
        DWORD value;
    };
    const Case cases[] = {
        {"1234", 1234u},
        {"1234xyz", 1234u},
        {"007", 7u},
        {"4294967295", 4294967295u},
        // Beyond 32 bits no window is named, rather than one the number wraps to.
        {"4294967296", 0u},
        {"4294967297", 0u},
        {"4294968589", 0u},
        {"99999999999", 0u},
        {"000000000004294967295", 4294967295u},
        {"", 0u},
        {"abc", 0u},
        {" 12", 0u},
        {"-5", 0u},
        {"+5", 0u},
        {"0x10", 0u},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_window_handle(c.text), c.value) << "text: " << c.text;
}

TEST(ReadSwitch, FirstNonSeparatorByteDecides) {
    struct Case {
        const char* tail;
        bool recognised;
        SaverMode mode;
        bool foreground_owner;
        int handle_offset;  // -1: no handle text
    };
    const SaverMode S = SaverMode::Saver, P = SaverMode::Preview, C = SaverMode::Configure,
                    A = SaverMode::ChangePassword;
    const Case cases[] = {
        {"", true, C, false, -1},
        {"  -/", true, C, false, -1},
        {"/c", true, C, true, -1},
        {"C", true, C, true, -1},
        {"/c:5678", true, C, true, -1},
        {"/s", true, S, false, -1},
        {"S", true, S, false, -1},
        {"--//s", true, S, false, -1},
        {"/ s", true, S, false, -1},
        {"/sx", true, S, false, -1},
        {"/p1234", true, P, false, 2},
        {"/p   1234", true, P, false, 5},
        {"-P 1234", true, P, false, 3},
        {"/l 1234", true, P, false, 3},
        {"L", true, P, false, 1},
        // Only spaces after the letter; a tab ends the skip.
        {"/p\t1234", true, P, false, 2},
        {"/a", true, A, false, 2},
        {"A  77", true, A, false, 3},
        {"/\ts", false, S, false, -1},
        {"\ts", false, S, false, -1},
        {"/x", false, S, false, -1},
        {"/1", false, S, false, -1},
        {"/\xc3\xa9", false, S, false, -1},
        {"/?", false, S, false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("tail: ") + c.tail);
        SaverSwitch choice = read_switch(c.tail);
        EXPECT_EQ(choice.recognised, c.recognised);
        if (!c.recognised) continue;
        EXPECT_EQ(choice.mode, c.mode);
        EXPECT_EQ(choice.foreground_owner, c.foreground_owner);
        if (c.handle_offset < 0)
            EXPECT_EQ(choice.handle_text, nullptr);
        else
            EXPECT_EQ(choice.handle_text, c.tail + c.handle_offset);
    }
}

// What PwdChangePasswordA was called with.
struct PasswordChangeCall {
    std::string provider;
    HWND owner;
    DWORD reserved1;
    void* reserved2;
};
std::vector<PasswordChangeCall> password_changes;

DWORD WINAPI fake_change_password(LPCSTR provider, HWND owner, DWORD reserved1, void* reserved2) {
    password_changes.push_back({provider, owner, reserved1, reserved2});
    return 1;
}

void register_fake_mpr() {
    static const LayerModuleEntry entries[] = {
        {"PwdChangePasswordA", as_entry(fake_change_password)},
    };
    layer_register_module("MPR.DLL", entries, 1);
}

class Dispatch : public HostTest {};

// Every mode through saver_main: its result and what it ran. "%h" in a tail
// stands for an existing foreign window, "%H" for the same handle plus 2^32.
TEST_F(Dispatch, RunsTheModeOfTheTail) {
    enum Ran { Nothing, SaverWindow, PreviewWindow, ConfigureDialog };
    struct Case {
        const char* tail;
        int result;
        Ran ran;
    };
    const Case cases[] = {
        {"/s", 0, SaverWindow},
        {"/S", 0, SaverWindow},
        {"s", 0, SaverWindow},
        {"--//s", 0, SaverWindow},
        {"/ s", 0, SaverWindow},
        {"/p%h", 0, PreviewWindow},
        {"/p   %h", 0, PreviewWindow},
        {"-P %h", 0, PreviewWindow},
        {"/l %h", 0, PreviewWindow},
        {"/L%h", 0, PreviewWindow},
        {"/p %hxyz", 0, PreviewWindow},
        // Beyond 32 bits the number names no window, not the one it would wrap to.
        {"/p %H", -1, Nothing},
        {"/p", -1, Nothing},
        {"/p 0", -1, Nothing},
        {"/p abc", -1, Nothing},
        {"/p 4294967297", -1, Nothing},
        {"/p\t%h", -1, Nothing},
        {"/\ts", -1, Nothing},
        {"/x", -1, Nothing},
        {"/1", -1, Nothing},
        {"/a", -1, Nothing},
        {"/a %h", -1, Nothing},
        // The configuration dialog, closed with Escape: its result is 1.
        {"", 1, ConfigureDialog},
        {"/c:5678", 1, ConfigureDialog},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("tail: ") + c.tail);
        reset_process_state();
        register_fake_mpr();
        password_changes.clear();
        HWND foreign = layer_create_foreign_window(320, 200);
        UINT_PTR handle = reinterpret_cast<UINT_PTR>(foreign);

        std::string tail = c.tail;
        std::string::size_type at;
        if ((at = tail.find("%h")) != std::string::npos) tail.replace(at, 2, decimal(handle));
        if ((at = tail.find("%H")) != std::string::npos) tail.replace(at, 2, decimal(handle + (1ull << 32)));

        Ran ran = Nothing;
        layer_set_dialog_step(
            [](HWND dialog, void* ran) {
                char title[64] = "";
                GetWindowTextA(dialog, title, sizeof title);
                EXPECT_STREQ(title, "Vintorra Configure");
                *static_cast<Ran*>(ran) = ConfigureDialog;
                PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
            },
            &ran);
        int result = run_main_with(tail, [&](HWND window) {
            if (window == NULL) return;
            char class_name[64] = "";
            GetClassNameA(window, class_name, sizeof class_name);
            EXPECT_STREQ(class_name, "WindowsScreenSaverClass");
            ran = GetParent(window) == foreign ? PreviewWindow : SaverWindow;
        });
        layer_set_dialog_step(nullptr, nullptr);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(ran, c.ran);
        EXPECT_TRUE(password_changes.empty());
    }
}

TEST_F(Dispatch, ChangePasswordOnThe9xFamilyIsOwnedByAValidWindowOrTheForeground) {
    HWND foreign = layer_create_foreign_window(100, 100);
    HWND foreground = layer_create_foreign_window(100, 100);
    std::string given = decimal(reinterpret_cast<UINT_PTR>(foreign));
    struct Case {
        std::string tail;
        HWND owner;
    };
    const Case cases[] = {
        {"/a " + given, foreign}, {"-A" + given, foreign},      {"/a", foreground},
        {"/a 0", foreground},     {"/a 123456789", foreground},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("tail: " + c.tail);
        layer_set_platform(VER_PLATFORM_WIN32_WINDOWS);
        layer_set_foreground(foreground);
        register_fake_mpr();
        password_changes.clear();
        std::string tail = c.tail;
        EXPECT_EQ(saver_main(GetModuleHandleA(NULL), NULL, &tail[0], SW_SHOWDEFAULT), 0);
        ASSERT_EQ(password_changes.size(), 1u);
        EXPECT_EQ(password_changes[0].provider, "SCRSAVE");
        EXPECT_EQ(password_changes[0].owner, c.owner);
        EXPECT_EQ(password_changes[0].reserved1, 0u);
        EXPECT_EQ(password_changes[0].reserved2, nullptr);
        EXPECT_EQ(layer_module_load_count("MPR.DLL"), 0);
    }
}

TEST_F(Dispatch, ChangePasswordWithoutThePlatformsModuleDoesNothingAndSucceeds) {
    layer_set_platform(VER_PLATFORM_WIN32_WINDOWS);
    char tail[] = "/a";
    EXPECT_EQ(saver_main(GetModuleHandleA(NULL), NULL, tail, SW_SHOWDEFAULT), 0);

    static const LayerModuleEntry no_entries[] = {{"SomethingElse", nullptr}};
    layer_register_module("MPR.DLL", no_entries, 0);
    EXPECT_EQ(saver_main(GetModuleHandleA(NULL), NULL, tail, SW_SHOWDEFAULT), 0);
    EXPECT_EQ(layer_module_load_count("MPR.DLL"), 0);
}

TEST_F(Dispatch, PlatformFamilyIsRecordedBeforeTheModeRuns) {
    struct Case {
        DWORD platform_id;
        bool query_fails;
        bool win9x;
    };
    const Case cases[] = {
        {VER_PLATFORM_WIN32_WINDOWS, false, true},
        {VER_PLATFORM_WIN32_NT, false, false},
        {VER_PLATFORM_WIN32s, false, false},
        {VER_PLATFORM_WIN32_WINDOWS, true, false},
    };
    for (const Case& c : cases) {
        layer_set_platform(c.platform_id, c.query_fails);
        char tail[] = "/x";
        EXPECT_EQ(saver_main(reinterpret_cast<HINSTANCE>(0x4000), NULL, tail, SW_SHOWDEFAULT), -1);
        EXPECT_EQ(host_state().win9x_family, c.win9x) << "platform " << c.platform_id << " fails " << c.query_fails;
        EXPECT_EQ(host_state().instance, reinterpret_cast<HINSTANCE>(0x4000));
    }
}

DWORD WINAPI faulting_change_password(LPCSTR, HWND, DWORD, void*) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}

void say_saver_running() {
    const char* text = layer_saver_running() ? "saver running: on\n" : "saver running: off\n";
    ssize_t ignored = write(STDERR_FILENO, text, strlen(text));
    (void)ignored;
}

// Runs the change-password mode of a 9x platform whose password change
// faults while the system believes a saver runs; returns only if the guard
// let the fault through.
void run_faulting_mode() {
    layer_use_null_driver();
    layer_reset();
    layer_set_platform(VER_PLATFORM_WIN32_WINDOWS);
    static const LayerModuleEntry entries[] = {
        {"PwdChangePasswordA", as_entry(faulting_change_password)},
    };
    layer_register_module("MPR.DLL", entries, 1);
    UINT previous = 0;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, 1, &previous, 0);
    layer_at_exit(say_saver_running);
    char tail[] = "/a";
    saver_main(GetModuleHandleA(NULL), NULL, tail, SW_SHOWDEFAULT);
}

int count_of(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::string::size_type at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++count;
    return count;
}

TEST(FaultGuard, AFaultInsideAModeIsReportedOnceAndEndsTheRunningSaver) {
    using ::testing::AllOf;
    using ::testing::ResultOf;
    EXPECT_EXIT(
        {
            run_faulting_mode();
            _exit(99);
        },
        ::testing::ExitedWithCode(int(fault_exit_code)),
        AllOf(ResultOf([](const std::string& out) { return count_of(out, "Unhandled exception 0xC0000005"); }, 1),
              ResultOf([](const std::string& out) { return count_of(out, "saver running: off"); }, 1)));
}

}  // namespace
