// The saver window: full-screen popup or preview child, its message loop and
// the rules that dismiss it on user input. It builds the display on its
// creation and releases it on its destruction.
// The rest of the program may use: run_saver_window (the Saver and Preview
// modes). Its run's flags are in the host's record (host/host_state.h).
#pragma once

#include "platform.h"

// Movement (|dx| + |dy|, unsigned) above this closes the saver.
const DWORD mouse_move_threshold = 4;

// Runs the saver window until its message loop ends. `parent` NULL: Saver
// mode, full screen; a window: Preview inside it. Returns the quit message's
// value, 0 when another saver window already runs, -1 when no window could
// be made.
int run_saver_window(HWND parent);
