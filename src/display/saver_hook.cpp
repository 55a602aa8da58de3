// The hook between the saver host and the display.
#include "display/saver_hook.h"

#include "host/saver_window.h"

LRESULT scene_saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        // The host window's creation always goes on: 0, never -1.
        return 0;
    case WM_DESTROY:
        return 0;
    }
    return default_saver_proc(window, message, wparam, lparam);
}
