// The display's hook into the saver host.
// The rest of the program may use: scene_saver_proc, which the saver window's
// procedure calls for every message it does not consume itself.
#pragma once

#include "platform.h"

// Builds the display on the host window's WM_CREATE and releases it on its
// WM_DESTROY (0 for both, whatever happens); every other message goes on to
// default_saver_proc.
LRESULT scene_saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
