// The layer's test seam: what the program's logic tests inject in place of
// the user, the clock and the system. Only tests include this header; the
// program never does, and the Windows build has no such thing.
#pragma once

#include <windows.h>

// Runs every later window call on the null driver: windows in memory, no
// display. Call before anything else touches windows.
void layer_use_null_driver();

// Clean-up that must run however the process ends (ExitProcess, return from
// main, a fatal signal, a fault); the layer restores a changed display mode
// there, and a death test can report what the process left behind. The
// hooks run once, last registered first. A hook may run inside a signal
// handler, on any thread, at any moment of the program: it may only do what
// is async-signal-safe (no malloc, stdio or Xlib; write, poll, send). An
// ending signal that comes while the hooks run waits for them.
void layer_at_exit(void (*hook)());

// Forgets all windows, classes, queued messages, timers, modules and
// injected values, so each test starts from a fresh process's state.
void layer_reset();

// What GetStartupInfoA fills in.
void layer_set_startup_info(DWORD flags, WORD show_window);

// Platform id that GetVersionExA reports (VER_PLATFORM_WIN32_NT by default);
// fail = true makes the query fail.
void layer_set_platform(DWORD platform_id, bool fail = false);

// A screen-saver daemon hosts the run in `window` (NULL: none does), as the
// entry sets it for --root and --window-id.
void layer_set_hosted(HWND window);

// A fake tick clock: GetTickCount returns it and timers run on it. When a
// message loop on the null driver has nothing to do, the fake clock jumps to
// the next timer's expiry.
void layer_set_fake_ticks(DWORD now);
void layer_advance_ticks(DWORD milliseconds);
void layer_use_real_ticks();

// Null driver: screen size, cursor position and foreground window.
void layer_set_screen_size(int width, int height);
void layer_set_cursor(int x, int y);
// Whether the cursor is hidden over the window (SetCursor(NULL) over it).
bool layer_cursor_hidden(HWND window);
// A window of "another process" that the program may be given as a parent.
HWND layer_create_foreign_window(int width, int height);
// Destroys it, as its owner would: the program's windows inside it go too.
void layer_destroy_foreign_window(HWND window);
// Resizes it, as its owner would; windows of the program inside the window
// that hosts the run follow its size.
void layer_resize_foreign_window(HWND window, int width, int height);
// The message last posted to a foreign window, for forwarding checks.
bool layer_last_foreign_post(HWND window, UINT* message, WPARAM* wparam, LPARAM* lparam);
void layer_set_foreground(HWND window);
// Null driver: the application loses or regains the keyboard and mouse.
void layer_set_app_active(bool active);
// Whether the program last told the system that a saver runs
// (SystemParametersInfoA with SPI_SETSCREENSAVERRUNNING).
bool layer_saver_running();
// Null driver: the next window of the class can't be made (CreateWindowExA
// returns NULL), as when the system runs out of window resources.
void layer_refuse_next_window(const char* class_name);

// In-process modules for LoadLibraryA/GetProcAddress/FreeLibrary: a fake
// module with named entries. Names match without regard to case.
struct LayerModuleEntry {
    const char* name;
    FARPROC proc;
};
void layer_register_module(const char* name, const LayerModuleEntry* entries, int count);
// Loads minus frees of a registered module (0 when it is not loaded).
int layer_module_load_count(const char* name);

// Registry writes call hook with their temporary file's path just before it
// is renamed over the registry file; a hook that returns false fails the
// write at that step, and one that ends the process is a crash there.
// nullptr removes it.
void layer_set_registry_write_hook(bool (*hook)(const char* temp_path));
// How long a registry write waits for another writer's lock before it
// fails (30000 ms unless set).
void layer_set_registry_lock_wait(unsigned milliseconds);

// Runs step once, inside the next DialogBoxParamA, when its dialog is up
// (after WM_INITDIALOG) and before its modal loop: a test acts on the dialog
// there, sending it messages at once or posting input for the loop.
void layer_set_dialog_step(void (*step)(HWND dialog, void* context), void* context);

// ---- gdi/wgl ----
// Makes the next call of one WGL set-up step fail as a driver can refuse it
// (for wglMakeCurrent: the next call that makes a context current).
enum LayerGlFailure {
    LAYER_FAIL_CHOOSE_PIXEL_FORMAT,
    LAYER_FAIL_SET_PIXEL_FORMAT,
    LAYER_FAIL_CREATE_CONTEXT,
    LAYER_FAIL_MAKE_CURRENT,
};
void layer_fail_next_gl_call(LayerGlFailure call);

// What the program holds of device and rendering contexts.
struct LayerGdiCounts {
    int contexts;           // rendering contexts not yet deleted
    int device_contexts;    // GetDC results not yet given back by ReleaseDC
    bool context_current;   // a rendering context is current
    int repeated_releases;  // ReleaseDC or wglDeleteContext of what was not held
    int swaps;              // successful SwapBuffers calls
};
LayerGdiCounts layer_gdi_counts();

// ---- message boxes ----
// Answers for the next MessageBoxA calls, in order: with one queued the call
// returns it at once on any driver. With none queued, the null driver
// returns the box's default button; the X11 driver asks the user.
void layer_push_message_box_answer(int id);
// The boxes asked for since the last reset, answered or not, oldest first.
// The strings stay valid until layer_reset.
struct LayerMessageBoxShown {
    const char* text;
    const char* caption;
    UINT type;
    HWND owner;
};
int layer_message_box_count();
bool layer_message_box_shown(int index, LayerMessageBoxShown* shown);

// ---- monitors ----
// Monitors in screen coordinates, the first the primary (at the origin, of
// the screen's size: layer_set_screen_size sets that). The layer then tells
// them to the program as Windows does (EnumDisplayMonitors, the virtual
// screen, SM_CMONITORS) and, as Windows, leaves the copy of a full-screen
// picture onto each to the program. A count of 0 goes back to the one
// monitor of the screen.
void layer_set_monitors(const RECT* monitors, int count);

// ---- display modes (null driver) ----
// The sizes the screen offers to ChangeDisplaySettingsA, besides the current
// one (layer_set_screen_size). By default 1024x768, 800x600 and 640x480.
struct LayerDisplaySize {
    int width, height;
};
void layer_set_display_modes(const LayerDisplaySize* sizes, int count);
// The program's last ChangeDisplaySettingsA call since layer_reset: calls is
// how many there were, has_mode false for a call without a record.
struct LayerDisplayRequest {
    int calls;
    bool has_mode;
    DEVMODEA mode;
    DWORD flags;
};
LayerDisplayRequest layer_last_display_request();
