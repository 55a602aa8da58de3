// The seam between the layer's Win32 core and the display driver beneath it.
//
// The core owns every Win32 rule: classes, the window tree, the message
// queue, timers, focus bookkeeping, default window procedures. A driver
// owns the display: it makes native windows, reports native events and
// answers questions about windows the core did not make (windows of other
// processes, which a handle on the command line may name). Three drivers
// exist: Wayland and X11 (production) and null (windows in memory, a
// settable clock and cursor, no display; the logic tests run on it).
//
// Handles: a window handle is the driver's native id (the X window id on
// X11), so a decimal handle on the command line names a real window. Wayland
// has no global window ids: its handles are the driver's own numbers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct LayerWindowDesc {
    const char* class_name;
    const char* title;
    DWORD style;
    DWORD ex_style;
    UINT class_style;
    int x, y, width, height;  // position relative to the parent's client area
    HWND parent;              // 0 for a top-level window; may be a foreign window
};

// The capabilities a driver may lack have tables of their own below
// (LayerCursorDriver ... LayerDialogDriver); the driver table points at them
// and holds null for one it does not offer, and the core then takes the
// documented fallback. The core never asks which driver it runs on.
struct LayerCursorDriver;
struct LayerForeignDriver;
struct LayerGlDriver;
struct LayerModeDriver;
struct LayerMessageBoxDriver;
struct LayerDialogDriver;

struct LayerDriver {
    const char* name;  // as ORRELUNE_DRIVER names it

    // Whether this driver's display server answers, asked quietly when no
    // driver is named; null for a driver that is only used when named.
    bool (*answers)();
    // Whether the environment names a display server of this driver; null
    // for a driver that names none. A server named that does not answer is
    // the one to blame when no later driver's answers either.
    bool (*named)();
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

    // Focus and stacking.
    void (*set_foreground)(HWND window);  // own or foreign
    HWND (*get_foreground)();

    // Screen size in pixels.
    void (*get_screen_size)(int* width, int* height);

    // Reads pending native events and turns each into core calls (see the
    // layer_core_* functions below). Waits at most timeout_ms for the first
    // one (0: don't wait; negative: wait until one comes). Returns false if
    // the display went away.
    bool (*process_events)(int timeout_ms);

    // Back to a fresh state for the next test (layer_reset); null when the
    // driver keeps nothing that a test could have changed.
    void (*reset)();

    // The capabilities; null where the driver has none.
    const LayerCursorDriver* cursor;
    const LayerForeignDriver* foreign;
    const LayerGlDriver* gl;
    const LayerModeDriver* modes;
    const LayerMessageBoxDriver* message_box;
    const LayerDialogDriver* dialog;
};

// ---- user: the pointer ----
// Without one, GetCursorPos reports where the driver's raw pointer input
// last was (0, 0 before any), SetCursorPos fails and the cursor's shape is
// not shown anywhere.
struct LayerCursorDriver {
    // Screen position.
    bool (*get_pos)(POINT* point);
    bool (*set_pos)(int x, int y);
    // Whether the pointer shows over a window.
    void (*set_visible)(HWND window, bool visible);
};

// ---- user: windows the core does not own ----
// Windows of other processes, which a handle on the command line may name.
// Without this table there are none: no handle names a foreign window,
// FindWindowA finds only the program's own windows, and GetDesktopWindow
// returns NULL.
struct LayerForeignDriver {
    bool (*is_window)(HWND window);
    bool (*get_client_rect)(HWND window, RECT* rect);
    HWND (*find_window)(const char* class_name, const char* title);  // any process
    bool (*post)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    // The desktop window (X's root window), a window of no process.
    HWND (*desktop_window)();
};

