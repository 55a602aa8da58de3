// The display window of class "OpenGL" inside the saver host: its rendering
// context, its frame clock and its input rules.
// The rest of the program may use: gl_window_proc (the class's procedure),
// key_state, and init_gl / resize_view, the GL set-up the window runs itself.
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
// 1 ms asks for ticks as fast as the platform gives them (Win32 raises it
// to its 10 ms floor).
const UINT frame_period_ms = 1;

LRESULT CALLBACK gl_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The fixed GL state, the textures, the projection and the scene's start,
// with the rendering context current; width and height are the client size.
void init_gl(LONG width, LONG height);
// Viewport and projection for a new client size (a height of 0 counts as 1).
void resize_view(LONG width, LONG height);
