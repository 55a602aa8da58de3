// The X11 driver: the display connection, native windows (a window handle is
// the X window id), windows of other processes, focus and grabs, and the
// cursor. layer_x11_driver() is the table the core uses; x11.h gives the
// connection to the layer's GLX, Xft and XRandR code.
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "x11/x11_private.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/XKBlib.h>
#include <X11/Xlib-xcb.h>
#include <X11/extensions/Xrandr.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>
#include <set>
#include <string>
#include <vector>

X11Atoms x11_atoms;
int x11_randr_event_base = -1;

namespace {

Display* display;
int screen;
Window root;
Cursor blank_cursor;
std::vector<X11Window> windows;
// Every window this connection made, also those gone since.
std::set<XID> made;

// Error trap: while set, X errors are recorded instead of reported.
bool trapping;
int trapped_error;

// First error number of GLX; -1 when the server has none. GLX's own
// numbers, from its protocol header: GLXBadDrawable 2, GLXBadWindow 12.
int glx_error_base = -1;
const int glx_bad_drawable = 2, glx_bad_window = 12;
// X_FreeGC of the core protocol's header, which clashes with Win32's BOOL.
const int x_free_gc = 60;

bool is_window_gone_error(int code) {
    return code == BadWindow || code == BadDrawable ||
           (glx_error_base >= 0 &&
            (code == glx_error_base + glx_bad_drawable || code == glx_error_base + glx_bad_window));
}

int on_x_error(Display* dpy, XErrorEvent* error) {
    if (trapping) {
        if (!trapped_error) trapped_error = error->error_code;
        return 0;
    }
    // Another client destroyed a window of ours (the window it gave us to
    // draw in went, and ours inside it): what was already on its way to it,
    // a frame being presented, fails before we hear of it. Not our error.
    if (x11_is_window_gone_error(error->resourceid, error->error_code)) return 0;
    // So did a graphics context that GLX made on such a window: freeing
    // what was never made.
    if (error->error_code == BadGC && error->request_code == x_free_gc) return 0;
    char text[160];
    XGetErrorText(dpy, error->error_code, text, sizeof text);
    fprintf(stderr, "%s: X error: %s (request %d.%d, resource 0x%lx)\n", program_invocation_short_name, text,
            error->request_code, error->minor_code, error->resourceid);
    return 0;
}

// The server went away: nothing more can be shown, so leave at once
// instead of hanging, after the layer's exit hooks. A hook that talks to
// the dead connection comes back here, and then we go without the rest.
// Reached from Xlib and from a fault's signal handler: async-signal-safe.
[[noreturn]] void leave_for_lost_connection() {
    static volatile sig_atomic_t leaving;
    if (!leaving) {
        leaving = 1;
        char line[160];
        const char* parts[] = {program_invocation_short_name, ": lost the connection to the X display\n"};
        size_t length = 0;
        for (const char* part : parts)
            for (; *part && length < sizeof line; ++part) line[length++] = *part;
        ssize_t ignored = write(STDERR_FILENO, line, length);
        (void)ignored;
        layer_run_exit_hooks();
    }
    _exit(1);
}

int on_x_io_error(Display*) {
    leave_for_lost_connection();
}

// GLX reads its answers from the connection's XCB side, where a server that
// went away gives no answer rather than an I/O error, and Mesa's GLX then
// reads through the missing answer. Such a fault is the lost connection.
void check_connection_on_fault() {
    if (display && xcb_connection_has_error(XGetXCBConnection(display))) leave_for_lost_connection();
}

// A frame-buffer configuration fit for a window that will hold an OpenGL
// context: double-buffered true colour with a depth buffer. The window's
// visual is fixed before the program asks for a pixel format, so this is
// the cheapest that meets what the program asks for (16 depth bits, no
// alpha, stencil, accumulation or auxiliary buffers): every buffer and bit
// costs memory and fill time in a software renderer. GLX's own order puts
// the deepest depth buffer first; it is kept where the two agree.
GLXFBConfig choose_gl_config() {
    static const int attributes[] = {GLX_X_RENDERABLE,
                                     True,
                                     GLX_DRAWABLE_TYPE,
                                     GLX_WINDOW_BIT,
                                     GLX_RENDER_TYPE,
                                     GLX_RGBA_BIT,
                                     GLX_X_VISUAL_TYPE,
                                     GLX_TRUE_COLOR,
                                     GLX_DOUBLEBUFFER,
                                     True,
                                     GLX_RED_SIZE,
                                     1,
                                     GLX_GREEN_SIZE,
                                     1,
                                     GLX_BLUE_SIZE,
                                     1,
                                     GLX_DEPTH_SIZE,
                                     16,
                                     None};
    auto cost = [](GLXFBConfig config) {
        static const int weighed[] = {GLX_CONFIG_CAVEAT,   GLX_ALPHA_SIZE,       GLX_DEPTH_SIZE,
                                      GLX_STENCIL_SIZE,    GLX_ACCUM_RED_SIZE,   GLX_ACCUM_GREEN_SIZE,
                                      GLX_ACCUM_BLUE_SIZE, GLX_ACCUM_ALPHA_SIZE, GLX_AUX_BUFFERS};
        std::vector<int> values;
        for (int name : weighed) {
            int value = 0;
            glXGetFBConfigAttrib(display, config, name, &value);
            values.push_back(name == GLX_CONFIG_CAVEAT ? value != GLX_NONE : value);
        }
        return values;
    };
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, screen, attributes, &count);
    GLXFBConfig chosen = nullptr;
    std::vector<int> least;
    for (int i = 0; i < count; ++i) {
        std::vector<int> its = cost(configs[i]);
        if (!chosen || its < least) {
            chosen = configs[i];
            least = its;
        }
    }
    if (configs) XFree(configs);
    return chosen;
}

