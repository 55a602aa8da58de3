// The .res reader on the file the resource compiler made from sample.rc:
// what it reads, and that a cut or damaged image never takes it outside the
// bytes it was given (built with the address sanitizer to catch that).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "kernel/res_file.h"

namespace {

std::vector<BYTE> read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ResFile, ReadsTypesNamesLanguagesAndBytesAsStored) {
    std::vector<BYTE> image = read_file(SAMPLE_RES);
    ASSERT_FALSE(image.empty());
    std::vector<ResRecord> records;
    ASSERT_TRUE(res_parse(image.data(), image.size(), &records));

    auto find = [&](const ResId& type, const ResId& name, WORD language) -> const ResRecord* {
        for (const ResRecord& r : records) {
            if (r.type.is_ordinal == type.is_ordinal && r.type.ordinal == type.ordinal && r.type.name == type.name &&
                r.name.is_ordinal == name.is_ordinal && r.name.ordinal == name.ordinal && r.name.name == name.name &&
                r.language == language)
                return &r;
        }
        return nullptr;
    };
    const ResId rcdata{true, 10, {}}, custom{false, 0, u"CUSTOM"};
    const struct {
        ResId type, name;
        WORD language;
        const char* bytes;
        DWORD size;
    } cases[] = {
        {rcdata, {false, 0, u"MIXEDCASE"}, 0x409, "abc", 3}, {rcdata, {true, 7, {}}, 0x409, "seven!!", 7},
        {rcdata, {false, 0, u"EMPTY"}, 0x409, "", 0},        {custom, {false, 0, u"BLOB"}, 0x409, "x", 1},
        {custom, {true, 12, {}}, 0x409, "12345", 5},         {rcdata, {false, 0, u"TWIN"}, 0x409, "english", 7},
        {rcdata, {false, 0, u"TWIN"}, 0, "neutral", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        const ResRecord* r = find(c.type, c.name, c.language);
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(r->size, c.size);
        EXPECT_EQ(std::memcmp(r->data, c.bytes, c.size), 0);
    }
    for (const ResRecord& r : records) EXPECT_FALSE(r.type.is_ordinal && r.type.ordinal == 0);
}

// Cutting the image anywhere: the reader never reads past the cut, and it
// reports a whole image only when the cut falls between records (or drops
// no more than the last record's padding).
TEST(ResFile, CutImagesStopAtTheLastWholeRecord) {
    std::vector<BYTE> whole = read_file(SAMPLE_RES);
    std::vector<ResRecord> all;
    ASSERT_TRUE(res_parse(whole.data(), whole.size(), &all));
    auto align4 = [](size_t n) { return (n + 3) & ~size_t{3}; };
    std::vector<size_t> ends = {0, 32};  // nothing; the opening record
    for (const ResRecord& r : all) ends.push_back(align4(static_cast<size_t>(r.data - whole.data()) + r.size));
    ASSERT_EQ(ends.back(), whole.size());

    for (size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        std::vector<BYTE> part(whole.begin(), whole.begin() + cut);
        std::vector<ResRecord> records;
        bool complete = res_parse(part.data(), part.size(), &records);
        for (const ResRecord& r : records) {
            EXPECT_GE(r.data, part.data());
            EXPECT_LE(r.data + r.size, part.data() + part.size());
        }
        auto boundary = std::find(ends.begin(), ends.end(), align4(cut));
        if (boundary == ends.end()) {
            EXPECT_FALSE(complete);
        } else if (align4(cut) == cut) {
            EXPECT_TRUE(complete);
            EXPECT_EQ(records.size(), static_cast<size_t>(std::max<ptrdiff_t>(boundary - ends.begin() - 1, 0)));
        }
    }
}

TEST(ResFile, ImpossibleSizesAreRefused) {
    std::vector<BYTE> whole = read_file(SAMPLE_RES);
    const size_t second = 32;  // the record after the opening one
    const struct {
        size_t offset;
        DWORD value;
    } damage[] = {
        {second, 0xFFFFFFF0u},      // data size beyond the image
        {second + 4, 0xFFFFFFF0u},  // header size beyond the image
        {second + 4, 8},            // header too short for its own fields
        {second + 4, 20},           // names run past the header
    };
    for (const auto& d : damage) {
        SCOPED_TRACE(d.offset);
        std::vector<BYTE> image = whole;
        std::memcpy(&image[d.offset], &d.value, 4);
        std::vector<ResRecord> records;
        EXPECT_FALSE(res_parse(image.data(), image.size(), &records));
        EXPECT_TRUE(records.empty());
    }
}

}  // namespace
