#include "host_fixture.h"

#include <stdlib.h>

#include "display/gl_window.h"

namespace {

std::function<void(HWND)> pending_steps;
bool ran_steps = false;

const UINT run_steps_message = WM_USER + 1;

// A hidden window of the test's own; the saver's loop dispatches the message
// posted to it once the saver window has been created.
LRESULT CALLBACK stepper_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != run_steps_message) return DefWindowProcA(window, message, wparam, lparam);
    ran_steps = true;
    HWND saver = host_state().saver_window;
    if (pending_steps) pending_steps(saver);
    if (saver != NULL && IsWindow(saver)) DestroyWindow(saver);
    return 0;
}

void post_steps(const std::function<void(HWND)>& steps) {
    WNDCLASSA stepper_class = {};
    stepper_class.lpfnWndProc = stepper_proc;
    stepper_class.hInstance = GetModuleHandleA(NULL);
    stepper_class.lpszClassName = "HostTestStepper";
    RegisterClassA(&stepper_class);
    HWND stepper = CreateWindowExA(0, "HostTestStepper", "", 0, 0, 0, 10, 10, NULL, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_NE(stepper, nullptr);
    pending_steps = steps;
    ran_steps = false;
    PostMessageA(stepper, run_steps_message, 0, 0);
}

}  // namespace

void HostTest::SetUp() {
    config_ = Scratch("orrelune-unit");
    setenv("XDG_CONFIG_HOME", config_.dir.c_str(), 1);
    reset_process_state();
}

void HostTest::reset_process_state() {
    layer_use_null_driver();
    layer_reset();
    host_state() = HostState{};
    host_state().instance = GetModuleHandleA(NULL);
    display_state() = DisplayState{};
    pending_steps = nullptr;
    ran_steps = false;
}

int HostTest::run_saver_with(HWND parent, const std::function<void(HWND)>& steps) {
    post_steps(steps);
    return run_saver_window(parent);
}

int HostTest::run_main_with(const std::string& tail, const std::function<void(HWND)>& steps) {
    post_steps(steps);
    std::string text = tail;
    return saver_main(GetModuleHandleA(NULL), NULL, &text[0], SW_SHOWDEFAULT);
}

bool HostTest::steps_ran() const {
    return ran_steps;
}

void HostTest::set_password_setting(const void* data, DWORD size, DWORD type) {
    HKEY key;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "ScreenSaveUsePassword", 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

bool take_posted_close(HWND window) {
    MSG msg;
    return PeekMessageA(&msg, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
}
