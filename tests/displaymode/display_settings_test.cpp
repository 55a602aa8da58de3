// ChangeDisplaySettingsA, EnumDisplaySettingsA and AdjustWindowRectEx on the
// null driver: a screen of 1024x768 that offers 800x600 and 640x480 besides.
#include <gtest/gtest.h>
#include <layer_test.h>
#include <windows.h>

namespace {

const DWORD all_fields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;

DEVMODEA mode_request(DWORD width, DWORD height, DWORD bits, DWORD fields = all_fields) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmBitsPerPel = bits;
    mode.dmFields = fields;
    return mode;
}

struct Screen {
    int width, height;
    bool operator==(const Screen& other) const { return width == other.width && height == other.height; }
};

std::ostream& operator<<(std::ostream& out, const Screen& screen) {
    return out << screen.width << "x" << screen.height;
}

Screen screen_now() {
    return Screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

class DisplaySettings : public testing::Test {
protected:
    void SetUp() override {
        layer_reset();
        layer_set_screen_size(1024, 768);
        const LayerDisplaySize offered[] = {{800, 600}, {640, 480}};
        layer_set_display_modes(offered, 2);
    }
};

struct RequestCase {
    const char* what;
    DEVMODEA mode;
    DWORD flags;
    LONG result;
    Screen after;
};

TEST_F(DisplaySettings, GrantsOfferedSizesAtAnyUsualDepthAndRefusesTheRest) {
    const RequestCase cases[] = {
        {"offered size, 32 bits", mode_request(800, 600, 32), CDS_FULLSCREEN, DISP_CHANGE_SUCCESSFUL, {800, 600}},
        {"offered size, 16 bits", mode_request(640, 480, 16), CDS_FULLSCREEN, DISP_CHANGE_SUCCESSFUL, {640, 480}},
        {"offered size, 0 bits", mode_request(800, 600, 0), CDS_FULLSCREEN, DISP_CHANGE_SUCCESSFUL, {800, 600}},
        {"the current size", mode_request(1024, 768, 32), CDS_FULLSCREEN, DISP_CHANGE_SUCCESSFUL, {1024, 768}},
        {"flags 0", mode_request(800, 600, 32), 0, DISP_CHANGE_SUCCESSFUL, {800, 600}},
        {"size not offered", mode_request(1280, 1024, 32), CDS_FULLSCREEN, DISP_CHANGE_BADMODE, {1024, 768}},
        {"depth no card has", mode_request(800, 600, 7), CDS_FULLSCREEN, DISP_CHANGE_BADMODE, {1024, 768}},
        {"colour id taken for bits", mode_request(800, 600, 1001), CDS_FULLSCREEN, DISP_CHANGE_BADMODE, {1024, 768}},
        {"test only, offered", mode_request(800, 600, 32), CDS_TEST, DISP_CHANGE_SUCCESSFUL, {1024, 768}},
        {"test only, not offered", mode_request(1280, 1024, 32), CDS_TEST, DISP_CHANGE_BADMODE, {1024, 768}},
        {"size fields not named",
         mode_request(1280, 1024, 32, DM_BITSPERPEL),
         CDS_FULLSCREEN,
         DISP_CHANGE_SUCCESSFUL,
         {1024, 768}},
        {"depth field not named",
         mode_request(800, 600, 7, DM_PELSWIDTH | DM_PELSHEIGHT),
         CDS_FULLSCREEN,
         DISP_CHANGE_SUCCESSFUL,
         {800, 600}},
        {"width alone", mode_request(640, 1, 0, DM_PELSWIDTH), CDS_FULLSCREEN, DISP_CHANGE_BADMODE, {1024, 768}},
    };
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        DEVMODEA mode = c.mode;
        EXPECT_EQ(ChangeDisplaySettingsA(&mode, c.flags), c.result);
        EXPECT_EQ(screen_now(), c.after);
    }
}

TEST_F(DisplaySettings, NullRecordRestoresTheFirstModeAndIsHarmlessWhenNothingChanged) {
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(screen_now(), (Screen{1024, 768}));

    DEVMODEA first = mode_request(800, 600, 32), second = mode_request(640, 480, 16);
    ASSERT_EQ(ChangeDisplaySettingsA(&first, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    ASSERT_EQ(ChangeDisplaySettingsA(&second, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    DEVMODEA registry = {}, current = {};
    registry.dmSize = current.dmSize = sizeof(DEVMODEA);
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_REGISTRY_SETTINGS, &registry));
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current));
    EXPECT_EQ(registry.dmPelsWidth, 1024u);
    EXPECT_EQ(registry.dmPelsHeight, 768u);
    EXPECT_EQ(current.dmPelsWidth, 640u);
    EXPECT_EQ(current.dmPelsHeight, 480u);

    // The release of a run restores for the host and again for its child.
    for (int release = 0; release < 2; ++release) {
        EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
        EXPECT_EQ(screen_now(), (Screen{1024, 768}));
    }
    LayerDisplayRequest last = layer_last_display_request();
    EXPECT_EQ(last.calls, 5);
    EXPECT_FALSE(last.has_mode);
}

TEST_F(DisplaySettings, EnumeratesTheOfferedModes) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, 1, &mode));
    EXPECT_EQ(mode.dmPelsWidth, 640u);
    EXPECT_EQ(mode.dmPelsHeight, 480u);
    EXPECT_EQ(mode.dmSize, sizeof mode);
    EXPECT_EQ(mode.dmFields & (DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL),
              static_cast<DWORD>(DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL));
    EXPECT_FALSE(EnumDisplaySettingsA(nullptr, 2, &mode));
}

struct FrameCase {
    const char* what;
    DWORD style;
    BOOL menu;
    DWORD ex_style;
    RECT expected;
};

TEST(AdjustWindowRectEx, AddsTheFrameOfTheStyle) {
    const FrameCase cases[] = {
        {"popup, app window", WS_POPUP, FALSE, WS_EX_APPWINDOW, {0, 0, 640, 480}},
        {"display child", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, FALSE, 0, {0, 0, 640, 480}},
        {"thin border", WS_POPUP | WS_BORDER, FALSE, 0, {-1, -1, 641, 481}},
        {"client edge", WS_CHILD, FALSE, WS_EX_CLIENTEDGE, {-2, -2, 642, 482}},
        {"menu bar", WS_POPUP, TRUE, 0, {0, -20, 640, 480}},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.what);
        RECT rect = {0, 0, 640, 480};
        EXPECT_TRUE(AdjustWindowRectEx(&rect, c.style, c.menu, c.ex_style));
        EXPECT_EQ(rect.left, c.expected.left);
        EXPECT_EQ(rect.top, c.expected.top);
        EXPECT_EQ(rect.right, c.expected.right);
        EXPECT_EQ(rect.bottom, c.expected.bottom);
    }
}

}  // namespace
