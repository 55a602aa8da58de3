// The X11 driver's windows: native windows of the program's (a window
// handle is the X window id) and what it remembers of each, and windows of
// other processes, which a handle on the command line may name and
// FindWindowA searches.
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "x11/x11_private.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>
#include <algorithm>
#include <string>
#include <vector>

namespace {

void set_string_property(Window window, Atom property, Atom type, const char* text) {
    XChangeProperty(x11_state.display, window, property, type, 8, PropModeReplace, (const unsigned char*)text,
                    (int)strlen(text));
}

// Whole text of a string property; empty when absent.
bool read_string_property(Window window, Atom property, std::string* text) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(x11_state.display, window, property, 0, 4096, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) != Success)
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
    int status = XGetWindowProperty(x11_state.display, window, property, 0, 0, False, AnyPropertyType, &type, &format,
                                    &count, &after, &data);
    if (data) XFree(data);
    return status == Success && type != None;
}

std::vector<Window> children_of(Window window) {
    Window root_return, parent;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    if (XQueryTree(x11_state.display, window, &root_return, &parent, &children, &count))
        result.assign(children, children + count);
    if (children) XFree(children);
    return result;
}

Window parent_of(Window window) {
    Window root_return, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(x11_state.display, window, &root_return, &parent, &children, &count)) parent = None;
    if (children) XFree(children);
    return parent;
}

// Win32 compares class names and titles without regard to case.
bool window_matches(Window window, const char* class_name, const char* title) {
    std::string text;
    if (class_name) {
        if (!read_string_property(window, x11_state.atoms.win32_class, &text) ||
            strcasecmp(text.c_str(), class_name) != 0)
            return false;
    }
    if (title) {
        if (!read_string_property(window, x11_state.atoms.net_wm_name, &text) &&
            !read_string_property(window, XA_WM_NAME, &text))
            return false;
        if (strcasecmp(text.c_str(), title) != 0) return false;
    }
    return true;
}

// Another client's window that ours cannot go into: the run ends before it
// begins, so say why, once.
void say_why_not_inside(Window host, int error) {
    XWindowAttributes attributes;
    x11_expect_error(x11_state.display);
    Status got = XGetWindowAttributes(x11_state.display, host, &attributes);
    bool exists = !x11_check_error() && got;
    char text[160];
    if (!exists)
        snprintf(text, sizeof text, "it went away");
    else if (attributes.c_class == InputOnly)
        snprintf(text, sizeof text, "it is an input-only window, which shows nothing");
    else
        XGetErrorText(x11_state.display, error, text, sizeof text);
    fprintf(stderr, "%s: cannot draw inside window 0x%lx: %s\n", program_invocation_short_name, host, text);
}

bool x11_is_foreign_window(HWND hwnd) {
    Window window = (Window)(uintptr_t)hwnd;
    if (!window) return false;
    XWindowAttributes attributes;
    x11_expect_error(x11_state.display);
    Status status = XGetWindowAttributes(x11_state.display, window, &attributes);
    return !x11_check_error() && status;
}

bool x11_get_foreign_client_rect(HWND hwnd, RECT* rect) {
    XWindowAttributes attributes;
    x11_expect_error(x11_state.display);
    Status status = XGetWindowAttributes(x11_state.display, (Window)(uintptr_t)hwnd, &attributes);
    if (x11_check_error() || !status) return false;
    *rect = {0, 0, attributes.width, attributes.height};
    return true;
}

// Top-level windows only, topmost first, as FindWindowA searches: the
// root's children, and one level below them the clients that a window
// manager has framed (never the children of a window of ours).
HWND x11_find(const char* class_name, const char* title) {
    x11_expect_error(x11_state.display);
    Window found = None;
    std::vector<Window> top = children_of(x11_state.root);
    for (auto it = top.rbegin(); it != top.rend() && !found; ++it) {
        if (window_matches(*it, class_name, title)) {
            found = *it;
            break;
        }
        if (has_property(*it, x11_state.atoms.win32_class)) continue;
        std::vector<Window> inner = children_of(*it);
        for (auto child = inner.rbegin(); child != inner.rend(); ++child) {
            if (has_property(*child, x11_state.atoms.wm_state) && window_matches(*child, class_name, title)) {
                found = *child;
                break;
            }
        }
    }
    x11_check_error();
    return (HWND)(uintptr_t)found;
}

