// The display's hook into the saver host, the display's one record, and its
// one release sequence.
// The rest of the program may use: scene_saver_proc (the saver window's
// procedure calls it for every message it does not consume), DisplayState
// and display_state (the display window reads and fills it),
// display_window and release_display.
#pragma once

#include "platform.h"

struct DisplayState {
    LONG host_width;  // host's client width, measured once; 0 = not yet
    LONG host_height;
    bool small_window;  // host narrower than 640: a preview-sized picture
    LONG view_width;    // the display window's size
    LONG view_height;
    LONG colour_bits;    // bits per pixel asked of the display mode
    POINT start_cursor;  // cursor's screen position when the display was made
    HDC device_context;  // the display window's (set by the display window)
    HGLRC render_context;
};
extern DisplayState display_state;

// The display child of class "OpenGL", set by the hook once it is made; the
// release acts on its timer and device context whichever window's message
// started it.
extern HWND display_window;

// Hosts narrower than this get the small-window treatment.
const LONG small_window_width = 640;
// The display window's frame timer.
const UINT_PTR frame_timer_id = 101;

// Builds the display on the host's WM_CREATE and releases it on WM_DESTROY
// (0 for both, failures included); everything else goes to
// default_saver_proc.
LRESULT scene_saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Stops the frame timer, restores the display mode, releases the rendering
// and device contexts and posts the quit message. Safe to run any number of
// times: what is already released is not released again.
void release_display();
