// Shared by the X11 driver's own files only: the driver's state, one
// record, and what each file gives the others. x11_driver.cpp keeps the
// record, opens the connections and sets their error policy, and holds the
// driver table; x11_windows.cpp the window records, the program's windows
// and other processes' windows; x11_focus.cpp focus and activation, grabs
// and the cursor; x11_events.cpp the event translation; x11_monitors.cpp
// the monitors and changes of the screen's layout; x11_glx.cpp pixel
// formats and contexts; x11_spread.cpp the picture of a window spread over
// the monitors; x11_display_mode.cpp and x11_mode_exit.cpp the display
// modes and their way back; the other files their capability tables and
// what those draw with.
#pragma once

#include "layer_driver.h"
#include "x11/x11_mode_exit.h"

#include <GL/glx.h>
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <time.h>

#include <map>
#include <set>
#include <vector>

struct X11Atoms {
    Atom wm_protocols, wm_delete_window, wm_state;
    Atom net_wm_name, utf8_string, net_wm_pid, net_active_window;
    Atom net_wm_state, net_wm_state_above, motif_wm_hints;
    Atom win32_class;    // the Win32 class name, which FindWindowA matches
    Atom win32_message;  // a message posted from another process
};

// Errors expected on a connection from its request of serial `first` on
// (x11_expect_error).
struct X11ExpectedError {
    Display* display;
    unsigned long first;
    int code;  // the first error caught; 0 for none
};

// What the driver remembers of each window it made.
struct X11Window {
    Window id;
    // The top-level topmost popup that covers the primary monitor: its
    // native window covers the whole X screen, every monitor.
    bool saver;
    // A GL window at the corner of a saver window: it spreads while the
    // screen has several monitors, and draws into its own native window
    // while it has one (and where the GL cannot spread it).
    bool spreadable;
    // Such a window spreading: its native window covers the screen too, and
    // the program draws into a picture of the window's size that each
    // monitor shows (x11_spread.cpp).
    bool spread;
    bool cursor_hidden;
    Colormap colormap;  // own colormap of a GLX visual, else None
    GLXFBConfig fbconfig;
    int native_width, native_height;  // of a saver or spread window: the screen's
};

struct X11Monitor {
    int x, y, width, height;  // on the X screen
    bool primary;
    std::vector<XID> outputs;  // the RandR outputs that show it, when RandR says
};

// A pixel format: a frame-buffer configuration that can draw to a window.
struct X11Format {
    GLXFBConfig config;
    VisualID visual;
    PIXELFORMATDESCRIPTOR descriptor;
};

// A window's view of the formats: its own configuration first, then the
// others of its visual (those can be set on it), then the rest.
struct X11WindowFormats {
    std::vector<int> order;  // format n is formats[order[n - 1]]
    int settable;
};

// The frame-buffer objects of GL 3.0 (or ARB_framebuffer_object), once a
// context shows whether the GL has them.
struct X11FramebufferCalls {
    bool checked, present;
    PFNGLGENFRAMEBUFFERSPROC gen_framebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC delete_framebuffers;
    PFNGLBINDFRAMEBUFFERPROC bind_framebuffer;
    PFNGLGENRENDERBUFFERSPROC gen_renderbuffers;
    PFNGLDELETERENDERBUFFERSPROC delete_renderbuffers;
    PFNGLBINDRENDERBUFFERPROC bind_renderbuffer;
    PFNGLRENDERBUFFERSTORAGEPROC renderbuffer_storage;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebuffer_renderbuffer;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC check_framebuffer_status;
    PFNGLBLITFRAMEBUFFERPROC blit_framebuffer;
};

// A spread window's picture in one context (frame-buffer objects belong to
// the context that made them).
struct X11SpreadPicture {
    Window window;
    GLuint framebuffer, colour, depth;
    GLenum colour_format, depth_format, depth_attachment;
    int width, height;
};

// The mode work's own connection and the setting it keeps to go back to.
struct X11Modes {
    Display* connection;  // opened at first use
    Window root;
    int randr_opcode;
    bool none;  // no XRandR 1.2 on this display
    double mm_per_pixel_x, mm_per_pixel_y;
    // The setting before the first switch.
    bool switched;
    X11CrtcSetting kept_crtc;
    X11ScreenSize kept_screen;
};

// The frame rate that --fps shows, counted in one context.
struct X11FrameRate {
    GLXContext context;  // the display lists belong to it
    GLuint list_base;    // 0: no font could be had
    int glyph_width, ascent, descent;
    timespec since;
    int frames;
    char text[32];
};

