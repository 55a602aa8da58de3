// The seam between the layer's Win32 core and the display driver beneath it.
//
// The core owns every Win32 rule: classes, the window tree, the message
// queue, timers, focus bookkeeping, default window procedures. A driver
// owns the display: it makes native windows, reports native events and
// answers questions about windows the core did not make (windows of other
// processes, which a handle on the command line may name). Two drivers
// exist: X11 (production) and null (windows in memory, a settable clock and
// cursor, no display; the logic tests run on it).
//
// Handles: a window handle is the driver's native id (the X window id on
// X11), so a decimal handle on the command line names a real window.
#pragma once

#include <windows.h>

#include <string>

struct LayerWindowDesc {
    const char* class_name;
    const char* title;
    DWORD style;
    DWORD ex_style;
    UINT class_style;
    int x, y, width, height;  // position relative to the parent's client area
    HWND parent;              // 0 for a top-level window; may be a foreign window
};

struct LayerDriver {
    const char* name;

    // Connect to the display; false (with a message already printed) when
    // there is none.
    bool (*open)();
    void (*close)();

    // Native window for a new core window; 0 when it can't be made.
    HWND (*create_window)(const LayerWindowDesc* desc);
    void (*destroy_window)(HWND window);
    void (*set_title)(HWND window, const char* title);
    void (*show_window)(HWND window, bool visible);
    // Moves and resizes (client area, relative to the parent).
    void (*set_window_rect)(HWND window, int x, int y, int width, int height);

    // Windows the core does not own.
    bool (*is_foreign_window)(HWND window);
    bool (*get_foreign_client_rect)(HWND window, RECT* rect);
    HWND (*find_window)(const char* class_name, const char* title);  // any process
    bool (*post_foreign)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    // Focus, stacking and input.
    void (*set_foreground)(HWND window);  // own or foreign
    HWND (*get_foreground)();

    // Cursor: screen position, and whether the pointer shows over a window.
    bool (*get_cursor_pos)(POINT* point);
    bool (*set_cursor_pos)(int x, int y);
    void (*set_cursor_visible)(HWND window, bool visible);

    // Screen size in pixels.
    void (*get_screen_size)(int* width, int* height);
    // The desktop window (X's root window), a window of no process.
    HWND (*desktop_window)();

    // Reads pending native events and turns each into core calls (see the
    // layer_core_* functions below). Waits at most timeout_ms for the first
    // one (0: don't wait; negative: wait until one comes). Returns false if
    // the display went away.
    bool (*process_events)(int timeout_ms);
};

