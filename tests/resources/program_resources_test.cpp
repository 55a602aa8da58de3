// The program's own resource script as the program reads it: every image
// by the name the program asks for, byte for byte the generated file, and
// the icons. Builds for Windows too, where it reads the compiled .scr
// resources under Wine.
#include <ctype.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The build's list of images.
const struct {
    const char* name;
    int width, height;
} images[] = {
#define ORRELUNE_IMAGE(name, width, height) {#name, width, height},
#define ORRELUNE_PLANET ORRELUNE_IMAGE
#include "image_list.inc"
};

// The program asks in lower case; the lookup ignores case.
TEST(ProgramResources, EachImageIsFoundByTheProgramsNameWithTheGeneratedBytes) {
    HMODULE self = GetModuleHandleA(nullptr);
    for (const auto& image : images) {
        SCOPED_TRACE(image.name);
        std::string asked = image.name;
        for (char& c : asked) c = static_cast<char>(tolower(c));
        HRSRC found = FindResourceA(self, asked.c_str(), RT_RCDATA);
        ASSERT_NE(found, nullptr);
        DWORD size = SizeofResource(self, found);
        ASSERT_EQ(size, static_cast<DWORD>(image.width * image.height * 3));
        const char* bytes = static_cast<const char*>(LockResource(LoadResource(self, found)));
        ASSERT_NE(bytes, nullptr);
        std::string expected = read_file(std::string(IMAGE_DIR "/") + image.name + ".raw");
        ASSERT_EQ(expected.size(), size) << "the generated file";
        EXPECT_TRUE(std::string(bytes, size) == expected);
    }
}

TEST(ProgramResources, TheClassIconIsMissingAndTheProgramIconIsThere) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    EXPECT_EQ(LoadIconA(self, MAKEINTRESOURCEA(100)), nullptr);
    EXPECT_NE(LoadIconA(self, MAKEINTRESOURCEA(105)), nullptr);
    EXPECT_NE(FindResourceA(self, MAKEINTRESOURCEA(105), RT_GROUP_ICON), nullptr);
}

// Explorer's large views want a 256-pixel image (written as width 0).
TEST(ProgramResources, TheProgramIconHasEachSizeUpTo256) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC group = FindResourceA(self, MAKEINTRESOURCEA(105), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(self, group)));
    ASSERT_NE(bytes, nullptr);
    const unsigned count = bytes[4] | bytes[5] << 8;
    ASSERT_EQ(SizeofResource(self, group), 6 + 14 * count);
    std::string sizes;
    for (unsigned i = 0; i < count; ++i) {
        const BYTE* entry = bytes + 6 + 14 * i;
        sizes += std::to_string(entry[0] ? entry[0] : 256) + "x" + std::to_string(entry[1] ? entry[1] : 256) + " ";
    }
    EXPECT_EQ(sizes, "16x16 32x32 48x48 256x256 ");
}

}  // namespace
