// The saver window: full-screen popup or preview child, its message loop and
// the rules that dismiss it on user input.
// The rest of the program may use: run_saver_window (the Saver and Preview
// modes), default_saver_proc (the hook's default), request_saver_close (the
// display's own close), and the mode flags below, which the password hooks
// write and the display reads.
#pragma once

#include "platform.h"

// Preview mode: the window is a child of a window named on the command line.
extern bool is_preview;
// Closing is allowed; never cleared once set.
extern bool is_closing;
// A password verification is in progress.
extern bool is_verifying;
// Screen position that mouse movement is measured from.
extern POINT remembered_cursor;
// Movement (|dx| + |dy|, unsigned) above this closes the saver.
const DWORD mouse_move_threshold = 4;
// The window that run_saver_window created.
extern HWND saver_window;

// Runs the saver window until its message loop ends. `parent` NULL: Saver
// mode, full screen; a window: Preview inside it. Returns the quit message's
// value, 0 when another saver window already runs, -1 when no window could
// be made.
int run_saver_window(HWND parent);

// The display child's own close (Escape, the mouse). In a password-protected
// run it goes through the saver window's close request, which asks for the
// password first; in any other run the display is released at once and its
// quit message ends the run.
void request_saver_close(HWND display);

LRESULT CALLBACK saver_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT default_saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
