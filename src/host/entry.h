// Process entry and mode dispatch of the saver host.
// The rest of the program may use: host_instance, is_win9x_family and
// is_hosted (set once before any mode runs), SaverMode, and the launchers below. host_entry is the
// process's real start; command_line_tail is its argument-tail computation.
#pragma once

#include "platform.h"

// The four run modes that the command-line switch selects.
enum class SaverMode { Saver, Preview, Configure, ChangePassword };

// The program's module instance; window class, icon and dialog come from it.
extern HINSTANCE host_instance;
// The platform reports the 9x family (platform id 1): gates the password hooks.
extern bool is_win9x_family;
// A screen-saver daemon hosts the run: it started the program to draw inside
// a window of its own (the Preview mode's window) and owns the screen, the
// keyboard and mouse and the end of the run. The picture then fills that
// window, follows its size and does nothing else. Asked of the platform once,
// like the family, as a system metric that only such a platform answers;
// Windows answers 0 for an index it does not know.
extern bool is_hosted;
const int hosted_metric = 0x4F52;

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

// The show state handed to saver_main: the starter's show value when it gave
// one, SW_SHOWDEFAULT otherwise.
int startup_show_state();

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

// Hook before the configuration dialog: the dialog needs no classes of its own.
bool register_dialog_classes(HINSTANCE instance);
