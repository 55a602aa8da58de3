// The display window of class "OpenGL" inside the saver window: its rendering
// context, its frame clock, its input rules and the display's one release.
// The rest of the program may use: gl_window_proc (the class's procedure),
// DisplayState and display_state() (the display's one record: the hook fills
// it while it makes the window), release_display, and init_gl / resize_view,
// the GL set-up the window runs itself.
#pragma once

#include "display/monitors.h"
#include "picture_copy.h"
#include "platform.h"

// Key-down flags by virtual-key code, all up at start.
struct KeyState {
    BOOL down[256];
};

// A fresh process's values are zero.
struct DisplayState {
    HWND window;  // the display window, once the hook has made it
    // Given by the saver window: a daemon's window holds the run, and a
    // password guards the saver window's close.
    bool in_daemon_window;
    bool password_guarded;
    LONG saver_width;  // the saver window's client size, measured once; 0 = not yet
    LONG saver_height;
    // A full-screen run: its display mode, the hidden cursor and the end of
    // the run on mouse movement. Not in a small saver window or a daemon's.
    bool full_screen;
    LONG view_width;  // the display window's size
    LONG view_height;
    LONG colour_bits;    // bits per pixel asked of the display mode
    POINT start_cursor;  // cursor's screen position when the display was made
    HDC device_context;  // the display window's
    HGLRC render_context;
    KeyState keys;
    // A full-screen run that puts the picture on every monitor itself
    // (where the platform does not): the display window covers them all,
    // the picture keeps the view size and is copied onto each.
    bool every_monitor;
    MonitorSet monitors;
    POINT window_origin;  // the display window's corner on the screen
    PictureCopier copier;
};
DisplayState& display_state();

// Mouse movement (|dx| + |dy| from the cursor's place at start) above this
// closes a full-screen run.
const LONG display_move_threshold = 10;
// The display window's frame timer.
const UINT_PTR frame_timer_id = 101;
// 1 ms asks for ticks as fast as the platform gives them (Win32 raises it
// to its 10 ms floor).
const UINT frame_period_ms = 1;

LRESULT CALLBACK gl_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Stops the frame timer, restores the display mode, releases the rendering
// and device contexts and posts the quit message. Safe to run any number of
// times: what is already released is not released again.
void release_display();

// The fixed GL state, the textures, the title's letters, the projection and
// the scene's start, with the rendering context of `device_context` current;
// width and height are the client size.
void init_gl(HDC device_context, LONG width, LONG height);
// Viewport and projection for a new client size (a height of 0 counts as 1).
void resize_view(LONG width, LONG height);

// Covering every monitor: the copy follows the display's monitors, with
// the rendering context current.
void lay_out_picture();
