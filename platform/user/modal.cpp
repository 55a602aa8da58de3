// The modal loop that message boxes and dialogs share.
#include <windows.h>

#include "user/user_internal.h"

namespace {

// Keyboard and mouse messages.
bool is_input(UINT message) {
    return (message >= WM_KEYDOWN && message <= WM_SYSCHAR) || (message >= WM_MOUSEMOVE && message <= 0x020D);
}

}  // namespace

bool user_modal_loop(HWND window, const std::function<bool()>& ended, bool (*hold_input)(HWND),
                     const std::function<bool(const MSG&)>& consume) {
    // Input for the program's other windows is dropped; all else (timers,
    // paint, posted messages) is dispatched as usual, so the windows behind
    // keep running. Until the driver holds the keyboard and pointer for the
    // window, the loop polls rather than waits.
    bool holding = hold_input == nullptr;
    while (!ended() && IsWindow(window)) {
        if (!holding) holding = hold_input(window);
        MSG msg;
        BOOL got = holding ? GetMessageA(&msg, nullptr, 0, 0) : PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
        if (!holding && !got) {
            Sleep(10);
            continue;
        }
        if (msg.message == WM_QUIT) {
            // As on Windows, the quit request ends the modal loop and is
            // posted again for the caller's own loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return true;
        }
        bool ours = msg.hwnd == window || user_is_descendant(msg.hwnd, window);
        if (is_input(msg.message) && !ours) continue;
        if (ours && consume && consume(msg)) continue;
        DispatchMessageA(&msg);
    }
    return false;
}
