// Classes and the window tree: creation and destruction messages, handles
// that stop being windows, text, and the queries the program relies on.
#include <string.h>

#include <string>

#include "message_log.h"

namespace {

using WindowTest = MessageTest;

struct CreateCase {
    const char* name;
    DWORD style;
    bool child;
};

TEST_F(WindowTest, CreationMessagesArriveBeforeCreateWindowReturns) {
    const CreateCase cases[] = {
        {"hidden popup", WS_POPUP, false},
        {"visible child", WS_CHILD | WS_VISIBLE, true},
    };
    HWND parent = make_window(WS_POPUP);
    for (const CreateCase& c : cases) {
        SCOPED_TRACE(c.name);
        message_log.clear();
        int param = 0;
        const CREATESTRUCTA* seen = nullptr;
        CREATESTRUCTA copy = {};
        std::string name;  // the text lpszName points to may be gone once CreateWindowExA returns
        reaction = [&](HWND, UINT message, WPARAM, LPARAM lparam, LRESULT*) {
            if (message == WM_CREATE) {
                seen = reinterpret_cast<const CREATESTRUCTA*>(lparam);
                copy = *seen;
                name = seen->lpszName ? seen->lpszName : "(null)";
            }
            return false;
        };
        HWND window = make_window(c.style, c.child ? parent : nullptr, "made", &param, 64, 48);
        ASSERT_NE(window, nullptr);
        std::vector<ExpectedMessage> expected = creation(window);
        // Windows tells the parent that a child was made; the layer does not.
        if (c.child) expected.push_back(optional(parent, WM_PARENTNOTIFY, WM_CREATE));
        if (c.style & WS_VISIBLE) expected.push_back(expect(window, WM_SHOWWINDOW, TRUE));
        EXPECT_TRUE(logged_exactly(expected));
        ASSERT_NE(seen, nullptr);
        EXPECT_EQ(copy.lpCreateParams, &param);
        EXPECT_EQ(copy.cx, 64);
        EXPECT_EQ(copy.cy, 48);
        EXPECT_EQ(name, "made");
        EXPECT_EQ(copy.hwndParent, c.child ? parent : nullptr);
        EXPECT_EQ(was_logged(window, WM_SHOWWINDOW), (c.style & WS_VISIBLE) != 0);
    }
}

TEST_F(WindowTest, VisiblePopupBecomesActiveAndForeground) {
    HWND window = make_window(WS_POPUP | WS_VISIBLE);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(logged_exactly(creation(window) + std::vector<ExpectedMessage>{expect(window, WM_SHOWWINDOW, TRUE)} +
                               activation(window)));
    EXPECT_EQ(GetActiveWindow(), window);
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(WindowTest, ProcedureCanRefuseCreation) {
    const struct {
        UINT message;
        LRESULT refusal;
    } cases[] = {{WM_NCCREATE, FALSE}, {WM_CREATE, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(message_name(c.message));
        message_log.clear();
        reaction = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
            *result = c.refusal;
            return message == c.message;
        };
        EXPECT_EQ(make_window(), nullptr);
        ASSERT_FALSE(message_log.empty());
        HWND attempted = message_log.front().window;
        EXPECT_FALSE(IsWindow(attempted));
        EXPECT_FALSE(was_logged(attempted, WM_SHOWWINDOW));
    }
}

TEST_F(WindowTest, ClassNamesIgnoreCaseAndUnknownClassesFail) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "conformancelogwindow";
    SetLastError(0);
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    SetLastError(0);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchConformanceClass", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr),
              nullptr);
    // Windows says ERROR_CANNOT_FIND_WND_CLASS; Wine says ERROR_CLASS_DOES_NOT_EXIST.
    EXPECT_TRUE(GetLastError() == ERROR_CANNOT_FIND_WND_CLASS || GetLastError() == ERROR_CLASS_DOES_NOT_EXIST)
        << GetLastError();