// The core's entries for drivers: how native events become messages.
// Posts a message that is already Win32's own (WM_CLOSE from a window
// manager, a message another process posted) to an own window.
void layer_core_post_input(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
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
// The window tree as the core keeps it, for a driver whose windows have no
// native tree (Wayland). The own windows whose parent is this one, in the
// order they were made; with null, the top-level windows.
std::vector<HWND> layer_core_children(HWND parent);
// The top-level own window that holds this one (itself when it is
// top-level); null for a handle that is not an own window.
HWND layer_core_top_level(HWND window);
// The own window under a point of the window's client area: its deepest
// visible child that holds the point (of siblings, the last made is on
// top), else the window itself; the point becomes that window's client
// coordinates.
HWND layer_core_window_at(HWND window, POINT* point);
// The window's contents were lost (an expose): it gets WM_PAINT.
void layer_core_invalidate(HWND window);
// The window has been painted: no WM_PAINT until it is invalidated again.
void layer_core_validate(HWND window);

// ---- raw input: what the drivers report, before any Win32 rule ----
// The core decides the rest as Windows does: which window gets a key (the
// focus window, else the active one, else none), system keys (Alt, F10),
// auto-repeat bits, double clicks (CS_DBLCLKS, time and distance), where the
// wheel goes, and one mouse move at a time in the queue.
enum LayerModifier { LAYER_MOD_SHIFT = 1, LAYER_MOD_CONTROL = 2, LAYER_MOD_ALT = 4 };
enum LayerButton {
    LAYER_BUTTON_LEFT = 1,
    LAYER_BUTTON_MIDDLE = 2,
    LAYER_BUTTON_RIGHT = 3,
    LAYER_BUTTON_WHEEL_UP = 4,
    LAYER_BUTTON_WHEEL_DOWN = 5,  // higher numbers: buttons without a message
};
// Held buttons as a mask: 1 << LAYER_BUTTON_LEFT and so on.
inline unsigned layer_button_bit(unsigned button) {
    return button < 32 ? 1u << button : 0;
}

struct LayerRawKey {
    unsigned code;  // the physical key, 0-255 (the X key code; on evdev, its code + 8)
    UINT vk;        // virtual-key code through the keymap; 0xFF for a key without one
    UINT scan;      // PC set-1 scan code, 0 when none
    bool extended;  // a key that set 1 reaches through the E0 prefix
    bool down;
    unsigned modifiers;  // LAYER_MOD_* held when the key went down or up
};
void layer_core_raw_key(const LayerRawKey* key);

struct LayerRawButton {
    HWND window;  // the own window the pointer is in
    int x, y;     // position in its client area
    int screen_x, screen_y;
    unsigned button;  // LAYER_BUTTON_*, or a higher number
    bool down;
    DWORD time;          // milliseconds on the display's clock
    unsigned buttons;    // held before the event, as layer_button_bit masks
    unsigned modifiers;  // LAYER_MOD_*
};
void layer_core_raw_button(const LayerRawButton* button);

struct LayerRawMotion {
    HWND window;  // the own window the pointer is in
    int x, y;     // position in its client area
    int screen_x, screen_y;
    unsigned buttons;  // held, as layer_button_bit masks
    unsigned modifiers;
};
void layer_core_raw_motion(const LayerRawMotion* motion);

// The drivers of this build. Each one's table; the choice among them is
// the core's (platform/user/driver.cpp, which lists them in order).
const LayerDriver* layer_wayland_driver();
const LayerDriver* layer_x11_driver();
const LayerDriver* layer_null_driver();

// Picks the driver at start. `requested` is ORRELUNE_DRIVER's value (null
// or empty when not set); candidates are the build's drivers in the order
// they are tried, an entry with no table being a driver this build lacks.
// Unnamed, the first driver whose display server answers is chosen, else
// the first whose server the environment named when the last one's does
// not answer either, else the last one that could answer; the open() of
// the one chosen then says why there is no display. On a bad request,
// driver is null and message says why in one line.
struct LayerDriverCandidate {
    const char* name;
    const LayerDriver* driver;
};
struct LayerDriverChoice {
    const LayerDriver* driver;
    std::string message;
};
LayerDriverChoice layer_choose_driver(const char* requested, const LayerDriverCandidate* candidates, int count);

// The driver in use; chosen on first use, or set by layer_use_null_driver.
// When there is no display to open, the driver says so once and
// layer_driver ends the process with exit code 1; layer_open_driver returns
// NULL instead, for the calls that have a failure of their own to report.
const LayerDriver* layer_driver();
const LayerDriver* layer_open_driver();
// The driver chosen so far, without choosing one: null before first use.
const LayerDriver* layer_chosen_driver();
// Opens the driver and runs every later call on it: for tests of the core on
// a table of their own (a member left null shows its fallback).
void layer_use_driver(const LayerDriver* driver);

// ---- gdi/wgl: the driver side of pixel formats and rendering contexts ----
// The core keeps the Win32 rules (device contexts, one format per window,
// the current context); a GL driver does what needs the display. Formats
// are numbered from 1 per window. Without one a window has no pixel formats:
// ChoosePixelFormat and wglCreateContext fail as on a system without GL.
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
    // The window is gone: drop what is kept for it. Null when the driver
    // keeps nothing per window.
    void (*forget_window)(HWND window);
    // Drops everything (the seam's layer_reset); null when nothing is kept.
    void (*reset)();
};
// The window's pixel format as the core keeps it (one per window, set by
// SetPixelFormat); 0 while it has none.
int layer_core_pixel_format(HWND window);
// Back to a fresh process's device and rendering contexts (layer_reset).
void layer_gdi_reset();

// ---- user: message boxes ----
// The core runs MessageBoxA (buttons, keys, results, the modal loop) over a
// window of its own; the driver lays the box out, draws it and keeps it
// above everything. Without one, the answer comes from the test seam or is
// the default button, told in one line on stderr.
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

// ---- user: dialogs from templates ----
// The core runs the dialog (controls, checks, keys, the modal loop); the
// driver measures the dialog's font, draws the dialog and its controls and
// keeps the dialog above the program's other windows. Without one the
// dialog runs as usual and nothing is drawn.
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

// ---- display modes: the driver side of ChangeDisplaySettingsA ----
// The core keeps the Win32 rules (which request is granted, what is
// remembered, when the mode comes back); a mode driver lists and switches
// the modes of the screen's main output. Without one the display has no
// modes to tell: ChangeDisplaySettingsA refuses every change
// (DISP_CHANGE_FAILED) and EnumDisplaySettingsA lists none.
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
// Back to a fresh process's display-mode state (layer_reset).
void layer_display_settings_reset();
