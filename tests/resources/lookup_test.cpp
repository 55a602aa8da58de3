// FindResourceA and its companions over a small resource script of the
// tests' own (sample.rc): how names and types are matched, what is found,
// and the errors for what is not. Builds for Windows too, where Wine checks
// the expectations.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::string bytes_of(HMODULE module, HRSRC found) {
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    DWORD size = SizeofResource(module, found);
    return data ? std::string(data, size) : std::string();
}

TEST(ResourceLookup, FindsByNameOrdinalOrNumberString) {
    // STRINGTABLE block 1 holds strings 0 to 15; only string 1 is set.
    const std::string string_block = std::string("\0\0\3\0o\0n\0e\0", 10) + std::string(28, '\0');
    const struct {
        LPCSTR name;
        LPCSTR type;
        std::string bytes;
    } cases[] = {
        {"MixedCase", RT_RCDATA, "abc"},
        {"mixedcase", RT_RCDATA, "abc"},
        {"MIXEDCASE", "#10", "abc"},
        {MAKEINTRESOURCEA(7), RT_RCDATA, "seven!!"},
        {"#7", RT_RCDATA, "seven!!"},
        {"wORDS", RT_RCDATA, std::string("\1\0\2\0\3\0", 6)},
        {"Empty", RT_RCDATA, ""},
        {"blob", "custom", "x"},
        {"#12", "CuStOm", "12345"},
        {MAKEINTRESOURCEA(12), "CUSTOM", "12345"},
        {MAKEINTRESOURCEA(1), RT_STRING, string_block},
        // The language-neutral one wins over the other language.
        {"Twin", RT_RCDATA, "neutral"},
    };
    for (HMODULE module : {static_cast<HMODULE>(nullptr), GetModuleHandleA(nullptr)}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(IS_INTRESOURCE(c.name) ? "#" + std::to_string(LOWORD(c.name)) : std::string(c.name));
            HRSRC found = FindResourceA(module, c.name, c.type);
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(bytes_of(module, found), c.bytes);
        }
    }
}

TEST(ResourceLookup, MissingNameOrTypeSetsItsError) {
    const struct {
        LPCSTR name;
        LPCSTR type;
        DWORD error;
    } cases[] = {
        {"Missing", RT_RCDATA, ERROR_RESOURCE_NAME_NOT_FOUND},
        {MAKEINTRESOURCEA(8), RT_RCDATA, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"#8", RT_RCDATA, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"MixedCase", "Custom", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"MixedCase Extra", RT_RCDATA, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"MixedCase", "NoSuchType", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {MAKEINTRESOURCEA(7), RT_DIALOG, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {MAKEINTRESOURCEA(100), RT_GROUP_ICON, ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(IS_INTRESOURCE(c.name) ? "#" + std::to_string(LOWORD(c.name)) : std::string(c.name));
        SetLastError(0);
        EXPECT_EQ(FindResourceA(nullptr, c.name, c.type), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST(ResourceLookup, BytesStayPutAcrossLoads) {
    // The program keeps the pointer for the whole run and never frees it.
    HRSRC found = FindResourceA(nullptr, "MixedCase", RT_RCDATA);
    ASSERT_NE(found, nullptr);
    const void* first = LockResource(LoadResource(nullptr, found));
    FreeResource(LoadResource(nullptr, found));
    EXPECT_EQ(LockResource(LoadResource(nullptr, FindResourceA(nullptr, "mixedcase", RT_RCDATA))), first);
    EXPECT_EQ(std::string(static_cast<const char*>(first), 3), "abc");
}

}  // namespace
