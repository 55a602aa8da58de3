// MessageBoxA without a display: injected answers, the record of what was
// asked, and the default button when nobody answers.
#include <gtest/gtest.h>
#include <layer_test.h>
#include <windows.h>

#include <string>

namespace {

class MessageBoxSeam : public testing::Test {
protected:
    void SetUp() override {
        layer_use_null_driver();
        layer_reset();
    }
};

TEST_F(MessageBoxSeam, QueuedAnswersComeBackInOrderAndEachCallIsRecorded) {
    layer_push_message_box_answer(IDNO);
    layer_push_message_box_answer(IDOK);
    const char* prompt =
        "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?";
    EXPECT_EQ(MessageBoxA(nullptr, prompt, "Brix GL", MB_YESNO | MB_ICONEXCLAMATION), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Program Will Now Close.", "ERROR", MB_OK | MB_ICONERROR), IDOK);
    // Nothing queued any more: the default button answers.
    EXPECT_EQ(MessageBoxA(nullptr, "Can't find pixelformat.", nullptr, MB_OK | MB_ICONERROR), IDOK);

    struct Expected {
        const char* text;
        const char* caption;
        UINT type;
    } expected[] = {
        {prompt, "Brix GL", MB_YESNO | MB_ICONEXCLAMATION},
        {"Program Will Now Close.", "ERROR", MB_OK | MB_ICONERROR},
        {"Can't find pixelformat.", "Error", MB_OK | MB_ICONERROR},  // no caption: Windows says "Error"
    };
    ASSERT_EQ(layer_message_box_count(), 3);
    for (int i = 0; i < 3; ++i) {
        LayerMessageBoxShown shown;
        ASSERT_TRUE(layer_message_box_shown(i, &shown));
        EXPECT_STREQ(shown.text, expected[i].text) << i;
        EXPECT_STREQ(shown.caption, expected[i].caption) << i;
        EXPECT_EQ(shown.type, expected[i].type) << i;
        EXPECT_EQ(shown.owner, nullptr) << i;
    }
    LayerMessageBoxShown none;
    EXPECT_FALSE(layer_message_box_shown(3, &none));

    layer_reset();
    EXPECT_EQ(layer_message_box_count(), 0);
    EXPECT_EQ(MessageBoxA(nullptr, "after reset", "t", MB_YESNO), IDYES);  // the queue went with the reset
}

TEST_F(MessageBoxSeam, WithNoAnswerTheDefaultButtonIsTaken) {
    struct Case {
        UINT type;
        int expected;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
        {MB_YESNOCANCEL | MB_DEFBUTTON3 | MB_ICONQUESTION, IDCANCEL},
        {MB_YESNO | MB_ICONEXCLAMATION, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_YESNO | MB_DEFBUTTON3, IDYES},  // past the last button: the first
        {MB_RETRYCANCEL | MB_DEFBUTTON4, IDRETRY},
        {MB_CANCELTRYCONTINUE | MB_DEFBUTTON2, IDTRYAGAIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", c.type), c.expected) << std::hex << c.type;
}

TEST_F(MessageBoxSeam, InvalidCallsFailWithoutShowingAnything) {
    layer_push_message_box_answer(IDOK);
    SetLastError(0);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", 7), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MSGBOX_STYLE));
    EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(0x7777), "text", "caption", MB_OK), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(layer_message_box_count(), 0);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OKCANCEL), IDOK);  // the answer is still queued
}

}  // namespace
