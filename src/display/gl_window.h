// The display window of class "OpenGL" inside the saver host.
// The rest of the program may use: gl_window_proc, the class's procedure,
// and key_state, the keys the window has seen go down and not yet up.
#pragma once

#include "platform.h"

// Key-down flags by virtual-key code, all up at start.
struct KeyState {
    BOOL down[256];
};
extern KeyState key_state;

// Mouse movement (|dx| + |dy| from the cursor's place at start) above this
// closes the run, except in a small window.
const LONG display_move_threshold = 10;

LRESULT CALLBACK gl_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