// Another process's window learns the message as a client message; a
// process of ours turns it back into a posted message.
bool x11_post_foreign(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = (Window)(uintptr_t)hwnd;
    event.xclient.message_type = x11_state.atoms.win32_message;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)message;
    event.xclient.data.l[1] = (long)wparam;
    event.xclient.data.l[2] = (long)lparam;
    x11_expect_error(x11_state.display);
    Status sent = XSendEvent(x11_state.display, event.xclient.window, False, NoEventMask, &event);
    return !x11_check_error() && sent;
}

HWND x11_desktop_window() {
    return (HWND)(uintptr_t)x11_state.root;
}

const LayerForeignDriver foreign = {
    x11_is_foreign_window, x11_get_foreign_client_rect, x11_find, x11_post_foreign, x11_desktop_window,
};

}  // namespace

void x11_set_title(HWND hwnd, const char* title) {
    Display* display = x11_state.display;
    Window window = (Window)(uintptr_t)hwnd;
    if (!title) title = "";
    set_string_property(window, x11_state.atoms.net_wm_name, x11_state.atoms.utf8_string, title);
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

namespace {

// The saver window as Windows makes it: at the screen's origin, the size of
// the primary monitor (SM_CXSCREEN, SM_CYSCREEN).
bool covers_primary_monitor(const LayerWindowDesc* desc) {
    const X11Monitor& primary = x11_monitors().front();
    return desc->x <= 0 && desc->y <= 0 && desc->x + desc->width >= primary.width &&
           desc->y + desc->height >= primary.height;
}

struct Place {
    int x, y, width, height;
};

// The window's part on the monitors, and so where its native window goes.
// The saver covers every monitor, so none shows the desktop; a GL window in
// its corner spreads over them all while there are several, each showing
// its picture (x11_spread.cpp). The native windows of both cover the X
// screen; any other window's is where the program put it, at least 1 x 1
// as X has no empty windows.
Place place_on_monitors(const LayerWindowDesc* desc, X11Window* record) {
    const bool top_level = !desc->parent;
    record->saver =
        top_level && (desc->style & WS_POPUP) && (desc->ex_style & WS_EX_TOPMOST) && covers_primary_monitor(desc);
    const X11Window* saver_parent = top_level ? nullptr : x11_find_window((Window)(uintptr_t)desc->parent);
    record->spreadable =
        saver_parent && saver_parent->saver && (desc->class_style & CS_OWNDC) && desc->x == 0 && desc->y == 0;
    record->spread = record->spreadable && x11_monitors().size() > 1;
    if (!record->saver && !record->spread)
        return {desc->x, desc->y, std::max(desc->width, 1), std::max(desc->height, 1)};
    record->native_width = DisplayWidth(x11_state.display, x11_state.screen);
    record->native_height = DisplayHeight(x11_state.display, x11_state.screen);
    return {0, 0, record->native_width, record->native_height};
}

// An OpenGL context goes on a CS_OWNDC window later, and a window's visual
// is fixed when it is made: it gets the visual of a GL configuration now,
// with a colormap of its own. Without one it keeps the parent's visual.
void choose_gl_visual(X11Window* record, Visual** visual, int* depth) {
    Display* display = x11_state.display;
    record->fbconfig = x11_choose_window_config();
    XVisualInfo* info = record->fbconfig ? glXGetVisualFromFBConfig(display, record->fbconfig) : nullptr;
    if (!info) {
        // GLX found nothing because the server went while it looked.
        x11_check_connection();
        layer_fixme_once("no GLX visual with double buffering and depth; CS_OWNDC windows use the default visual");
        record->fbconfig = nullptr;
        return;
    }
    *visual = info->visual;
    *depth = info->depth;
    record->colormap = XCreateColormap(display, x11_state.root, info->visual, AllocNone);
    XFree(info);
}

// The native window's attributes: the events the driver translates, its
// background, and whether a window manager leaves it alone. The mask of
// those set.
unsigned long window_attributes(const LayerWindowDesc* desc, const X11Window& record, Window parent,
                                XSetWindowAttributes* attributes) {
    unsigned long mask = CWEventMask | CWBorderPixel;
    attributes->event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                             StructureNotifyMask | FocusChangeMask | ExposureMask;
    if (record.colormap) {
        attributes->colormap = record.colormap;
        mask |= CWColormap;
    }
    // The saver's class brush is black; a GL window is black until its first
    // frame. Other windows are painted by the core, so the server leaves
    // their background alone.
    if (record.saver || record.colormap || (desc->class_style & CS_OWNDC)) {
        attributes->background_pixel = record.colormap ? 0 : BlackPixel(x11_state.display, x11_state.screen);
        mask |= CWBackPixel;
    } else {
        attributes->background_pixmap = None;
        mask |= CWBackPixmap;
    }
    if (record.saver) {
        attributes->override_redirect = True;
        attributes->event_mask |= VisibilityChangeMask;
        mask |= CWOverrideRedirect;
    }
    // A child of the desktop window is not a top-level window of the
    // program's: no window manager frames or moves it.
    if (parent == x11_state.root && desc->parent) {
        attributes->override_redirect = True;
        mask |= CWOverrideRedirect;
    }
    return mask;
}

// What other clients read on the window: its title, its class (which
// FindWindowA matches), its process, and for a top-level window other than
// the saver what a window manager is to do with it.
void set_hints(Window window, const LayerWindowDesc* desc, const X11Window& record, const Place& place) {
    Display* display = x11_state.display;
    const X11Atoms& atoms = x11_state.atoms;
    x11_set_title((HWND)(uintptr_t)window, desc->title);
    const char* class_name = desc->class_name ? desc->class_name : "";
    set_string_property(window, atoms.win32_class, XA_STRING, class_name);
    XClassHint hint;
    hint.res_name = program_invocation_short_name;
    hint.res_class = (char*)class_name;
    XSetClassHint(display, window, &hint);
    long pid = getpid();
    XChangeProperty(display, window, atoms.net_wm_pid, XA_CARDINAL, 32, PropModeReplace, (const unsigned char*)&pid, 1);
    if (desc->parent || record.saver) return;

    Atom protocols[] = {atoms.wm_delete_window};
    XSetWMProtocols(display, window, protocols, 1);
    if (desc->ex_style & WS_EX_TOPMOST)
        XChangeProperty(display, window, atoms.net_wm_state, XA_ATOM, 32, PropModeReplace,
                        (const unsigned char*)&atoms.net_wm_state_above, 1);
    if ((desc->style & WS_POPUP) && !(desc->style & WS_CAPTION)) {
        // Motif hints: flags = decorations, decorations = none.
        long hints[5] = {2, 0, 0, 0, 0};
        XChangeProperty(display, window, atoms.motif_wm_hints, atoms.motif_wm_hints, 32, PropModeReplace,
                        (const unsigned char*)hints, 5);
    }
    // Ask the window manager to keep the position the program chose.
    XSizeHints size{};
    size.flags = PPosition | PSize;
    size.x = desc->x;
    size.y = desc->y;
    size.width = place.width;
    size.height = place.height;
    XSetWMNormalHints(display, window, &size);
}

}  // namespace

HWND x11_create_window(const LayerWindowDesc* desc) {
    Display* display = x11_state.display;
    const bool top_level = !desc->parent;
    const Window parent = top_level ? x11_state.root : (Window)(uintptr_t)desc->parent;
    X11Window record{};
    const Place place = place_on_monitors(desc, &record);
    Visual* visual = CopyFromParent;
    int depth = CopyFromParent;
    if (desc->class_style & CS_OWNDC) choose_gl_visual(&record, &visual, &depth);
    XSetWindowAttributes attributes{};
    const unsigned long mask = window_attributes(desc, record, parent, &attributes);

    x11_expect_error(display);
    Window window = XCreateWindow(display, parent, place.x, place.y, place.width, place.height, 0, depth, InputOutput,
                                  visual, mask, &attributes);
    int error = x11_check_error();
    if (error || !window) {
        if (record.colormap) XFreeColormap(display, record.colormap);
        if (!top_level && !x11_made_window(parent)) say_why_not_inside(parent, error);
        return nullptr;
    }
    record.id = window;
    x11_state.windows.push_back(record);
    x11_state.made.insert(window);
    // The program's windows follow the size of the window that a daemon
    // hosts the run in (a change of screen layout resizes it).
    if (desc->parent && desc->parent == layer_hosted_window()) {
        x11_expect_error(display);
        XSelectInput(display, parent, StructureNotifyMask);
        x11_check_error();
    }
    set_hints(window, desc, record, place);
    XFlush(display);
    return (HWND)(uintptr_t)window;
}

void x11_destroy_window(HWND hwnd) {
    Window window = (Window)(uintptr_t)hwnd;
    x11_forget_window(window);  // its children's records go at their DestroyNotify
    // A handle that the server already destroyed with its parent names no
    // window any more.
    x11_expect_error(x11_state.display);
    XDestroyWindow(x11_state.display, window);
    x11_check_error();
}

void x11_show_window(HWND hwnd, bool visible) {
    Window window = (Window)(uintptr_t)hwnd;
    X11Window* record = x11_find_window(window);
    x11_expect_error(x11_state.display);
    if (!visible)
        XUnmapWindow(x11_state.display, window);
    else if (record && record->saver)
        XMapRaised(x11_state.display, window);
    else
        XMapWindow(x11_state.display, window);
    x11_check_error();
}

void x11_set_window_rect(HWND hwnd, int x, int y, int width, int height) {
    Window window = (Window)(uintptr_t)hwnd;
    if (width < 1) width = 1;  // X has no empty windows
    if (height < 1) height = 1;
    if (X11Window* record = x11_find_window(window)) {
        // Their native windows keep the screen's size.
        if (record->spread) x11_resize_picture(window);
        if (record->saver || record->spread) return;
    }
    x11_expect_error(x11_state.display);
    XMoveResizeWindow(x11_state.display, window, x, y, (unsigned)width, (unsigned)height);
    x11_check_error();
}

void x11_follow_screen_layout() {
    Display* display = x11_state.display;
    const int width = DisplayWidth(display, x11_state.screen), height = DisplayHeight(display, x11_state.screen);
    for (X11Window& window : x11_state.windows) {
        x11_spread_follow_monitors(&window);
        if (!(window.saver || window.spread) || (window.native_width == width && window.native_height == height))
            continue;
        window.native_width = width;
        window.native_height = height;
        x11_expect_error(display);
        XResizeWindow(display, window.id, static_cast<unsigned>(width), static_cast<unsigned>(height));
        x11_check_error();
    }
}

bool x11_stand_aside(Window id) {
    X11Window* record = x11_find_window(id);
    if (!record || !record->saver) return false;
    record->saver = false;
    return true;
}

void x11_come_back(Window id) {
    if (X11Window* record = x11_find_window(id)) record->saver = true;
}

X11Size x11_core_size(Window id) {
    RECT client = {};
    GetClientRect((HWND)(uintptr_t)id, &client);
    return {std::max<int>(client.right, 1), std::max<int>(client.bottom, 1)};
}

X11Window* x11_find_window(Window id) {
    for (X11Window& window : x11_state.windows)
        if (window.id == id) return &window;
    return nullptr;
}

bool x11_made_window(Window id) {
    return x11_state.made.count(id) != 0;
}

// For windows of ours the top-level is the outermost window of ours; for
// others the outermost window-manager client, or the root's child.
Window x11_toplevel_of(Window id) {
    Window own = None, client = None, outer = id;
    for (Window window = id; window && window != x11_state.root; window = parent_of(window)) {
        if (x11_find_window(window))
            own = window;
        else if (has_property(window, x11_state.atoms.wm_state))
            client = window;
        outer = window;
    }
    if (own) return own;
    return client ? client : outer;
}

void x11_forget_window(Window id) {
    std::vector<X11Window>& windows = x11_state.windows;
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i].id != id) continue;
        if (windows[i].colormap) XFreeColormap(x11_state.display, windows[i].colormap);
        windows.erase(windows.begin() + i);
        return;
    }
}

void x11_forget_windows() {
    for (X11Window& window : x11_state.windows)
        if (window.colormap) XFreeColormap(x11_state.display, window.colormap);
    x11_state.windows.clear();
}

GLXFBConfig x11_window_fbconfig(HWND hwnd) {
    X11Window* record = x11_find_window((Window)(uintptr_t)hwnd);
    return record ? record->fbconfig : nullptr;
}

void x11_set_dialog_hints(Window window, HWND owner) {
    Display* display = x11_state.display;
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

const LayerForeignDriver* x11_foreign_driver() {
    return &foreign;
}
