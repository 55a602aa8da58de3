// The input rules of the layer's core, fed raw input as a driver reports it
// (here on the null driver): the key and mouse messages a Win32 program
// gets, whichever driver is beneath.
#include <gtest/gtest.h>
#include <layer_test.h>
#include <windows.h>

#include <vector>

#include "input_log.h"
#include "layer_driver.h"

namespace {

const char* const plain_class = "InputPlain";
const char* const double_click_class = "InputDoubleClicks";
const UINT wm_rbuttondblclk = 0x0206, wm_mbuttondblclk = 0x0209;

class InputRules : public testing::Test {
protected:
    void SetUp() override { fresh(); }
    void TearDown() override {
        layer_reset();
        layer_use_null_driver();  // also after a test on a table of its own
    }

    // A fresh process with one visible window that has the focus.
    void fresh(const char* class_name = plain_class) {
        layer_reset();
        input_log.clear();
        for (const char* name : {plain_class, double_click_class}) {
            WNDCLASSA wc = {};
            wc.style = name == double_click_class ? CS_DBLCLKS : 0;
            wc.lpfnWndProc = input_logging_proc;
            wc.lpszClassName = name;
            RegisterClassA(&wc);
        }
        window = make(class_name);
        SetFocus(window);
    }

    HWND make(const char* class_name, DWORD style = WS_POPUP | WS_VISIBLE, HWND parent = nullptr) {
        return CreateWindowExA(0, class_name, "input", style, 0, 0, 200, 100, parent, nullptr, nullptr, nullptr);
    }

    void pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }

    void key(UINT vk, UINT scan, bool down, unsigned modifiers = 0, bool extended = false) {
        LayerRawKey raw = {scan | (extended ? 0x80u : 0u), vk, scan, extended, down, modifiers};
        layer_core_raw_key(&raw);
    }

    void button(HWND target, unsigned which, bool down, DWORD time, int x, int y, unsigned held = 0,
                unsigned modifiers = 0) {
        LayerRawButton raw = {target, x, y, x + 100, y + 200, which, down, time, held, modifiers};
        layer_core_raw_button(&raw);
    }

    void motion(HWND target, int x, int y, unsigned held = 0) {
        LayerRawMotion raw = {target, x, y, x + 100, y + 200, held, 0};
        layer_core_raw_motion(&raw);
    }

    HWND window = nullptr;
};