bool covers_screen(const LayerWindowDesc* desc) {
    return desc->x <= 0 && desc->y <= 0 && desc->x + desc->width >= DisplayWidth(display, screen) &&
           desc->y + desc->height >= DisplayHeight(display, screen);
}

void set_string_property(Window window, Atom property, Atom type, const char* text) {
    XChangeProperty(display, window, property, type, 8, PropModeReplace, (const unsigned char*)text, (int)strlen(text));
}

// Whole text of a string property; empty when absent.
bool read_string_property(Window window, Atom property, std::string* text) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 4096, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) != Success)
        return false;
    bool found = type != None && format == 8 && data;
    if (found) text->assign((const char*)data, count);
    if (data) XFree(data);
    return found;
}

bool has_property(Window window, Atom property) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    int status = XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, &type, &format, &count,
                                    &after, &data);
    if (data) XFree(data);
    return status == Success && type != None;
}

std::vector<Window> children_of(Window window) {
    Window root_return, parent;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, window, &root_return, &parent, &children, &count))
        result.assign(children, children + count);
    if (children) XFree(children);
    return result;
}

Window parent_of(Window window) {
    Window root_return, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root_return, &parent, &children, &count)) parent = None;
    if (children) XFree(children);
    return parent;
}

// Win32 compares class names and titles without regard to case.
bool window_matches(Window window, const char* class_name, const char* title) {
    std::string text;
    if (class_name) {
        if (!read_string_property(window, x11_atoms.win32_class, &text) || strcasecmp(text.c_str(), class_name) != 0)
            return false;
    }
    if (title) {
        if (!read_string_property(window, x11_atoms.net_wm_name, &text) &&
            !read_string_property(window, XA_WM_NAME, &text))
            return false;
        if (strcasecmp(text.c_str(), title) != 0) return false;
    }
    return true;
}