    HWND window = CreateWindowExA(0, "CONFORMANCELOGWINDOW", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    made.push_back(window);
    char name[64];
    EXPECT_EQ(GetClassNameA(window, name, sizeof name), static_cast<int>(strlen(logging_class_name())));
    EXPECT_STREQ(name, logging_class_name());
}

TEST_F(WindowTest, DestroyingParentDestroysChildrenParentFirst) {
    HWND parent = make_window(WS_POPUP);
    HWND first = make_window(WS_CHILD, parent);
    HWND grandchild = make_window(WS_CHILD, first);
    HWND second = make_window(WS_CHILD | WS_VISIBLE, parent);
    ASSERT_TRUE(parent && first && grandchild && second);
    SetTimer(grandchild, 3, 10, nullptr);
    PostMessageA(second, WM_USER, 0, 0);
    message_log.clear();

    EXPECT_TRUE(DestroyWindow(parent));

    // Every WM_DESTROY before any WM_NCDESTROY; WM_DESTROY from the parent
    // down, WM_NCDESTROY from the leaves up.
    EXPECT_TRUE(
        logged_exactly({expect(parent, WM_DESTROY), expect(first, WM_DESTROY), expect(grandchild, WM_DESTROY),
                        expect(second, WM_DESTROY), expect(grandchild, WM_NCDESTROY), expect(first, WM_NCDESTROY),
                        expect(second, WM_NCDESTROY), expect(parent, WM_NCDESTROY)}));
    const HWND all[] = {parent, first, grandchild, second};
    for (HWND a : all) EXPECT_FALSE(IsWindow(a));

    // Their timers and queued messages went with them.
    Sleep(40);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        for (HWND a : all) EXPECT_NE(msg.hwnd, a) << message_name(msg.message);
    }
    EXPECT_FALSE(PostMessageA(second, WM_USER, 0, 0));
}

TEST_F(WindowTest, MadeUpHandlesAreNotWindows) {
    const HWND handles[] = {nullptr, reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x5A5A5A0)),
                            reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x7FFFFFF0))};
    for (HWND handle : handles) {
        EXPECT_FALSE(IsWindow(handle)) << handle;
        SetLastError(0);
        EXPECT_FALSE(PostMessageA(handle ? handle : reinterpret_cast<HWND>(0x5A5A5A4), WM_USER, 0, 0));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        EXPECT_EQ(SendMessageA(handle, WM_USER, 1, 2), 0);
    }
}

TEST_F(WindowTest, CloseDestroysOnlyThroughDefaultProcedure) {
    for (bool swallow : {false, true}) {
        SCOPED_TRACE(swallow ? "procedure keeps WM_CLOSE" : "WM_CLOSE to DefWindowProcA");
        HWND window = make_window();
        message_log.clear();
        reaction = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
            *result = 0;
            return swallow && message == WM_CLOSE;
        };
        SendMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(IsWindow(window) != FALSE, swallow);
        if (!swallow) {
            EXPECT_TRUE(
                logged_exactly({expect(window, WM_CLOSE), expect(window, WM_DESTROY), expect(window, WM_NCDESTROY)}));
        }
    }
}

TEST_F(WindowTest, TitleFollowsSetTextUnlessProcedureRefusesIt) {
    HWND window = make_window(WS_POPUP, nullptr, "first");
    char text[32];
    EXPECT_EQ(GetWindowTextA(window, text, sizeof text), 5);
    EXPECT_STREQ(text, "first");
    EXPECT_TRUE(SetWindowTextA(window, "second"));
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "second");
    EXPECT_EQ(GetWindowTextA(window, text, 4), 3);
    EXPECT_STREQ(text, "sec");

    reaction = [](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
        *result = 0;
        return message == WM_SETTEXT;
    };
    EXPECT_FALSE(SetWindowTextA(window, "third"));
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "second");
}

TEST_F(WindowTest, FindWindowMatchesTopLevelClassAndTitle) {
    HWND top = make_window(WS_POPUP, nullptr, "Conformance Finder");
    make_window(WS_CHILD, top, "Conformance Child");
    EXPECT_EQ(FindWindowA("conformancelogwindow", "Conformance Finder"), top);
    EXPECT_EQ(FindWindowA(logging_class_name(), "No Such Title Here"), nullptr);
    EXPECT_EQ(FindWindowA("NoSuchConformanceClass", "Conformance Finder"), nullptr);
    EXPECT_EQ(FindWindowA(logging_class_name(), "Conformance Child"), nullptr);
}

TEST_F(WindowTest, ChildGeometryAndParent) {
    HWND parent = make_window(WS_POPUP, nullptr, "parent", nullptr, 300, 200);
    HWND child = CreateWindowExA(0, logging_class_name(), "child", WS_CHILD | WS_VISIBLE, 0, 0, 150, 100, parent,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(child, nullptr);
    RECT rect;
    ASSERT_TRUE(GetClientRect(child, &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 150);
    EXPECT_EQ(rect.bottom, 100);
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(GetParent(parent), nullptr);
    DWORD style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(IsWindowVisible(child));  // its parent is hidden
}

}  // namespace
