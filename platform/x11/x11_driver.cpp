// The X11 driver: its record (x11_private.h), the opening of every
// connection, the display connection the driver shares, and what the
// driver does with the errors X reports. layer_x11_driver() is the table
// the core uses; its windows are x11_windows.cpp's, focus, grabs and
// cursor x11_focus.cpp's.
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "x11/x11_private.h"

#include <X11/XKBlib.h>
#include <X11/Xlib-xcb.h>
#include <X11/extensions/Xrandr.h>
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

X11State x11_state;

namespace {

// How long a new connection waits for the server's answer: far longer than
// any server takes, even on a loaded machine, and short enough that a
// stopped or hung one is reported rather than waited for.
constexpr int answer_wait_s = 10;

// An error on a connection is caught by every expectation open on it since
// before its request, not reported.
bool caught_as_expected(Display* display, const XErrorEvent& error) {
    bool caught = false;
    for (X11ExpectedError& open : x11_state.expected) {
        // Serials wrap: the difference tells which came first.
        if (open.display != display || static_cast<long>(error.serial - open.first) < 0) continue;
        if (!open.code) open.code = error.error_code;
        caught = true;
    }
    return caught;
}

// GLX's own error numbers, from its protocol header: GLXBadDrawable 2,
// GLXBadWindow 12.
const int glx_bad_drawable = 2, glx_bad_window = 12;
// X_FreeGC of the core protocol's header, which clashes with Win32's BOOL.
const int x_free_gc = 60;

bool is_window_gone_error(int code) {
    const int glx = x11_state.glx_error_base;
    return code == BadWindow || code == BadDrawable ||
           (glx >= 0 && (code == glx + glx_bad_drawable || code == glx + glx_bad_window));
}

int on_x_error(Display* display, XErrorEvent* error) {
    if (caught_as_expected(display, *error)) return 0;
    // Another client destroyed a window of ours (the window it gave us to
    // draw in went, and ours inside it): what was already on its way to it,
    // a frame being presented, fails before we hear of it. Not our error.
    if (x11_is_window_gone_error(error->resourceid, error->error_code)) return 0;
    // So did a graphics context that GLX made on such a window: freeing
    // what was never made.
    if (error->error_code == BadGC && error->request_code == x_free_gc) return 0;
    char text[160];
    XGetErrorText(display, error->error_code, text, sizeof text);
    fprintf(stderr, "%s: X error: %s (request %d.%d, resource 0x%lx)\n", program_invocation_short_name, text,
            error->request_code, error->minor_code, error->resourceid);
    return 0;
}

// The server went away: nothing more can be shown, so leave at once
// instead of hanging, after the layer's exit hooks. A hook that talks to
// the dead connection comes back here, and then we go without the rest.
// Reached from Xlib and from a fault's signal handler: async-signal-safe.
[[noreturn]] void leave_for_lost_connection() {
    if (!x11_state.leaving) {
        x11_state.leaving = 1;
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

bool x11_open() {
    if (x11_state.display) return true;
    // Xlib's handler is one for all connections; set before the connection
    // is made, as the server may go while it is being made.
    XSetIOErrorHandler(on_x_io_error);
    Display* display = x11_state.display = x11_connect(nullptr);
    if (!display) {
        fprintf(stderr, "%s: cannot open the X display \"%s\"; is DISPLAY set?\n", program_invocation_short_name,
                layer_printable(XDisplayName(nullptr)).c_str());
        return false;
    }
    XSetErrorHandler(on_x_error);
    layer_set_fault_check(x11_check_connection);
    // A write to a server that went away would end the process by SIGPIPE,
    // silently; ignored, it fails, and the I/O error handler says why.
    layer_ignore_broken_pipes();
    x11_state.screen = DefaultScreen(display);
    const Window root = x11_state.root = RootWindow(display, x11_state.screen);
    int glx_event_base;
    if (!glXQueryExtension(display, &x11_state.glx_error_base, &glx_event_base)) x11_state.glx_error_base = -1;

    static const char* names[] = {"WM_PROTOCOLS",        "WM_DELETE_WINDOW", "WM_STATE",           "_NET_WM_NAME",
                                  "UTF8_STRING",         "_NET_WM_PID",      "_NET_ACTIVE_WINDOW", "_NET_WM_STATE",
                                  "_NET_WM_STATE_ABOVE", "_MOTIF_WM_HINTS",  "_WIN32_CLASS",       "_WIN32_MESSAGE"};
    Atom atoms[sizeof names / sizeof names[0]];
    XInternAtoms(display, (char**)names, sizeof names / sizeof names[0], False, atoms);
    x11_state.atoms = {atoms[0], atoms[1], atoms[2], atoms[3], atoms[4],  atoms[5],
                       atoms[6], atoms[7], atoms[8], atoms[9], atoms[10], atoms[11]};

    // The screen's size and its monitors follow display-mode changes
    // (DisplayWidth and DisplayHeight are updated, and the monitors read
    // again, as the change notices come in).
    int error_base;
    if (XRRQueryExtension(display, &x11_state.randr_event_base, &error_base))
        XRRSelectInput(display, root, RRScreenChangeNotifyMask);
    else
        x11_state.randr_event_base = -1;

    // A held key repeats as presses alone, so the previous-state bit of the
    // lParam can tell a repeat from a new press, as on Windows.
    Bool supported;
    XkbSetDetectableAutoRepeat(display, True, &supported);

    x11_make_blank_cursor();
    return true;
}

void x11_close() {
    if (!x11_state.display) return;
    x11_forget_windows();
    x11_free_blank_cursor();
    x11_forget_monitors();
    layer_set_fault_check(nullptr);
    XCloseDisplay(x11_state.display);
    x11_state.display = nullptr;
}

// As on Windows, the screen's size is the primary monitor's; the whole
// desktop is the root window's.
void x11_get_screen_size(int* width, int* height) {
    const X11Monitor& primary = x11_monitors().front();
    *width = primary.width;
    *height = primary.height;
}

// Whether an X display answers, without a word when none does.
bool x11_answers() {
    if (x11_state.display) return true;
    Display* probe = x11_connect(nullptr);
    if (!probe) return false;
    XCloseDisplay(probe);
    return true;
}

}  // namespace

const LayerDriver* layer_x11_driver() {
    // Built on first use: the capability tables live in other files.
    static const LayerDriver driver = {
        "x11",
        x11_answers,
        nullptr,  // named: the last tried, opened to say why when none answers
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
        x11_cursor_driver(),
        x11_foreign_driver(),
        x11_gl_driver(),
        x11_mode_driver(),
        x11_message_box_driver(),
        x11_dialog_driver(),
    };
    return &driver;
}

Display* x11_connect(const char* name) {
    // XOpenDisplay waits for the server's answer without a bound: a stopped
    // server takes the connection and never answers, a host that drops
    // packets never takes it. A watch beside it says so and ends the
    // process when no answer comes in time. Nothing the run changed needs
    // putting back yet, and the exit hooks would wait on that server too.
    const std::string silent = std::string(program_invocation_short_name) + ": the X display \"" +
                               layer_printable(XDisplayName(name)) + "\" did not answer within " +
                               std::to_string(answer_wait_s) + " s\n";
    std::promise<void> opened;
    // The watch takes no signal: they stay this thread's.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    std::thread watch([&silent, answered = opened.get_future()] {
        if (answered.wait_for(std::chrono::seconds(answer_wait_s)) == std::future_status::ready) return;
        ssize_t ignored = write(STDERR_FILENO, silent.data(), silent.size());
        (void)ignored;
        _exit(1);
    });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    Display* display = XOpenDisplay(name);
    opened.set_value();
    watch.join();
    return display;
}

void x11_expect_error(Display* display) {
    // XNextRequest counts what GLX sent through the connection's XCB side too.
    x11_state.expected.push_back({display, XNextRequest(display), 0});
}

int x11_check_error() {
    std::vector<X11ExpectedError>& expected = x11_state.expected;
    if (expected.empty()) return 0;
    // Every request since has its answer, errors included, once this returns.
    XSync(expected.back().display, False);
    const int code = expected.back().code;
    expected.pop_back();
    return code;
}

bool x11_is_window_gone_error(Window id, int code) {
    return is_window_gone_error(code) && x11_made_window(id);
}

// GLX reads its answers from the connection's XCB side, where a server that
// went away gives no answer rather than an I/O error, and Mesa's GLX then
// reads through the missing answer. Such a fault is the lost connection.
void x11_check_connection() {
    Display* display = x11_state.display;
    if (display && xcb_connection_has_error(XGetXCBConnection(display))) leave_for_lost_connection();
}