void send_net_active_window(Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = x11_atoms.net_active_window;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // source: an application
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

// Keyboard and pointer for the saver window. Another client (a menu, a
// screen locker) may hold a grab for a moment, so try for a short while.
void grab_input(Window window) {
    const unsigned pointer_events = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    for (int attempt = 0; attempt < 20; ++attempt) {
        int keyboard = XGrabKeyboard(display, window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
        int pointer =
            XGrabPointer(display, window, True, pointer_events, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (keyboard == GrabSuccess && pointer == GrabSuccess) return;
        usleep(50 * 1000);
    }
    fprintf(stderr, "%s: could not grab the keyboard and pointer\n", program_invocation_short_name);
}

// Another client's window that ours cannot go into: the run ends before it
// begins, so say why, once.
void say_why_not_inside(Window host, int error) {
    XWindowAttributes attributes;
    x11_trap_errors();
    Status got = XGetWindowAttributes(display, host, &attributes);
    bool exists = !x11_untrap_errors() && got;
    char text[160];
    if (!exists)
        snprintf(text, sizeof text, "it went away");
    else if (attributes.c_class == InputOnly)
        snprintf(text, sizeof text, "it is an input-only window, which shows nothing");
    else
        XGetErrorText(display, error, text, sizeof text);
    fprintf(stderr, "%s: cannot draw inside window 0x%lx: %s\n", program_invocation_short_name, host, text);
}

bool x11_open() {
    if (display) return true;
    // Xlib's handler is one for all connections; set before the connection
    // is made, as the server may go while it is being made.
    XSetIOErrorHandler(on_x_io_error);
    display = XOpenDisplay(nullptr);
    if (!display) {
        fprintf(stderr, "%s: cannot open the X display \"%s\"; is DISPLAY set?\n", program_invocation_short_name,
                XDisplayName(nullptr));
        return false;
    }
    XSetErrorHandler(on_x_error);
    layer_set_fault_check(check_connection_on_fault);
    // A write to a server that went away would end the process by SIGPIPE,
    // silently; ignored, it fails, and the I/O error handler says why.
    struct sigaction pipe_action;
    if (sigaction(SIGPIPE, nullptr, &pipe_action) == 0 && pipe_action.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);
    screen = DefaultScreen(display);
    root = RootWindow(display, screen);
    int glx_event_base;
    if (!glXQueryExtension(display, &glx_error_base, &glx_event_base)) glx_error_base = -1;

    static const char* names[] = {"WM_PROTOCOLS",        "WM_DELETE_WINDOW", "WM_STATE",           "_NET_WM_NAME",
                                  "UTF8_STRING",         "_NET_WM_PID",      "_NET_ACTIVE_WINDOW", "_NET_WM_STATE",
                                  "_NET_WM_STATE_ABOVE", "_MOTIF_WM_HINTS",  "_WIN32_CLASS",       "_WIN32_MESSAGE"};
    Atom atoms[sizeof names / sizeof names[0]];
    XInternAtoms(display, (char**)names, sizeof names / sizeof names[0], False, atoms);
    x11_atoms = {atoms[0], atoms[1], atoms[2], atoms[3], atoms[4],  atoms[5],
                 atoms[6], atoms[7], atoms[8], atoms[9], atoms[10], atoms[11]};

    // The screen's size follows display-mode changes (DisplayWidth and
    // DisplayHeight are updated as the change notices come in).
    int error_base;
    if (XRRQueryExtension(display, &x11_randr_event_base, &error_base))
        XRRSelectInput(display, root, RRScreenChangeNotifyMask);
    else
        x11_randr_event_base = -1;

    // A held key repeats as presses alone, so the previous-state bit of the
    // lParam can tell a repeat from a new press, as on Windows.
    Bool supported;
    XkbSetDetectableAutoRepeat(display, True, &supported);

    static const char no_bits[1] = {0};
    Pixmap empty = XCreateBitmapFromData(display, root, no_bits, 1, 1);
    XColor black{};
    blank_cursor = XCreatePixmapCursor(display, empty, empty, &black, &black, 0, 0);
    XFreePixmap(display, empty);
    return true;
}

void x11_close() {
    if (!display) return;
    for (X11Window& window : windows)
        if (window.colormap) XFreeColormap(display, window.colormap);
    windows.clear();
    XFreeCursor(display, blank_cursor);
    layer_set_fault_check(nullptr);
    XCloseDisplay(display);
    display = nullptr;
}

void x11_set_title(HWND hwnd, const char* title) {
    Window window = (Window)(uintptr_t)hwnd;
    if (!title) title = "";
    set_string_property(window, x11_atoms.net_wm_name, x11_atoms.utf8_string, title);
    XTextProperty property;
    char* list[] = {(char*)title};
    if (Xutf8TextListToTextProperty(display, list, 1, XStdICCTextStyle, &property) >= Success) {
        XSetWMName(display, window, &property);
        XFree(property.value);
    } else {
        set_string_property(window, XA_WM_NAME, XA_STRING, title);
    }
    XFlush(display);
}

HWND x11_create_window(const LayerWindowDesc* desc) {
    bool top_level = !desc->parent;
    Window parent = top_level ? root : (Window)(uintptr_t)desc->parent;
    X11Window record{};
    record.saver = top_level && (desc->style & WS_POPUP) && (desc->ex_style & WS_EX_TOPMOST) && covers_screen(desc);
    record.width = desc->width > 0 ? desc->width : 1;
    record.height = desc->height > 0 ? desc->height : 1;

    XSetWindowAttributes attributes{};
    unsigned long mask = CWEventMask | CWBorderPixel;
    attributes.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            StructureNotifyMask | FocusChangeMask | ExposureMask;
    Visual* visual = CopyFromParent;
    int depth = CopyFromParent;
    if (desc->class_style & CS_OWNDC) {
        // An OpenGL context goes on this window later, and a window's visual
        // is fixed when it is made.
        record.fbconfig = choose_gl_config();
        XVisualInfo* info = record.fbconfig ? glXGetVisualFromFBConfig(display, record.fbconfig) : nullptr;
        if (info) {
            visual = info->visual;
            depth = info->depth;
            record.colormap = XCreateColormap(display, root, info->visual, AllocNone);
            attributes.colormap = record.colormap;
            mask |= CWColormap;
            XFree(info);
        } else {
            // GLX found nothing because the server went while it looked.
            check_connection_on_fault();
            layer_fixme_once("no GLX visual with double buffering and depth; CS_OWNDC windows use the default visual");
            record.fbconfig = nullptr;
        }
    }
    // The saver's class brush is black; a GL window is black until its first
    // frame. Other windows are painted by the core, so the server leaves
    // their background alone.
    if (record.saver || record.colormap || (desc->class_style & CS_OWNDC)) {
        attributes.background_pixel = record.colormap ? 0 : BlackPixel(display, screen);
        mask |= CWBackPixel;
    } else {
        attributes.background_pixmap = None;
        mask |= CWBackPixmap;
    }
    if (record.saver) {
        attributes.override_redirect = True;
        attributes.event_mask |= VisibilityChangeMask;
        mask |= CWOverrideRedirect;
    }
    // A child of the desktop window is not a top-level window of the
    // program's: no window manager frames or moves it.
    if (parent == root && !top_level) {
        attributes.override_redirect = True;
        mask |= CWOverrideRedirect;
    }

    x11_trap_errors();
    Window window = XCreateWindow(display, parent, desc->x, desc->y, record.width, record.height, 0, depth, InputOutput,
                                  visual, mask, &attributes);
    int error = x11_untrap_errors();
    if (error || !window) {
        if (record.colormap) XFreeColormap(display, record.colormap);
        if (!top_level && !made.count(parent)) say_why_not_inside(parent, error);
        return nullptr;
    }
    record.id = window;
    windows.push_back(record);
    made.insert(window);
    // The program's windows follow the size of the window that a daemon
    // hosts the run in (a change of screen layout resizes it).
    if (desc->parent && desc->parent == layer_hosted_window()) {
        x11_trap_errors();
        XSelectInput(display, parent, StructureNotifyMask);
        x11_untrap_errors();
    }

    HWND hwnd = (HWND)(uintptr_t)window;
    x11_set_title(hwnd, desc->title);
    const char* class_name = desc->class_name ? desc->class_name : "";
    set_string_property(window, x11_atoms.win32_class, XA_STRING, class_name);
    XClassHint hint;
    hint.res_name = program_invocation_short_name;
    hint.res_class = (char*)class_name;
    XSetClassHint(display, window, &hint);
    long pid = getpid();
    XChangeProperty(display, window, x11_atoms.net_wm_pid, XA_CARDINAL, 32, PropModeReplace, (const unsigned char*)&pid,
                    1);

    if (top_level && !record.saver) {
        XSetWMProtocols(display, window, &x11_atoms.wm_delete_window, 1);
        if (desc->ex_style & WS_EX_TOPMOST)
            XChangeProperty(display, window, x11_atoms.net_wm_state, XA_ATOM, 32, PropModeReplace,
                            (const unsigned char*)&x11_atoms.net_wm_state_above, 1);
        if ((desc->style & WS_POPUP) && !(desc->style & WS_CAPTION)) {
            // Motif hints: flags = decorations, decorations = none.
            long hints[5] = {2, 0, 0, 0, 0};
            XChangeProperty(display, window, x11_atoms.motif_wm_hints, x11_atoms.motif_wm_hints, 32, PropModeReplace,
                            (const unsigned char*)hints, 5);
        }
        // Ask the window manager to keep the position the program chose.
        XSizeHints size{};
        size.flags = PPosition | PSize;
        size.x = desc->x;
        size.y = desc->y;
        size.width = record.width;
        size.height = record.height;
        XSetWMNormalHints(display, window, &size);
    }
    XFlush(display);
    return hwnd;
}

void x11_destroy_window(HWND hwnd) {
    Window window = (Window)(uintptr_t)hwnd;
    x11_forget_window(window);  // its children's records go at their DestroyNotify
    // A handle that the server already destroyed with its parent names no
    // window any more.
    x11_trap_errors();
    XDestroyWindow(display, window);
    x11_untrap_errors();
}

void x11_show_window(HWND hwnd, bool visible) {
    Window window = (Window)(uintptr_t)hwnd;
    X11Window* record = x11_find_window(window);
    x11_trap_errors();
    if (!visible)
        XUnmapWindow(display, window);
    else if (record && record->saver)
        XMapRaised(display, window);
    else
        XMapWindow(display, window);
    x11_untrap_errors();
}

void x11_set_window_rect(HWND hwnd, int x, int y, int width, int height) {
    Window window = (Window)(uintptr_t)hwnd;
    if (width < 1) width = 1;  // X has no empty windows
    if (height < 1) height = 1;
    if (X11Window* record = x11_find_window(window)) {
        record->width = width;
        record->height = height;
    }
    x11_trap_errors();
    XMoveResizeWindow(display, window, x, y, (unsigned)width, (unsigned)height);
    x11_untrap_errors();
}

bool x11_is_foreign_window(HWND hwnd) {
    Window window = (Window)(uintptr_t)hwnd;
    if (!window) return false;
    XWindowAttributes attributes;
    x11_trap_errors();
    Status status = XGetWindowAttributes(display, window, &attributes);
    return !x11_untrap_errors() && status;
}

bool x11_get_foreign_client_rect(HWND hwnd, RECT* rect) {
    XWindowAttributes attributes;
    x11_trap_errors();
    Status status = XGetWindowAttributes(display, (Window)(uintptr_t)hwnd, &attributes);
    if (x11_untrap_errors() || !status) return false;
    *rect = {0, 0, attributes.width, attributes.height};
    return true;
}

// Top-level windows only, topmost first, as FindWindowA searches: the
// root's children, and one level below them the clients that a window
// manager has framed (never the children of a window of ours).
HWND x11_find(const char* class_name, const char* title) {
    x11_trap_errors();
    Window found = None;
    std::vector<Window> top = children_of(root);
    for (auto it = top.rbegin(); it != top.rend() && !found; ++it) {
        if (window_matches(*it, class_name, title)) {
            found = *it;
            break;
        }
        if (has_property(*it, x11_atoms.win32_class)) continue;
        std::vector<Window> inner = children_of(*it);
        for (auto child = inner.rbegin(); child != inner.rend(); ++child) {
            if (has_property(*child, x11_atoms.wm_state) && window_matches(*child, class_name, title)) {
                found = *child;
                break;
            }
        }
    }
    x11_untrap_errors();
    return (HWND)(uintptr_t)found;
}

// Another process's window learns the message as a client message; a
// process of ours turns it back into a posted message.
bool x11_post_foreign(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = (Window)(uintptr_t)hwnd;
    event.xclient.message_type = x11_atoms.win32_message;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)message;
    event.xclient.data.l[1] = (long)wparam;
    event.xclient.data.l[2] = (long)lparam;
    x11_trap_errors();
    Status sent = XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    return !x11_untrap_errors() && sent;
}

void x11_set_foreground(HWND hwnd) {
    Window window = x11_toplevel_of((Window)(uintptr_t)hwnd);
    X11Window* record = x11_find_window(window);
    x11_trap_errors();
    XRaiseWindow(display, window);
    if (record && record->saver) {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        grab_input(window);
    } else {
        send_net_active_window(window);
        if (record) XSetInputFocus(display, window, RevertToParent, CurrentTime);
    }
    x11_untrap_errors();
    if (record) x11_app_active = true;
}

HWND x11_get_foreground() {
    Window focus;
    int revert;
    XGetInputFocus(display, &focus, &revert);
    if (focus == None || focus == PointerRoot || focus == root) return nullptr;
    x11_trap_errors();
    Window top = x11_toplevel_of(focus);
    x11_untrap_errors();
    return (HWND)(uintptr_t)top;
}

bool x11_get_cursor_pos(POINT* point) {
    Window root_return, child;
    int x, y, wx, wy;
    unsigned state;
    XQueryPointer(display, root, &root_return, &child, &x, &y, &wx, &wy, &state);
    point->x = x;
    point->y = y;
    return true;
}

bool x11_set_cursor_pos(int x, int y) {
    XWarpPointer(display, None, root, 0, 0, 0, 0, x, y);
    XFlush(display);
    return true;
}

void x11_set_cursor_visible(HWND hwnd, bool visible) {
    Window only = (Window)(uintptr_t)hwnd;
    for (X11Window& window : windows) {
        if (only && window.id != only) continue;
        if (window.cursor_hidden == !visible) continue;  // the usual case, asked at every mouse move
        window.cursor_hidden = !visible;
        x11_trap_errors();
        if (visible)
            XUndefineCursor(display, window.id);
        else
            XDefineCursor(display, window.id, blank_cursor);
        x11_untrap_errors();
    }
}

void x11_get_screen_size(int* width, int* height) {
    *width = DisplayWidth(display, screen);
    *height = DisplayHeight(display, screen);
}

HWND x11_desktop_window() {
    return (HWND)(uintptr_t)root;
}

// Whether an X display answers, without a word when none does.
bool x11_answers() {
    if (display) return true;
    Display* probe = XOpenDisplay(nullptr);
    if (!probe) return false;
    XCloseDisplay(probe);
    return true;
}

const LayerCursorDriver cursor = {x11_get_cursor_pos, x11_set_cursor_pos, x11_set_cursor_visible};

const LayerForeignDriver foreign = {
    x11_is_foreign_window, x11_get_foreign_client_rect, x11_find, x11_post_foreign, x11_desktop_window,
};

}  // namespace

const LayerDriver* layer_x11_driver() {
    // Built on first use: the capability tables live in other files.
    static const LayerDriver driver = {
        "x11",
        x11_answers,
        x11_open,
        x11_close,
        x11_create_window,
        x11_destroy_window,
        x11_set_title,
        x11_show_window,
        x11_set_window_rect,
        x11_set_foreground,
        x11_get_foreground,
        x11_get_screen_size,
        x11_process_events,
        nullptr,  // reset: nothing a test sets
        &cursor,
        &foreign,
        x11_gl_driver(),
        x11_mode_driver(),
        x11_message_box_driver(),
        x11_dialog_driver(),
    };
    return &driver;
}

Display* x11_display() {
    return display;
}
int x11_screen() {
    return screen;
}

GLXFBConfig x11_window_fbconfig(HWND hwnd) {
    X11Window* record = x11_find_window((Window)(uintptr_t)hwnd);
    return record ? record->fbconfig : nullptr;
}

void x11_trap_errors() {
    XSync(display, False);
    trapping = true;
    trapped_error = 0;
}

int x11_untrap_errors() {
    XSync(display, False);
    trapping = false;
    return trapped_error;
}

bool x11_is_window_gone_error(Window id, int code) {
    return is_window_gone_error(code) && made.count(id);
}

X11Window* x11_find_window(Window id) {
    for (X11Window& window : windows)
        if (window.id == id) return &window;
    return nullptr;
}

// For windows of ours the top-level is the outermost window of ours; for
// others the outermost window-manager client, or the root's child.
Window x11_toplevel_of(Window id) {
    Window own = None, client = None, outer = id;
    for (Window window = id; window && window != root; window = parent_of(window)) {
        if (x11_find_window(window))
            own = window;
        else if (has_property(window, x11_atoms.wm_state))
            client = window;
        outer = window;
    }
    if (own) return own;
    return client ? client : outer;
}

void x11_forget_window(Window id) {
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i].id != id) continue;
        if (windows[i].colormap) XFreeColormap(display, windows[i].colormap);
        windows.erase(windows.begin() + i);
        return;
    }
}

void x11_set_dialog_hints(Window window, HWND owner) {
    Display* display = x11_display();
    Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
    Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(display, window, type, XA_ATOM, 32, PropModeReplace, (const unsigned char*)&dialog, 1);
    if (owner) XSetTransientForHint(display, window, x11_toplevel_of((Window)(uintptr_t)owner));
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    XSizeHints size{};
    size.flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
    size.x = attributes.x;
    size.y = attributes.y;
    size.width = size.min_width = size.max_width = attributes.width;
    size.height = size.min_height = size.max_height = attributes.height;
    XSetWMNormalHints(display, window, &size);
}

XftColor x11_colour(unsigned rgb) {
    Display* display = x11_display();
    XRenderColor value = {(unsigned short)(((rgb >> 16) & 0xFF) * 0x101), (unsigned short)(((rgb >> 8) & 0xFF) * 0x101),
                          (unsigned short)((rgb & 0xFF) * 0x101), 0xFFFF};
    XftColor result;
    XftColorAllocValue(display, DefaultVisual(display, x11_screen()), DefaultColormap(display, x11_screen()), &value,
                       &result);
    return result;
}
