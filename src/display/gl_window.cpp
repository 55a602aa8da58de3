// The display window's procedure: its input rules and its close. The
// rendering context and the frame clock come with the GL step.
#include "display/gl_window.h"

#include <stdlib.h>

#include "display/saver_hook.h"

KeyState key_state;

LRESULT CALLBACK gl_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        display_window = window;
        return 0;

    case WM_KEYDOWN:
    case WM_KEYUP:
        // Virtual-key codes are below 256; anything else is not a key.
        if (wparam < 256) key_state.down[wparam] = message == WM_KEYDOWN;
        return 0;

    case WM_MOUSEMOVE: {
        if (display_state.small_window) return 0;
        // Client coordinates, which match the screen's because the window
        // sits at the corner of a host that sits at the screen's corner.
        const LONG x = LOWORD(lparam), y = HIWORD(lparam);
        if (labs(x - display_state.start_cursor.x) + labs(y - display_state.start_cursor.y) > display_move_threshold)
            SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    }

    case WM_CLOSE:
    case WM_DESTROY:
        // Not passed on: the quit message that the release posts ends the run.
        release_display();
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}
