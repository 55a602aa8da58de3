// Reading dialog templates: hand-made templates that show the layout rules
// (strings or ordinals, DWORD alignment of items, creation data), damaged
// ones, and the program's template 2003 as the resource compiler wrote it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "user/dlg_template.h"

namespace {

struct Builder {
    std::vector<unsigned char> bytes;
    void word(unsigned value) {
        bytes.push_back(value & 0xFF);
        bytes.push_back(value >> 8 & 0xFF);
    }
    void dword(DWORD value) {
        word(value & 0xFFFF);
        word(value >> 16);
    }
    void text(const char16_t* s) {
        for (; *s; ++s) word(*s);
        word(0);
    }
    void ordinal(unsigned value) {
        word(0xFFFF);
        word(value);
    }
    void align() {
        while (bytes.size() % 4) bytes.push_back(0xAA);
    }
    void header(DWORD style, int count) {
        dword(style);
        dword(0);
        word(count);
        for (int v : {1, 2, 30, 40}) word(v);
    }
    void item(DWORD style, unsigned id) {
        align();
        dword(style);
        dword(0);
        for (int v : {3, 4, 50, 14}) word(v);
        word(id);
    }
};

}  // namespace

TEST(DialogTemplate, ReadsStringsOrdinalsAlignmentAndCreationData) {
    Builder b;
    b.header(WS_POPUP | DS_SETFONT, 3);
    b.word(0);             // no menu
    b.word(0);             // standard class
    b.text(u"T\u00e9st");  // caption, odd length: the font follows unaligned
    b.word(8);
    b.text(u"MS Sans Serif");
    b.item(BS_DEFPUSHBUTTON, IDOK);
    b.ordinal(0x80);
    b.text(u"OK");
    b.word(0);
    b.item(SS_CENTER, 0xFFFF);
    b.text(u"Static");
    b.ordinal(7);  // an image resource id, not text
    b.word(3);     // three bytes of creation data
    b.bytes.insert(b.bytes.end(), {1, 2, 3});
    b.item(BS_AUTORADIOBUTTON, 2000);
    b.ordinal(0x80);
    b.text(u"a");
    b.word(0);

    DialogTemplate t;
    ASSERT_TRUE(parse_dialog_template(b.bytes.data(), b.bytes.size(), &t));
    EXPECT_EQ(t.caption, "T\xc3\xa9st");
    EXPECT_EQ(t.point_size, 8);
    EXPECT_EQ(t.font, "MS Sans Serif");
    EXPECT_EQ(t.cx, 30);
    EXPECT_EQ(t.cy, 40);
    ASSERT_EQ(t.items.size(), 3u);
    const struct {
        const char* class_name;
        const char* title;
        WORD id;
        DWORD style;
    } expected[] = {{"Button", "OK", IDOK, BS_DEFPUSHBUTTON},
                    {"Static", "", 0xFFFF, SS_CENTER},
                    {"Button", "a", 2000, BS_AUTORADIOBUTTON}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(t.items[i].class_name, expected[i].class_name);
        EXPECT_EQ(t.items[i].title, expected[i].title);
        EXPECT_EQ(t.items[i].id, expected[i].id);
        EXPECT_EQ(t.items[i].style, expected[i].style);
        EXPECT_EQ(t.items[i].cx, 50);
    }
}

TEST(DialogTemplate, RefusesCutAndExtendedTemplates) {
    Builder whole;
    whole.header(0, 1);
    whole.word(0);
    whole.word(0);
    whole.text(u"Caption");
    whole.item(0, 5);
    whole.ordinal(0x80);
    whole.text(u"Button text");
    whole.word(0);
    DialogTemplate t;
    ASSERT_TRUE(parse_dialog_template(whole.bytes.data(), whole.bytes.size(), &t));
    for (size_t cut : {size_t(0), size_t(10), whole.bytes.size() / 2, whole.bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(parse_dialog_template(whole.bytes.data(), cut, &t));
    }
    Builder extended;
    extended.word(1);
    extended.word(0xFFFF);
    extended.bytes.resize(64);
    EXPECT_FALSE(parse_dialog_template(extended.bytes.data(), extended.bytes.size(), &t));
}

TEST(DialogTemplate, TheProgramsConfigurationTemplate) {
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(2003), RT_DIALOG);
    ASSERT_NE(resource, nullptr);
    DialogTemplate t;
    ASSERT_TRUE(
        parse_dialog_template(LockResource(LoadResource(nullptr, resource)), SizeofResource(nullptr, resource), &t));
    EXPECT_EQ(t.style,
              static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(t.ex_style, 0u);
    EXPECT_EQ(t.x, 28);
    EXPECT_EQ(t.y, 25);
    EXPECT_EQ(t.cx, 198);
    EXPECT_EQ(t.cy, 226);
    EXPECT_FALSE(t.has_menu);
    EXPECT_EQ(t.class_name, "");
    EXPECT_EQ(t.caption, "Vintorra Configure");
    EXPECT_EQ(t.font, "MS Sans Serif");
    EXPECT_EQ(t.point_size, 8);
    ASSERT_EQ(t.items.size(), 14u);
    // Only the label starts a group: the nine radio buttons make one.
    int groups = 0;
    for (const DialogItemTemplate& item : t.items) {
        EXPECT_EQ(item.style & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
        if (item.style & WS_GROUP) ++groups;
    }
    EXPECT_EQ(groups, 1);
    EXPECT_TRUE(t.items[2].style & WS_GROUP);
    EXPECT_STRCASEEQ(t.items[2].class_name.c_str(), "Static");
    EXPECT_EQ(t.items[2].title.rfind("Orrelune", 0), 0u);
}
