// The platform's screen-saver password hooks (9x family only; elsewhere every
// function here does nothing and closing is never held back).
// The rest of the program may use: the functions below. The loaded verifier,
// which answers the saver window's verification request, is in the host's
// record (host/host_state.h).
#pragma once

#include "platform.h"

// Loads the verifier when the user's saver password is on; switches the
// system's saver-running state on with it.
void load_password_verifier();
// Frees the verifier; switches the running state off if a verifier was loaded.
void unload_password_verifier();
// Asks for the password before a close. True lets the window close.
bool verify_password_on_close(HWND window);
// Tells the system whether a password-protected saver runs.
void set_saver_running(bool on);
// The platform's password change for the screen saver, owned by `owner`.
void change_password(HWND owner);
// later - earlier, modulo 2^32: right across a wrap of the tick counter.
DWORD tick_elapsed(DWORD earlier, DWORD later);
