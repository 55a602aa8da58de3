// Process entry and mode dispatch of the program.
// The rest of the program may use: SaverMode and the launchers below; what
// the dispatcher learns before any mode runs (the module instance, the
// platform family, a daemon's window) is in the host's record
// (host/host_state.h). host_entry is the process's real start;
// command_line_tail is its argument-tail computation.
#pragma once

#include "platform.h"

// The four run modes that the command-line switch selects.
enum class SaverMode { Saver, Preview, Configure, ChangePassword };

// Whether a screen-saver daemon's window holds the run is asked of the
// platform once, like the family, as a system metric that only such a
// platform answers; Windows answers 0 for an index it does not know.
const int daemon_window_metric = 0x4F52;
// Whether the platform itself puts a full-screen window's picture on every
// monitor, asked the same way; Windows answers 0, and a full-screen run
// then covers the monitors and copies the picture onto them itself.
const int every_monitor_metric = 0x4F53;

// Exit code of a process whose mode ended in a fault that the platform's
// last-chance report asked us to handle: the running state is switched off
// and the process ends with this code, so a starter can tell a crash from
// the -1 of a switch that was not recognised.
const UINT fault_exit_code = 3;

// Reads the command line, runs saver_main, and ends the process with its result.
[[noreturn]] void host_entry();

// The argument tail of a whole command line: past the program name (quoted or
// not; a quote inside a quoted name is escaped with a backslash) and the
// separators that follow it. Points into `line`.
const char* command_line_tail(const char* line);

// The first switch of an argument tail, as the dispatcher reads it.
struct SaverSwitch {
    bool recognised;  // false: the tail names no mode (result -1)
    SaverMode mode;
    bool foreground_owner;    // Configure from 'C': owned by the foreground window
    const char* handle_text;  // Preview, ChangePassword: past the letter and its spaces
};
// Reads bytes by exact value up to the first one that decides; nothing after
// the switch letter is read.
SaverSwitch read_switch(const char* tail);

// The dispatcher: picks the mode from the argument tail and returns its result
// (the process exit code). Reads only `instance` and `tail`.
int saver_main(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show);

// A decimal window handle: digits only, 32-bit unsigned; 0 (no window) when
// the text does not start with a digit or the number does not fit 32 bits.
DWORD parse_window_handle(const char* text);

int run_preview(const char* text);
int run_configuration(HWND owner);
int run_change_password(const char* text);