// A message box that is up.
struct X11HeldBox {
    time_t since;
    std::vector<Window> savers;  // saver windows that stand aside while it is
};

// The message boxes' fonts, opened once per connection.
struct X11BoxFonts {
    Display* display;
    XftFont* text;   // the desktop's sans font at 9 pt, at the screen's resolution
    XftFont* glyph;  // bold, for the question mark of the question icon
    double scale;    // pixels per pixel at 96 dpi
};

// A dialog that is open.
struct X11Dialog {
    XftFont* font;  // null when none could be had
    time_t shown_since;
};

struct X11State {
    // ---- the connection (x11_driver.cpp) ----
    Display* display;  // null until the driver is open
    int screen;
    Window root;
    X11Atoms atoms;
    int randr_event_base = -1;               // first event number of XRandR; -1 without XRandR
    int glx_error_base = -1;                 // first error number of GLX; -1 without GLX
    std::vector<X11ExpectedError> expected;  // innermost last
    // The lost connection is being reported (a signal handler reads it).
    volatile sig_atomic_t leaving;

    // ---- windows (x11_windows.cpp) ----
    std::vector<X11Window> windows;  // those that are there now
    std::set<XID> made;              // every window this connection made, also those gone since

    // ---- monitors (x11_monitors.cpp) ----
    std::vector<X11Monitor> monitors;
    bool monitors_known;  // false: read them again at their next use

    // ---- focus and cursor (x11_focus.cpp) ----
    Cursor blank_cursor;  // what hidden windows show
    bool app_active;      // the application's activation as last reported

    // ---- GL (x11_glx.cpp, x11_spread.cpp) ----
    std::vector<X11Format> formats;  // in the server's order
    Display* formats_display;        // the connection they were read from
    std::map<Window, X11WindowFormats> window_formats;
    GLXContext current_context;
    Window current_window;
    X11FramebufferCalls framebuffers;
    std::map<GLXContext, X11SpreadPicture> pictures;

    // ---- display modes (x11_display_mode.cpp, x11_mode_exit.cpp) ----
    X11Modes modes;
    X11ExitRestore exit_restore;  // plain data: a signal handler reads it

    // ---- the frame rate (x11_fps.cpp) ----
    X11FrameRate frame_rate;

    // ---- message boxes and dialogs ----
    std::map<Window, X11HeldBox> boxes;  // x11_message_box.cpp
    X11BoxFonts box_fonts;               // x11_box_layout.cpp
    std::map<HWND, X11Dialog> dialogs;   // x11_dialog.cpp
};
extern X11State x11_state;

// ---- x11_driver.cpp: the record, the connection and its error policy ----
// Opens a connection to the X display of that name (null: DISPLAY's);
// null when none is there. One that is there and does not answer within
// 10 s ends the process with exit code 1 and one line naming it. Every
// connection the driver makes (the shared one, the mode work's own, the
// quiet probe at start) is opened here.
Display* x11_connect(const char* name);

// Calls that may fail (on handles that may name no window, or that the
// server may refuse): from x11_expect_error on, X errors on that connection
// are caught instead of reported. x11_check_error waits until the server
// has answered every request since and returns the first error's code (0:
// none), ending the innermost expectation; those around it catch the
// errors inside it too. No error is ever fatal: one not expected is
// reported on stderr and the run goes on.
void x11_expect_error(Display* display);
int x11_check_error();

// Whether an X error is one of ours failing because another client
// destroyed the window (with the window it gave us to draw in): what its
// DestroyNotify will say, not a fault of ours.
bool x11_is_window_gone_error(Window id, int code);

// Ends the process as a lost connection does when the server has gone
// (a call that failed may be why); returns when it is still there.
void x11_check_connection();

// ---- x11_monitors.cpp: monitors ----
// The monitors, the primary first; never empty (the X screen at least).
const std::vector<X11Monitor>& x11_monitors();
// Drops the list: it is read again at its next use.
void x11_forget_monitors();
// The screen's layout changed (RandR's notice, or a display-mode switch of
// our own): the monitors are read again at their next use, and the windows
// that cover the screen follow its size.
void x11_screen_changed();
// The monitors as the server lists them, made fit to show a picture each:
// none empty, none twice, none that holds others whole; the primary first
// (the first one when none is).
std::vector<X11Monitor> x11_tidy_monitors(const std::vector<X11Monitor>& found);

