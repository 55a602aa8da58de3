// Kernel behaviour of the layer: the command line rebuilt from argv and its
// argument tail, UTF-8 character steps, and the seam's version and modules.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <layer_test.h>
#include <windows.h>

#include "kernel/layer_kernel.h"

namespace {

class KernelLayer : public ::testing::Test {
protected:
    void SetUp() override { layer_reset(); }
    void TearDown() override { layer_reset(); }
};

// The line, and the tail that WinMain is given: the arguments after the
// program name, however that name is written.
TEST_F(KernelLayer, CommandLineQuotesArgumentsAsWindowsReadsThem) {
    const struct {
        std::vector<const char*> argv;
        const char* line;
        const char* tail;
    } cases[] = {
        {{"orrelune", "/s"}, "orrelune /s", "/s"},
        {{"/opt/my saver/orrelune", "/p", "1234"}, "\"/opt/my saver/orrelune\" /p 1234", "/p 1234"},
        {{"orrelune", ""}, "orrelune \"\"", "\"\""},
        {{"orrelune", "a\"b"}, "orrelune \"a\\\"b\"", "\"a\\\"b\""},
        {{"orrelune", "a\\\"b"}, "orrelune \"a\\\\\\\"b\"", "\"a\\\\\\\"b\""},
        {{"orrelune", "c:\\dir\\"}, "orrelune c:\\dir\\", "c:\\dir\\"},
        {{"orrelune", "my dir\\"}, "orrelune \"my dir\\\\\"", "\"my dir\\\\\""},
        {{"orrelune", "tab\there"}, "orrelune \"tab\there\"", "\"tab\there\""},
        {{"orrelune"}, "orrelune", ""},
        {{"x\" /s", "/c"}, "\"x\\\" /s\" /c", "/c"},
        {{"", "/c"}, "\"\" /c", "/c"},
        {{"my saver", " /s"}, "\"my saver\" \" /s\"", "\" /s\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<std::string> storage(c.argv.begin(), c.argv.end());
        std::vector<char*> argv;
        for (std::string& arg : storage) argv.push_back(&arg[0]);
        layer_kernel_set_argv(static_cast<int>(argv.size()), argv.data());
        EXPECT_STREQ(GetCommandLineA(), c.line);
        EXPECT_STREQ(layer_command_tail(), c.tail);
    }
}

TEST_F(KernelLayer, CharNextStepsWholeUtf8CharactersAndBrokenBytesOneByOne) {
    const struct {
        const char* text;
        int step;
    } cases[] = {
        {"\xC3\xA9x", 2},          // é
        {"\xE2\x82\xACx", 3},      // €
        {"\xF0\x9F\x98\x80x", 4},  // an emoji
        {"\xC3", 1},               // cut short by the end
        {"\xF0\x9F\x98", 1},       // cut short: never steps past the zero
        {"\xE2\x82x", 1},          // cut short by a plain byte
        {"\xFFx", 1},
        {"\xC0\xAFx", 1},      // overlong
        {"\xED\xA0\x80x", 1},  // surrogate
        {"\x80x", 1},          // stray continuation byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CharNextA(c.text) - c.text, c.step) << "length " << strlen(c.text);
    }
}

TEST_F(KernelLayer, SeamSetsVersionAndStartupInfo) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    layer_set_platform(VER_PLATFORM_WIN32_WINDOWS);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
    layer_set_platform(VER_PLATFORM_WIN32_NT, true);
    EXPECT_FALSE(GetVersionExA(&info));

    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    EXPECT_EQ(startup.dwFlags, 0u);
    layer_set_startup_info(STARTF_USESHOWWINDOW, SW_HIDE);
    GetStartupInfoA(&startup);
    EXPECT_EQ(startup.dwFlags, static_cast<DWORD>(STARTF_USESHOWWINDOW));
    EXPECT_EQ(startup.wShowWindow, SW_HIDE);
}

INT_PTR WINAPI fake_entry() {
    return 77;
}

TEST_F(KernelLayer, RegisteredModulesLoadCountAndFree) {
    const LayerModuleEntry entries[] = {{"ImmAssociateContext", fake_entry}};
    layer_register_module("IMM32.DLL", entries, 1);
    EXPECT_EQ(GetModuleHandleA("IMM32.DLL"), nullptr);  // registered is not loaded

    HMODULE module = LoadLibraryA("imm32");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadLibraryA("Imm32.Dll"), module);
    EXPECT_EQ(layer_module_load_count("imm32.dll"), 2);
    EXPECT_EQ(GetModuleHandleA("IMM32.DLL"), module);
    FARPROC entry = GetProcAddress(module, "ImmAssociateContext");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(), 77);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, "immassociatecontext"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));

    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(layer_module_load_count("IMM32.DLL"), 0);
    EXPECT_EQ(GetModuleHandleA("IMM32.DLL"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "ImmAssociateContext"), nullptr);
    EXPECT_FALSE(FreeLibrary(module));
    EXPECT_EQ(LoadLibraryA("MPR.DLL"), nullptr);
}

}  // namespace