TEST_F(InputRules, KeysBecomeWindowsMessagesWithWindowsLParams) {
    const UINT vk_f10 = VK_F1 + 9;
    struct Step {
        UINT vk, scan;
        bool down;
        unsigned modifiers;
        bool extended;
        UINT message;
        DWORD lparam;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"a letter",
         {{'A', 0x1E, true, 0, false, WM_KEYDOWN, 0x001E0001}, {'A', 0x1E, false, 0, false, WM_KEYUP, 0xC01E0001}}},
        {"a held key repeats as downs with the previous state set",
         {{'A', 0x1E, true, 0, false, WM_KEYDOWN, 0x001E0001},
          {'A', 0x1E, true, 0, false, WM_KEYDOWN, 0x401E0001},
          {'A', 0x1E, false, 0, false, WM_KEYUP, 0xC01E0001}}},
        {"Alt alone: system keys both ways",
         {{VK_MENU, 0x38, true, 0, false, WM_SYSKEYDOWN, 0x20380001},
          {VK_MENU, 0x38, false, LAYER_MOD_ALT, false, WM_SYSKEYUP, 0xC0380001}}},
        {"Alt+X: the X is a system key, the Alt released after it is not",
         {{VK_MENU, 0x38, true, 0, false, WM_SYSKEYDOWN, 0x20380001},
          {'X', 0x2D, true, LAYER_MOD_ALT, false, WM_SYSKEYDOWN, 0x202D0001},
          {'X', 0x2D, false, LAYER_MOD_ALT, false, WM_SYSKEYUP, 0xE02D0001},
          {VK_MENU, 0x38, false, LAYER_MOD_ALT, false, WM_KEYUP, 0xC0380001}}},
        {"Ctrl+Alt (AltGr) makes no system keys",
         {{VK_CONTROL, 0x1D, true, 0, false, WM_KEYDOWN, 0x001D0001},
          {VK_MENU, 0x38, true, LAYER_MOD_CONTROL, false, WM_KEYDOWN, 0x20380001},
          {'Q', 0x10, true, LAYER_MOD_CONTROL | LAYER_MOD_ALT, false, WM_KEYDOWN, 0x20100001}}},
        {"F10 alone is a system key",
         {{vk_f10, 0x44, true, 0, false, WM_SYSKEYDOWN, 0x00440001},
          {vk_f10, 0x44, false, 0, false, WM_SYSKEYUP, 0xC0440001}}},
        {"an extended key", {{VK_RIGHT, 0x4D, true, 0, true, WM_KEYDOWN, 0x014D0001}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        for (const Step& step : c.steps) key(step.vk, step.scan, step.down, step.modifiers, step.extended);
        pump();
        ASSERT_EQ(input_log.size(), c.steps.size());
        for (size_t i = 0; i < input_log.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(input_log[i].window, window);
            EXPECT_EQ(input_log[i].message, c.steps[i].message);
            EXPECT_EQ(input_log[i].wparam, c.steps[i].vk);
            EXPECT_EQ(static_cast<DWORD>(input_log[i].lparam), c.steps[i].lparam);
        }
    }
}

TEST_F(InputRules, KeysGoToTheFocusWindowAndWithoutOneAreDropped) {
    HWND child = make(plain_class, WS_CHILD | WS_VISIBLE, window);
    SetFocus(child);
    key('A', 0x1E, true);
    pump();
    ASSERT_EQ(input_log.size(), 1u);
    EXPECT_EQ(input_log[0].window, child);

    // No focus: the active window takes it; with none active either, nobody.
    SetFocus(nullptr);
    key('B', 0x30, true);
    pump();
    ASSERT_EQ(input_log.size(), 2u);
    EXPECT_EQ(input_log[1].window, window);
    layer_set_app_active(false);
    key('C', 0x2E, true);
    pump();
    EXPECT_EQ(input_log.size(), 2u);
}

TEST_F(InputRules, DoubleClicksNeedTheClassStyleTheTimeAndTheDistance) {
    struct Press {
        unsigned button;
        DWORD time;
        int x, y;
        UINT message;
    };
    struct Case {
        const char* name;
        const char* class_name;
        std::vector<Press> presses;
    };
    const Case cases[] = {
        {"two quick presses at one place",
         double_click_class,
         {{1, 1000, 10, 10, WM_LBUTTONDOWN}, {1, 1500, 10, 10, WM_LBUTTONDBLCLK}}},
        {"too slow", double_click_class, {{1, 1000, 10, 10, WM_LBUTTONDOWN}, {1, 1501, 10, 10, WM_LBUTTONDOWN}}},
        {"two pixels away",
         double_click_class,
         {{1, 1000, 10, 10, WM_LBUTTONDOWN}, {1, 1100, 12, 8, WM_LBUTTONDBLCLK}}},
        {"three pixels away",
         double_click_class,
         {{1, 1000, 10, 10, WM_LBUTTONDOWN}, {1, 1100, 13, 10, WM_LBUTTONDOWN}}},
        {"another button", double_click_class, {{1, 1000, 10, 10, WM_LBUTTONDOWN}, {3, 1100, 10, 10, WM_RBUTTONDOWN}}},
        {"right and middle",
         double_click_class,
         {{3, 1000, 5, 5, WM_RBUTTONDOWN},
          {3, 1100, 5, 5, wm_rbuttondblclk},
          {2, 1200, 5, 5, WM_MBUTTONDOWN},
          {2, 1300, 5, 5, wm_mbuttondblclk}}},
        {"the third press starts over",
         double_click_class,
         {{1, 1000, 10, 10, WM_LBUTTONDOWN}, {1, 1100, 10, 10, WM_LBUTTONDBLCLK}, {1, 1200, 10, 10, WM_LBUTTONDOWN}}},
        {"the display's clock wraps",
         double_click_class,
         {{1, 0xFFFFFF00u, 10, 10, WM_LBUTTONDOWN}, {1, 0x10, 10, 10, WM_LBUTTONDBLCLK}}},
        {"a class without CS_DBLCLKS",
         plain_class,
         {{1, 1000, 10, 10, WM_LBUTTONDOWN}, {1, 1100, 10, 10, WM_LBUTTONDOWN}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh(c.class_name);
        for (const Press& press : c.presses) {
            button(window, press.button, true, press.time, press.x, press.y);
            button(window, press.button, false, press.time + 10, press.x, press.y, layer_button_bit(press.button));
        }
        pump();
        ASSERT_EQ(input_log.size(), 2 * c.presses.size());
        for (size_t i = 0; i < c.presses.size(); ++i) EXPECT_EQ(input_log[2 * i].message, c.presses[i].message) << i;
    }
}

TEST_F(InputRules, MouseMessagesCarryClientCoordinatesAndTheHeldButtons) {
    button(window, LAYER_BUTTON_LEFT, true, 100, 7, 9, 0, LAYER_MOD_SHIFT);
    motion(window, 8, 9, layer_button_bit(LAYER_BUTTON_LEFT) | layer_button_bit(LAYER_BUTTON_RIGHT));
    button(window, LAYER_BUTTON_LEFT, false, 200, 8, 9, layer_button_bit(LAYER_BUTTON_LEFT), LAYER_MOD_CONTROL);
    pump();
    ASSERT_EQ(input_log.size(), 3u);
    EXPECT_EQ(input_log[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(input_log[0].wparam, static_cast<WPARAM>(MK_LBUTTON | MK_SHIFT));
    EXPECT_EQ(input_log[0].lparam, MAKELPARAM(7, 9));
    EXPECT_EQ(input_log[1].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(input_log[1].wparam, static_cast<WPARAM>(MK_LBUTTON | MK_RBUTTON));
    EXPECT_EQ(input_log[1].lparam, MAKELPARAM(8, 9));
    EXPECT_EQ(input_log[2].message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(input_log[2].wparam, static_cast<WPARAM>(MK_CONTROL));  // the state after the release
}

TEST_F(InputRules, OneMouseMoveAtATimeWaitsInTheQueue) {
    HWND other = make(plain_class, WS_CHILD | WS_VISIBLE, window);
    motion(window, 1, 1);
    motion(window, 2, 2);  // replaces the first
    motion(other, 3, 3);   // another window: kept
    button(window, LAYER_BUTTON_LEFT, true, 100, 4, 4);
    motion(window, 5, 5);  // after other input: kept
    motion(window, 6, 6);
    pump();
    motion(window, 7, 7);  // the one before was taken: kept
    pump();
    const LoggedMessage expected[] = {{window, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2)},
                                      {other, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3)},
                                      {window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4)},
                                      {window, WM_MOUSEMOVE, 0, MAKELPARAM(6, 6)},
                                      {window, WM_MOUSEMOVE, 0, MAKELPARAM(7, 7)}};
    ASSERT_EQ(input_log.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < input_log.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(input_log[i].window, expected[i].window);
        EXPECT_EQ(input_log[i].message, expected[i].message);
        EXPECT_EQ(input_log[i].lparam, expected[i].lparam);
    }
}

TEST_F(InputRules, TheWheelGoesToTheFocusWindowInScreenCoordinates) {
    HWND under = make(plain_class, WS_CHILD | WS_VISIBLE, window);
    HWND focus = make(plain_class, WS_CHILD | WS_VISIBLE, window);
    SetFocus(focus);
    button(under, LAYER_BUTTON_WHEEL_UP, true, 100, 1, 2, 0, LAYER_MOD_SHIFT);
    button(under, LAYER_BUTTON_WHEEL_UP, false, 100, 1, 2);  // the release says nothing
    button(under, LAYER_BUTTON_WHEEL_DOWN, true, 100, 1, 2);
    button(under, 8, true, 100, 1, 2);  // a side button: no message
    pump();
    ASSERT_EQ(input_log.size(), 2u);
    EXPECT_EQ(input_log[0].window, focus);
    EXPECT_EQ(input_log[0].message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(input_log[0].wparam, MAKEWPARAM(MK_SHIFT, 120));
    EXPECT_EQ(input_log[0].lparam, MAKELPARAM(101, 202));
    EXPECT_EQ(input_log[1].wparam, MAKEWPARAM(0, -120));
}

TEST_F(InputRules, PointerInputOnWindowsNotOursIsIgnored) {
    HWND foreign = layer_create_foreign_window(300, 200);
    motion(foreign, 1, 1);
    button(foreign, LAYER_BUTTON_LEFT, true, 100, 1, 1);
    pump();
    EXPECT_TRUE(input_log.empty());
}

// A driver that offers no cursor, no foreign windows, no GL and no display
// modes: the core answers on its own.
TEST_F(InputRules, ADriverWithoutCapabilitiesGetsTheFallbacks) {
    LayerDriver bare = *layer_null_driver();
    bare.cursor = nullptr;
    bare.foreign = nullptr;
    bare.gl = nullptr;
    bare.modes = nullptr;
    layer_use_driver(&bare);
    fresh();

    // The pointer is where the driver's input last put it.
    motion(window, 5, 6);
    POINT at = {};
    EXPECT_TRUE(GetCursorPos(&at));
    EXPECT_EQ(at.x, 105);
    EXPECT_EQ(at.y, 206);
    EXPECT_FALSE(SetCursorPos(1, 1));
    ShowCursor(FALSE);

    // Only the program's own windows exist.
    EXPECT_EQ(FindWindowA(plain_class, "input"), window);
    EXPECT_EQ(GetDesktopWindow(), nullptr);
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(0x4321)));
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(0x4321), WM_USER, 0, 0));

    // No modes to tell or change.
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    EXPECT_FALSE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = 800;
    mode.dmPelsHeight = 600;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_FAILED);

    // No GL: no pixel format to choose, so no context.
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR request = {};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    EXPECT_EQ(ChoosePixelFormat(dc, &request), 0);
    EXPECT_EQ(wglCreateContext(dc), nullptr);
    ReleaseDC(window, dc);
}

}  // namespace
