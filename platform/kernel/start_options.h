// Private to the layer: how the Linux entry reads its command line before
// the program's own switches. Screen-saver daemons start a saver with their
// own conventions (--root with the window in XSCREENSAVER_WINDOW, or
// --window-id ID); those are read here and turned into the Win32 run they
// mean. Used by the entry (kernel/main.cpp) and the layer's tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct LayerStartOptions {
    // SWITCH_ERROR: a Windows switch this program cannot run here (one it
    // does not know, or /a, the password change Linux has not got); it
    // ends as the program's -1 would, with one line that says why.
    enum Action { RUN, HELP, VERSION, USAGE_ERROR, SWITCH_ERROR } action = RUN;
    // Hosted by a daemon: draw into a window of the daemon's and do nothing else.
    bool hosted = false;
    // The window's id as given, and where it came from ("--window-id",
    // "XSCREENSAVER_WINDOW"); no source: the desktop (root) window.
    std::string window_text;
    std::string window_source;
    bool show_fps = false;
    // The program's first switch in lower case, /l read as /p; 0 for none
    // (the settings dialog, as /c).
    char program_switch = 0;
    // What the program's own switches read (the Linux options taken out).
    std::vector<std::string> program_args;
    // USAGE_ERROR, SWITCH_ERROR: the one line that says what is wrong.
    std::string error;
};

// argv as main has it; env_window is XSCREENSAVER_WINDOW (null when unset).
LayerStartOptions layer_read_start_options(int argc, const char* const* argv, const char* env_window);

// A window id as the daemons write it: hexadecimal with 0x (XScreenSaver)
// or decimal (xsecurelock), 32 bits, nothing before or after. False when
// the text is not such a number or is 0.
bool layer_parse_window_id(const char* text, DWORD* id);
