// The real message box on a private X server: keys and clicks as a user
// gives them (xdotool), the Win32 result codes, and a box that stays above
// a full-screen saver window while the windows behind it keep running.
// MSGBOX_SCREENSHOT=<file.png> keeps a picture of the first box.
#include <gtest/gtest.h>
#include <windows.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdlib.h>

#include <atomic>
#include <string>
#include <thread>

#include "e2e_support.h"

namespace {

XServer server;
const char prompt[] = "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?";

// The user: waits for the box on a connection of its own, then acts.
struct User {
    std::string keys;    // for xdotool's "key"
    bool close = false;  // the window manager's close request instead
    bool click = false;  // a click near the bottom-right corner: the last button
};

void send_close_request(Display* display, Window box) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = box;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, box, False, NoEventMask, &event);
    XFlush(display);
}

void act(const User& user, Window* seen) {
    Display* display = XOpenDisplay(server.name.c_str());
    Window box = wait_for_class(display, DefaultRootWindow(display), "#32770", 20000);
    *seen = box;
    if (box && wait_for_focus(display, box, 10000)) {  // where the keys go
        static bool pictured;
        if (const char* path = getenv("MSGBOX_SCREENSHOT"); path && !pictured) {
            pictured = true;
            system(("import -window root " + std::string(path)).c_str());
        }
        if (user.close) send_close_request(display, box);
        if (user.click) {
            XWindowAttributes a;
            XGetWindowAttributes(display, box, &a);
            xdotool("mousemove " + std::to_string(a.x + a.width - 20) + " " + std::to_string(a.y + a.height - 20) +
                    " click 1");
        }
        if (!user.keys.empty()) xdotool("key --delay 60 " + user.keys);
    }
    XCloseDisplay(display);
}

int ask(const char* text, const char* caption, UINT type, const User& user, Window* box = nullptr) {
    Window seen = None;
    std::thread thread(act, user, &seen);
    int result = MessageBoxA(nullptr, text, caption, type);
    thread.join();
    if (box) *box = seen;
    return result;
}

class MessageBoxX11 : public testing::Test {
protected:
    static void SetUpTestSuite() { server = start_xserver(); }
    // The server ends with the process (the layer's connection lasts as long).
};

TEST_F(MessageBoxX11, KeysAndClicksGiveTheWin32Results) {
    struct Case {
        UINT type;
        User user;
        int expected;
    } cases[] = {
        {MB_YESNO | MB_ICONEXCLAMATION, {"Return"}, IDYES},
        {MB_YESNO | MB_ICONEXCLAMATION, {"n"}, IDNO},
        {MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, {"y"}, IDYES},
        {MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, {"Return"}, IDNO},
        {MB_YESNO | MB_ICONEXCLAMATION, {"Tab space"}, IDNO},
        {MB_YESNO | MB_ICONEXCLAMATION, {"Right Left Return"}, IDYES},
        // Yes/No has no Cancel: Escape and the close request do nothing.
        {MB_YESNO | MB_ICONEXCLAMATION, {"Escape y"}, IDYES},
        {MB_YESNO | MB_ICONEXCLAMATION, {"y", true}, IDYES},
        {MB_YESNO | MB_ICONEXCLAMATION, {"", false, true}, IDNO},
        {MB_OK | MB_ICONERROR, {"Escape"}, IDOK},
        {MB_OK | MB_ICONERROR, {"", true}, IDOK},
        {MB_OKCANCEL, {"shift+Tab Return"}, IDCANCEL},
        {MB_YESNOCANCEL | MB_ICONQUESTION, {"Escape"}, IDCANCEL},
        {MB_RETRYCANCEL | MB_ICONINFORMATION, {"r"}, IDRETRY},
    };
    for (const Case& c : cases) {
        Window box = None;
        EXPECT_EQ(ask(prompt, "Brix GL", c.type, c.user, &box), c.expected)
            << "type " << std::hex << c.type << std::dec << ", keys \"" << c.user.keys << "\"";
        ASSERT_NE(box, None) << "no box appeared";
    }
}