// The core's entries for drivers: how native events become messages.
// Posts an input message (keys, buttons, motion) to an own window.
void layer_core_post_input(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Sends a message at once (WM_SIZE, WM_ACTIVATEAPP, WM_SHOWWINDOW...).
LRESULT layer_core_send(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The native window is gone (its foreign parent was destroyed, or another
// client destroyed it): the core destroys its record and its children, with
// the usual WM_DESTROY order, without asking the driver again.
void layer_core_native_destroyed(HWND window);
// The application gained or lost the keyboard and mouse: WM_ACTIVATEAPP to
// each top-level window of the thread.
void layer_core_activate_app(bool active);
// A window's client size changed natively: records it and sends WM_SIZE.
void layer_core_resized(HWND window, int width, int height);
// The window that a screen-saver daemon hosts the run in changed its size:
// the program's windows inside it take the new size (WM_SIZE).
void layer_core_host_resized(HWND host, int width, int height);
// Whether a handle is a window the core made.
bool layer_core_owns(HWND window);
// The window's contents were lost (an expose): it gets WM_PAINT.
void layer_core_invalidate(HWND window);
// The window has been painted: no WM_PAINT until it is invalidated again.
void layer_core_validate(HWND window);

const LayerDriver* layer_x11_driver();
const LayerDriver* layer_null_driver();
// The driver in use; chosen on first use (X11), or by layer_use_null_driver.
// When there is no display to open, the driver says so once and
// layer_driver ends the process with exit code 1; layer_open_driver returns
// NULL instead, for the calls that have a failure of their own to report.
const LayerDriver* layer_driver();
const LayerDriver* layer_open_driver();

// ---- gdi/wgl: the driver side of pixel formats and rendering contexts ----
// The core keeps the Win32 rules (device contexts, one format per window,
// the current context); a GL driver does what needs the display. Formats
// are numbered from 1 per window.
struct LayerGlDriver {
    // How many formats the window can be asked about; the first *settable of
    // them can be set on it (on X11, those of the visual it was made with).
    int (*format_count)(HWND window, int* settable);
    bool (*describe_format)(HWND window, int format, PIXELFORMATDESCRIPTOR* descriptor);
    bool (*set_format)(HWND window, int format);
    // A context for windows of that format; null when none can be made.
    void* (*create_context)(HWND window, int format);
    // Makes the context current on the window; (0, null) makes none current.
    bool (*make_current)(HWND window, void* context);
    void (*delete_context)(void* context);
    void (*swap_buffers)(HWND window);
    // The window is gone: drop what is kept for it.
    void (*forget_window)(HWND window);
    // Drops everything (the seam's layer_reset).
    void (*reset)();
};
const LayerGlDriver* layer_x11_gl_driver();
const LayerGlDriver* layer_null_gl_driver();
// Back to a fresh process's device and rendering contexts (layer_reset).
void layer_gdi_reset();

// ---- user: message boxes ----
// The core runs MessageBoxA (buttons, keys, results, the modal loop) over a
// window of its own; the driver lays the box out, draws it and keeps it
// above everything. The null driver has none: there the answer comes from
// the test seam or is the default button.
enum LayerBoxIcon {
    LAYER_ICON_NONE,
    LAYER_ICON_ERROR,
    LAYER_ICON_QUESTION,
    LAYER_ICON_WARNING,
    LAYER_ICON_INFORMATION
};

struct LayerMessageBox {
    // From the core.
    const char* text;  // UTF-8; line breaks are kept
    const char* caption;
    LayerBoxIcon icon;
    int button_count;       // 1 to 3
    const char* labels[3];  // "&" marks the letter that presses the button
    int focused;            // the button with the keyboard focus (and the default)
    int pressed;            // the button held down, -1 for none
    // From the driver's layout: the client size, and where the buttons and
    // the box's own close button are (the close button is empty when a
    // window manager draws the frame).
    int width, height;
    RECT buttons[3];
    RECT close_button;
};

struct LayerMessageBoxDriver {
    void (*layout)(LayerMessageBox* box);
    // Before the window shows: dialog hints, no resizing, above everything.
    void (*prepare)(HWND window, HWND owner, bool can_close);
    // Once the window shows: raises it over everything (also a full-screen
    // saver window) and takes the keyboard and pointer. False while it can't
    // yet (a window manager has not mapped it); the core asks again.
    bool (*hold_input)(HWND window);
    // Before the window goes: gives the keyboard and pointer back.
    void (*release)(HWND window);
    void (*paint)(HWND window, const LayerMessageBox* box);
};
const LayerMessageBoxDriver* layer_x11_message_box_driver();

// ---- user: dialogs from templates ----
// The core runs the dialog (controls, checks, keys, the modal loop); the
// driver measures the dialog's font, draws the dialog and its controls and
// keeps the dialog above the program's other windows. The null driver has
// none: nothing is drawn there.
enum LayerControlKind { LAYER_CONTROL_PUSH_BUTTON, LAYER_CONTROL_RADIO, LAYER_CONTROL_GROUP_BOX, LAYER_CONTROL_STATIC };

struct LayerDialogControl {
    HWND dialog;
    WORD id;
    LayerControlKind kind;
    DWORD style;
    std::string text;  // UTF-8
    bool is_default;   // BS_DEFPUSHBUTTON
    bool checked;
    bool pressed;  // held down by the mouse or Space
    bool focused;
};

struct LayerDialogFont {
    const char* face;
    int points;
};

struct LayerDialogDriver {
    // The dialog base units: the font's average character width and its height in pixels.
    void (*measure_font)(const LayerDialogFont* font, int* base_x, int* base_y);
    // Before the dialog shows: dialog hints, no resizing, the font to draw with.
    void (*prepare)(HWND dialog, HWND owner, const LayerDialogFont* font);
    // As for message boxes: false while the window can't take the input yet.
    bool (*hold_input)(HWND dialog);
    void (*release)(HWND dialog);
    void (*paint_dialog)(HWND dialog);
    void (*paint_control)(HWND control, const LayerDialogControl* look);
};
const LayerDialogDriver* layer_x11_dialog_driver();

// ---- display modes: the driver side of ChangeDisplaySettingsA ----
// The core keeps the Win32 rules (which request is granted, what is
// remembered, when the mode comes back); a mode driver lists and switches
// the modes of the screen's main output.
struct LayerDisplayMode {
    int width, height;
    int refresh;  // Hz, rounded; 0 when not known
};
struct LayerModeDriver {
    // The modes the output offers, up to max of them; returns how many there are.
    int (*list_modes)(LayerDisplayMode* modes, int max);
    // The mode shown now and the screen's depth in bits per pixel as Windows
    // counts them; false when the display has no modes to tell.
    bool (*current_mode)(LayerDisplayMode* mode, int* bits);
    // Switches to a listed mode; the mode before the first switch is kept
    // for restore_mode. False when refused (nothing changed).
    bool (*set_mode)(const LayerDisplayMode* mode);
    // Back to the kept mode; nothing when no switch was made.
    void (*restore_mode)();
    // The same on the way out of the process: safe inside a signal handler.
    void (*restore_mode_at_exit)();
    // Forgets the kept mode and any settings made for tests (layer_reset).
    void (*reset)();
};
const LayerModeDriver* layer_x11_mode_driver();
const LayerModeDriver* layer_null_mode_driver();
// Back to a fresh process's display-mode state (layer_reset).
void layer_display_settings_reset();
