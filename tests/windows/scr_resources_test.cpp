// The .scr as Windows reads it: the name that the Screen Saver list shows,
// the version and names of the file's Properties > Details, and the manifest
// as the loader reads it when the program starts.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string numbers(DWORD high, DWORD low) {
    char text[32];
    snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(high), LOWORD(high), HIWORD(low), LOWORD(low));
    return text;
}

TEST(ScrResources, TheScreenSaverListShowsTheName) {
    HMODULE scr = LoadLibraryExA(SCR_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(scr, nullptr) << "error " << GetLastError();
    char name[64] = "";
    EXPECT_EQ(LoadStringA(scr, 1, name, sizeof name), 8);
    EXPECT_STREQ(name, "Orrelune");
    FreeLibrary(scr);
}

TEST(ScrResources, TheFileCarriesTheProjectsVersionAndNames) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(SCR_PATH, &ignored);
    ASSERT_GT(size, 0u) << "error " << GetLastError();
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(SCR_PATH, 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const std::string version = ORRELUNE_VERSION ".0";
    EXPECT_EQ(numbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS), version);
    EXPECT_EQ(numbers(fixed->dwProductVersionMS, fixed->dwProductVersionLS), version);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    // The texts, in the language and code page that the file lists, as
    // Explorer looks them up.
    struct Translation {
        WORD language, code_page;
    }* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, sizeof *translation);
    const struct {
        const char* name;
        const char* value;
    } texts[] = {
        {"ProductName", "Orrelune"},          {"FileDescription", "Orrelune screen saver"},
        {"ProductVersion", ORRELUNE_VERSION}, {"FileVersion", ORRELUNE_VERSION},
        {"OriginalFilename", "orrelune.scr"}, {"LegalCopyright", "Copyright (c) 2026 the Orrelune authors"},
    };
    for (const auto& text : texts) {
        char path[128];
        snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->code_page,
                 text.name);
        const char* value = nullptr;
        ASSERT_TRUE(VerQueryValueA(info.data(), path, reinterpret_cast<void**>(const_cast<char**>(&value)), &length))
            << path;
        EXPECT_STREQ(value, text.value) << path;
    }
}

// The manifest as the loader reads it when the program starts: a manifest
// that does not parse stops the program from starting at all, and a setting
// in the wrong place or namespace is silently ignored.
class ScrManifest : public ::testing::Test {
protected:
    void SetUp() override {
        ACTCTXA request = {};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = SCR_PATH;
        request.lpResourceName = MAKEINTRESOURCEA(1);  // the process's manifest
        context_ = CreateActCtxA(&request);
        ASSERT_NE(context_, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    }
    void TearDown() override {
        if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
    }

    std::wstring setting(const wchar_t* name_space, const wchar_t* name) {
        wchar_t value[128] = L"";
        SIZE_T written = 0;
        if (!QueryActCtxSettingsW(0, context_, name_space, name, value, sizeof value / sizeof value[0], &written))
            return L"(none)";
        return value;
    }

    HANDLE context_ = INVALID_HANDLE_VALUE;
};

TEST_F(ScrManifest, AsksForPerMonitorDpiAwarenessWithTheOlderFallback) {
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
              L"PerMonitorV2, PerMonitor");
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"), L"true/pm");
}

// Windows 8 and later emulate 16-bit display modes (the dialog's default
// colour depth) only for programs that do not name them.
TEST_F(ScrManifest, NamesWindows7AndNoLaterVersion) {
    const GUID windows[] = {
        {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}},  // 7
    };
    // The record as Windows 10 and Wine give it; mingw-w64's header still
    // has the older one, without MaxVersionTested.
    struct {
        DWORD ElementCount;
        struct {
            GUID Id;
            ACTCTX_COMPATIBILITY_ELEMENT_TYPE Type;
            ULONGLONG MaxVersionTested;
        } Elements[16];
    } info = {};
    SIZE_T written = 0;
    ASSERT_TRUE(
        QueryActCtxW(0, context_, nullptr, CompatibilityInformationInActivationContext, &info, sizeof info, &written))
        << "error " << GetLastError();
    ASSERT_EQ(info.ElementCount, sizeof windows / sizeof windows[0]);
    for (DWORD i = 0; i < info.ElementCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(info.Elements[i].Type, ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS);
        EXPECT_TRUE(IsEqualGUID(info.Elements[i].Id, windows[i]));
    }
}

// The configuration dialog's nine radio buttons are one group that shows two
// choices; with the program's manifest in force, checking one radio button
// leaves the others of its group alone (the common controls of version 6
// would uncheck them).
TEST_F(ScrManifest, RadioButtonsOfOneGroupKeepTwoChoices) {
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(context_, &cookie));
    HWND parent = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    HWND first = CreateWindowExA(0, "Button", "Desktop Res", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 0, 90, 20,
                                 parent, reinterpret_cast<HMENU>(2000), nullptr, nullptr);
    HWND second = CreateWindowExA(0, "Button", "16 Bit Color", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 40, 90,
                                  20, parent, reinterpret_cast<HMENU>(1000), nullptr, nullptr);
    DeactivateActCtx(0, cookie);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    SendMessageA(first, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(second, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageA(first, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(second, BM_GETCHECK, 0, 0), BST_CHECKED);
    DestroyWindow(parent);
}

}  // namespace