// ---- x11_windows.cpp: windows ----
X11Window* x11_find_window(Window id);
// The size the core gives a window of ours, at least 1 x 1 as X has no
// empty windows: what its native window is when nothing else decides.
struct X11Size {
    int width, height;
};
X11Size x11_core_size(Window id);
// Whether this connection made the window, also when it is gone since.
bool x11_made_window(Window id);
// The frame-buffer configuration that a CS_OWNDC window was created with
// (its visual can't change later); null for other windows.
GLXFBConfig x11_window_fbconfig(HWND window);

// A saver window keeps itself above all others and holds the keyboard;
// while a message box is up it stands aside. x11_stand_aside is false for a
// window that is not an own saver window (nothing changes then);
// x11_come_back makes a window that stood aside a saver window again.
bool x11_stand_aside(Window id);
void x11_come_back(Window id);

// The top-level window (own, or a client of the window manager) that
// contains id.
Window x11_toplevel_of(Window id);

// Drops the record of a window that is gone; x11_forget_windows drops
// them all as the connection closes.
void x11_forget_window(Window id);
void x11_forget_windows();

HWND x11_create_window(const LayerWindowDesc* desc);
void x11_destroy_window(HWND window);
void x11_set_title(HWND window, const char* title);
void x11_show_window(HWND window, bool visible);
void x11_set_window_rect(HWND window, int x, int y, int width, int height);

// The X screen's layout changed: spreadable windows spread or stop (as
// x11_spread_follow_monitors), and saver and spread windows follow the
// screen's size.
void x11_follow_screen_layout();

// Tells the window manager that the window is a dialog of a fixed size,
// kept above its owner's top-level window when it has one.
void x11_set_dialog_hints(Window window, HWND owner);

// ---- x11_focus.cpp: focus and activation, grabs and cursor ----
void x11_set_foreground(HWND window);
HWND x11_get_foreground();
// The focus moved (FocusIn or FocusOut on a window of ours): the core
// hears when the application's activation changed.
void x11_focus_changed(XFocusChangeEvent* event);
// The invisible cursor that hidden windows show, made as the connection
// opens and freed as it closes.
void x11_make_blank_cursor();
void x11_free_blank_cursor();

// ---- x11_events.cpp: input ----
bool x11_process_events(int timeout_ms);

// ---- x11_glx.cpp: GL windows ----
// A frame-buffer configuration for a window that will hold an OpenGL
// context; null when the server has none.
GLXFBConfig x11_choose_window_config();
// An attribute of a frame-buffer configuration.
int x11_config_attribute(GLXFBConfig config, int name);

// ---- x11_spread.cpp: the picture of a window spread over the monitors ----
// A context was made current on the window (null: not one of ours): a
// spread window's drawing goes to the context's picture of it (made at
// first use, and sized as the core sizes the window), any other window's
// to the window itself. Where the GL has no frame-buffer objects the
// window stops spreading.
void x11_spread_made_current(X11Window* window);
// The monitors changed: a spreadable window spreads while there are
// several and draws into its own native window, of its own size, while
// there is one. A context current on it turns at once; the native window
// of a window that now spreads takes the screen's size from the caller.
void x11_spread_follow_monitors(X11Window* window);
// The core gave a spread window a new size: its picture takes it.
void x11_resize_picture(Window window);
// Just before a buffer swap of the window: when the current context draws
// a spread window's picture, the picture is copied onto each monitor of
// the back buffer and returned, for x11_draw_into_picture after the swap;
// null for any other window.
const X11SpreadPicture* x11_show_picture(Window window);
void x11_draw_into_picture(const X11SpreadPicture& picture);

// ---- x11_display_mode.cpp: display modes ----
// A CRTC that shows something: where on the screen, through which outputs.
struct X11Crtc {
    XID id;
    int x, y, width, height;
    std::vector<XID> outputs;
};
// Which of the CRTCs shows the primary monitor alone, through an output of
// the monitor's own where RandR names them: the one whose mode the
// display-mode switch changes. -1 for none.
int x11_primary_crtc(const X11Monitor& primary, const std::vector<X11Crtc>& crtcs);

// The driver's capability tables (layer_driver.h), which its table points at.
const LayerCursorDriver* x11_cursor_driver();
const LayerForeignDriver* x11_foreign_driver();
const LayerGlDriver* x11_gl_driver();
const LayerModeDriver* x11_mode_driver();
const LayerMessageBoxDriver* x11_message_box_driver();
const LayerDialogDriver* x11_dialog_driver();

// Draws the frame rate into the back buffer of a window whose context is
// current (--fps); called just before each of its buffer swaps.
void x11_draw_fps(Window window, int width, int height);