TEST_F(MessageBoxX11, BoxShowsTheCaptionCentredOnTheScreen) {
    struct Seen {
        std::string name, net_name;
        XWindowAttributes attributes;
    } seen{};
    User user{"Return"};
    std::thread thread([&] {
        Display* display = XOpenDisplay(server.name.c_str());
        Window box = wait_for_class(display, DefaultRootWindow(display), "#32770", 20000);
        if (box && wait_for_focus(display, box, 10000)) {
            seen.name = string_property(display, box, "WM_NAME");
            seen.net_name = string_property(display, box, "_NET_WM_NAME");
            XGetWindowAttributes(display, box, &seen.attributes);
        }
        XCloseDisplay(display);
        xdotool("key Return");
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Window creation error.", "Fehler \xC3\xBC", MB_OK | MB_ICONERROR), IDOK);
    thread.join();
    EXPECT_EQ(seen.net_name, "Fehler \xC3\xBC");
    EXPECT_FALSE(seen.name.empty());
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR(seen.attributes.x + seen.attributes.width / 2, width / 2, 1);
    EXPECT_NEAR(seen.attributes.y + seen.attributes.height / 2, height / 2, 1);
}

TEST_F(MessageBoxX11, QuitRequestEndsTheBoxAndIsPostedAgain) {
    PostQuitMessage(3);
    // Win32 quirk: IDOK, though the box has no such button.
    EXPECT_EQ(MessageBoxA(nullptr, prompt, "Brix GL", MB_YESNO | MB_ICONEXCLAMATION), IDOK);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

// The saver's window: topmost, borderless, over the whole screen, counting
// its timer ticks and the keys it gets.
std::atomic<int> saver_ticks, saver_keys;  // read by the user's thread
LRESULT CALLBACK saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_TIMER) ++saver_ticks;
    if (message == WM_KEYDOWN || message == WM_LBUTTONDOWN) ++saver_keys;
    return DefWindowProcA(window, message, wparam, lparam);
}

bool stacked_above(Display* display, Window upper, Window lower) {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    int upper_at = -1, lower_at = -1;
    for (unsigned i = 0; i < count; ++i) {
        if (children[i] == upper) upper_at = (int)i;
        if (children[i] == lower) lower_at = (int)i;
    }
    if (children) XFree(children);
    return upper_at > lower_at && lower_at >= 0;
}

TEST_F(MessageBoxX11, BoxGoesAboveTheSaverWhichKeepsRunningAndGetsTheKeyboardBack) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = saver_proc;
    wc.lpszClassName = "SaverUnderBox";
    RegisterClassA(&wc);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HWND saver = CreateWindowExA(WS_EX_TOPMOST, "SaverUnderBox", "saver", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(saver);
    SetForegroundWindow(saver);
    SetTimer(saver, 1, 20, nullptr);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    saver_ticks = saver_keys = 0;

    bool above = false;
    std::thread thread([&] {
        Display* display = XOpenDisplay(server.name.c_str());
        Window box = wait_for_class(display, DefaultRootWindow(display), "#32770", 20000);
        // The saver's loop has gone round several times with the box up
        // (its timer runs when nothing else waits): had it raised itself
        // over the box, it would have done so by now.
        int ticks = saver_ticks;
        wait_until([&] { return saver_ticks >= ticks + 6; }, 10000);
        above = box && stacked_above(display, box, (Window)(uintptr_t)saver);
        XCloseDisplay(display);
        // A click on the saver beside the box, then the answer.
        xdotool("mousemove 5 5 click 1 key n");
    });
    int result = MessageBoxA(nullptr, prompt, "Brix GL", MB_YESNO | MB_ICONEXCLAMATION);
    thread.join();
    EXPECT_EQ(result, IDNO);
    EXPECT_TRUE(above);
    EXPECT_GT(saver_ticks, 5);  // its timer ran behind the box
    EXPECT_EQ(saver_keys, 0);   // the click and the key were the box's

    // The saver holds the keyboard again: another client can't take it.
    Display* other = XOpenDisplay(server.name.c_str());
    int grab = XGrabKeyboard(other, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    XCloseDisplay(other);
    EXPECT_EQ(grab, AlreadyGrabbed);
    DestroyWindow(saver);
}

}  // namespace
