// The saver host's one record: what the entry learns about the process and
// what the saver window and the password hooks share during a run.
// The rest of the program may use: HostState and host_state(), its one owner.
// Below the host's files: it calls nothing.
#pragma once

#include "platform.h"

// VerifyScreenSavePwd(window): non-zero when the saver may close.
typedef BOOL(WINAPI* VerifyPasswordProc)(HWND);

// ImmAssociateContext(window, context) -> previous context. Input-context
// handles are opaque; HANDLE has their size on every target.
typedef HANDLE(WINAPI* AssociateContextProc)(HWND, HANDLE);

// The last prompt's tick before any prompt.
const DWORD never_verified = 0xFFFFFFFFu;

// A fresh process's values are the members' initial values.
struct HostState {
    // Set once by the dispatcher before any mode runs.
    HINSTANCE instance = NULL;  // the program's module: window class, icon and dialog come from it
    bool win9x_family = false;  // platform id 1: gates the password hooks
    // A screen-saver daemon started the program to draw inside a window of
    // its own (the Preview mode's window); it owns the screen, the keyboard
    // and mouse and the end of the run.
    bool in_daemon_window = false;
    // The platform leaves a full-screen picture on every monitor to the
    // program (Windows): the saver window covers them all and the display
    // copies the picture onto each. Otherwise it covers the primary, as the
    // platform asks, and the platform spreads it.
    bool every_monitor = false;

    // The saver window's run.
    HWND saver_window = NULL;          // the window that run_saver_window made
    bool preview = false;              // a child of a window named on the command line
    bool closing = false;              // closing is allowed; never cleared once set
    bool verifying = false;            // a password verification is in progress
    POINT remembered_cursor = {0, 0};  // screen point that mouse movement is measured from

    // The input method, kept off the saver window for the run; only used
    // when something already loaded it.
    HMODULE imm_module = NULL;                            // "IMM32.DLL", or NULL
    AssociateContextProc associate_context_entry = NULL;  // its "ImmAssociateContext", or NULL
    HANDLE previous_input_context = NULL;                 // the window's context before the run

    // The password hooks.
    HMODULE password_module = NULL;           // "PASSWORD.CPL" while it is loaded
    VerifyPasswordProc verifier = NULL;       // its "VerifyScreenSavePwd", or NULL
    DWORD last_verify_tick = never_verified;  // read just after the last prompt ended
};

HostState& host_state();
