// Private to the layer: kernel services that the layer's other parts use.
// The program never includes this header.
//   layer_run_exit_hooks - runs the layer_at_exit hooks (layer_test.h) now, once
//   layer_ignore_broken_pipes - SIGPIPE ignored, for a display connection
//   layer_hold_ending_signals, layer_release_ending_signals - a section
//                        that the hooks wait for
//   layer_handling_fault, layer_set_fault_check - the fault path (faults.cpp)
//   layer_fixme_once   - the loud "not implemented" line, printed once per text
//   layer_printable    - an argument or environment value, escaped for a message
//                        (printable.h, a library of its own)
//   layer_kernel_set_argv, layer_command_tail, layer_quotes_argument - the
//                        entry's command-line work
//   layer_fake_clock_active - whether GetTickCount runs on the test clock
//   layer_hosted_window, layer_show_fps, layer_end_on_signals - a run that a
//                        screen-saver daemon hosts (set by the entry)
//   layer_run_switch   - which of the program's runs this is (set by the entry)
#pragma once

#include <layer_test.h>
#include <windows.h>

#include <signal.h>

#include "kernel/printable.h"

#include <string>

// Runs the hooks once, whichever path comes first. A path that comes while
// another thread runs them waits for them (with a bound); the ending
// signals (every signal whose default action ends the process, but the
// faults) wait on the thread that runs them. Async-signal-safe.
void layer_run_exit_hooks();
// A write to a display connection that went away fails with EPIPE rather
// than ending the process by SIGPIPE; a handler that someone else set for
// it stays.
void layer_ignore_broken_pipes();
// Holds those ending signals, whose handlers run the hooks, for a section of
// work that the hooks also use (sections don't nest): on this thread they
// wait for layer_release_ending_signals, and hooks that another thread runs
// meanwhile (it took such a signal, or faulted) wait for the section's end.
// `previous` keeps the mask to restore. Async-signal-safe.
void layer_hold_ending_signals(sigset_t* previous);
void layer_release_ending_signals(const sigset_t* previous);

// Whether this process is inside the handling of a fault (a signal handler).
bool layer_handling_fault();
// `check` is called first when a fault comes, before the program's filter:
// a driver whose display connection broke ends the process there, since
// what faulted was reading the dead connection's answers. Async-signal-safe.
void layer_set_fault_check(void (*check)());

// Prints "fixme: <text>" on stderr the first time this exact text comes.
void layer_fixme_once(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Keeps the process arguments; GetCommandLineA is rebuilt from them.
void layer_kernel_set_argv(int argc, char** argv);
// Whether the line GetCommandLineA builds from argv holds the argument in
// quotes: an empty one, or one with a space, a tab, a line break or a quote
// in it.
bool layer_quotes_argument(const char* arg);
// The argument tail that a Windows C run-time hands to WinMain as lpCmdLine:
// the arguments after the program name of the line built from argv.
LPSTR layer_command_tail();

bool layer_fake_clock_active();

// A screen-saver daemon hosts the run: the window it gave the program to
// draw into (0 when no daemon does; layer_set_hosted in the test seam sets
// it), and whether the frame rate is shown over the picture (--fps).
void layer_set_hosted(HWND window);
HWND layer_hosted_window();
void layer_set_show_fps(bool show);
bool layer_show_fps();
// GetSystemMetrics answers non-zero for this index while a daemon hosts the
// run; Windows knows no such metric and answers 0.
const int layer_hosted_metric = 0x4F52;
// GetSystemMetrics answers non-zero for this index: the layer's drivers put
// a full-screen window's picture on every monitor themselves. Windows knows
// no such metric and answers 0: there the program does it.
const int layer_every_monitor_metric = 0x4F53;
// The daemon ends a hosted run with SIGTERM, SIGINT or SIGHUP: from now on
// each ends the process at once (after the exit hooks), also when the
// starter left it ignored or blocked.
void layer_end_on_signals();

// The program's run as its switch names it ('s', 'p' or 'c'), 'h' for a run
// that a daemon hosts, 0 when the entry has not said (as in tests): the
// driver chosen must offer what the run needs, windows of other programs
// for a preview or a hosted run and dialogs for the settings.
void layer_set_run_switch(char program_switch);
char layer_run_switch();

// The instance handle of the program itself (GetModuleHandleA(NULL)).
HINSTANCE layer_own_instance();

// Back to a fresh process's kernel state (the seam's layer_reset).
void layer_kernel_reset();
void layer_modules_reset();
