// The display mode's way back as the process ends, which may be inside a
// signal handler (x11_mode_exit.cpp).
//
// Contract: x11_display_mode.cpp does its mode work on an X connection of
// its own, with the process's terminating signals held while it is in use,
// so the connection is idle (its last request answered) whenever the exit
// hooks can run. After each switch it hands over the setting to go back to,
// and the restore is prepared then as raw protocol requests. At exit they
// are written straight onto the connection's socket and the server's answer
// awaited with poll and recv: async-signal-safe, with no Xlib and no malloc.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <signal.h>
#include <stddef.h>

const int x11_max_crtc_outputs = 16;

struct X11CrtcSetting {
    RRCrtc crtc;
    RRMode mode;
    int x, y;
    Rotation rotation;
    RROutput outputs[x11_max_crtc_outputs];
    int output_count;
};

struct X11ScreenSize {
    int width, height;        // pixels
    int mm_width, mm_height;  // physical size, which RRSetScreenSize takes too
};

struct X11ModeRestore {
    Display* connection;  // the mode work's own
    int randr_opcode;
    Window root;
    X11CrtcSetting crtc;  // as it was before the first switch
    X11ScreenSize shown;  // the screen now
    X11ScreenSize wide;   // holding both the CRTC's setting now and its old one
    X11ScreenSize kept;   // the screen as it was
    Time config_time;     // the server's configuration time after the switch
};

// The restore as prepared for the exit path, in the driver's record. Plain
// data, written before `armed` is set: what a signal handler may read.
struct X11ExitRestore {
    volatile sig_atomic_t armed;
    int socket_fd;
    Display* connection;
    // Two screen sizes, the CRTC with its outputs, and GetInputFocus.
    unsigned char requests[2 * 20 + 28 + 4 * x11_max_crtc_outputs + 4];
    size_t length;
    int request_count;
};

// Prepares the restore for the exit path; the screen grows to `wide`
// first, the CRTC goes back, then the screen takes its kept size.
void x11_prepare_exit_restore(const X11ModeRestore& restore);
// The mode came back the ordinary way: nothing to do at exit.
void x11_cancel_exit_restore();
// Puts the prepared setting back and waits for the server to have done it
// (a second at most for each step). Async-signal-safe.
void x11_restore_at_exit();
