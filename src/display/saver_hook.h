// The display's hooks into the saver window: they read the settings, make the
// display window inside the saver window, switch the display mode for a
// full-screen run, and let the picture follow a daemon's window.
// The rest of the program may use: DisplayRequest, create_display,
// follow_saver_size and follow_display_change (the saver window calls them
// from its procedure), and
// through display/gl_window.h the display's record and its release.
#pragma once

#include "platform.h"

// What the saver window tells the display about its run.
struct DisplayRequest {
    // A daemon's window holds the run: the picture fills it whatever its
    // size, follows its size and does nothing of a full-screen run.
    bool in_daemon_window;
    // A password guards the saver window's close: the display's own close
    // goes through it.
    bool password_guarded;
    // A full-screen run puts the picture on every monitor itself: the
    // saver window covers them all (the platform does not do it).
    bool every_monitor;
};

// Saver windows narrower than this get a preview-sized picture.
const LONG small_window_width = 640;

// On the saver window's WM_CREATE. Failures show their box and end the run
// through the quit message; the saver window's creation always goes on.
void create_display(HWND saver_window, const DisplayRequest& request);

// On the saver window's WM_SIZE (its new client size): in a daemon's
// window the picture follows it; otherwise nothing.
void follow_saver_size(LONG width, LONG height);

// On the saver window's WM_DISPLAYCHANGE (a mode changed, a monitor came or
// went): a run that covers every monitor covers them as they are now.
void follow_display_change(HWND saver_window);
