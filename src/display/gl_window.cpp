// The display window: rendering context, frame clock, input rules, close.
#include "display/gl_window.h"

#include <stdlib.h>

#include "assets/outline_font.h"
#include "assets/textures.h"
#include "display/pixel_format.h"
#include "scene/frame.h"
#include "scene/scene_state.h"

DisplayState& display_state() {
    static DisplayState state;
    return state;
}

namespace {

const double field_of_view = 45.0;
const double near_plane = 0.1;
const double far_plane = 1500.0;

// A height of 0 counts as 1, so the aspect ratio stays finite.
LONG at_least_one(LONG height) {
    return height == 0 ? 1 : height;
}

void load_projection(LONG width, LONG height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(field_of_view, static_cast<GLdouble>(width) / static_cast<GLdouble>(at_least_one(height)),
                   near_plane, far_plane);
    glMatrixMode(GL_MODELVIEW);
}

// A failed step of the context's set-up ends the run: the window itself is
// still made, and the saver window finishes its own steps first.
void fail(const char* text) {
    MessageBoxA(NULL, text, "Error", MB_OK | MB_ICONERROR);
    PostQuitMessage(0);
}

PictureProc load_gl_entry(const char* name) {
    return reinterpret_cast<PictureProc>(reinterpret_cast<void (*)()>(wglGetProcAddress(name)));
}

// The copy onto every monitor, told in one line as the Sun's passes are.
void start_copy(DisplayState& display) {
    const PictureWay way = picture_copy_start(&display.copier, load_gl_entry);
    OutputDebugStringA(way == picture_way_framebuffer ? "orrelune: every monitor's copy by frame-buffer objects\n"
                       : way == picture_way_textures  ? "orrelune: every monitor's copy by textures (OpenGL 1.1)\n"
                                                      : "orrelune: no copy of the picture onto the monitors\n");
    lay_out_picture();
}

void create_context(HWND window) {
    DisplayState& display = display_state();
    display.device_context = GetDC(window);
    const int format = ChoosePixelFormat(display.device_context, &display_pixel_format);
    if (!format) return fail("Can't find pixelformat.");
    if (!SetPixelFormat(display.device_context, format, &display_pixel_format)) return fail("Can't set pixelformat.");
    display.render_context = wglCreateContext(display.device_context);
    if (!display.render_context) return fail("Can't create GLRC.");
    if (!wglMakeCurrent(display.device_context, display.render_context)) return fail("Can't activate GLRC.");

    RECT client = {};
    GetClientRect(window, &client);
    // Covering every monitor, the window is larger than the picture, and
    // the viewport a context starts with is the window's.
    if (display.every_monitor) {
        init_gl(display.device_context, display.view_width, display.view_height);
        resize_view(display.view_width, display.view_height);
        start_copy(display);
    } else {
        init_gl(display.device_context, client.right, client.bottom);
    }
    SetTimer(window, frame_timer_id, frame_period_ms, NULL);
}

void tick(HWND window) {
    DisplayState& display = display_state();
    step_scene();
    picture_copy_begin(&display.copier);
    draw_frame();
    picture_copy_show(&display.copier);
    SwapBuffers(display.device_context);
    // Synchronous: the release has run when the send returns. A daemon whose
    // window holds the run decides alone when it ends.
    if (display.keys.down[VK_ESCAPE] && !display.in_daemon_window) SendMessageA(window, WM_CLOSE, 0, 0);
}

}  // namespace

void release_display() {
    DisplayState& display = display_state();
    if (display.window) KillTimer(display.window, frame_timer_id);
    ChangeDisplaySettingsA(NULL, 0);
    // The copy's objects go while their context is current.
    if (display.render_context) picture_copy_stop(&display.copier);
    if (display.device_context) wglMakeCurrent(display.device_context, NULL);
    if (display.render_context) {
        wglDeleteContext(display.render_context);
        display.render_context = NULL;
    }
    if (display.device_context) {
        ReleaseDC(display.window, display.device_context);
        display.device_context = NULL;
    }
    PostQuitMessage(0);
}

void init_gl(HDC device_context, LONG width, LONG height) {
    load_textures();
    glEnable(GL_TEXTURE_2D);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glShadeModel(GL_SMOOTH);
    load_projection(width, height);
    glEnable(GL_BLEND);
    build_outline_font(device_context);
    init_scene();
}

void resize_view(LONG width, LONG height) {
    glViewport(0, 0, width, at_least_one(height));
    load_projection(width, height);
}

void lay_out_picture() {
    DisplayState& display = display_state();
    if (!display.every_monitor || !display.render_context) return;
    picture_copy_layout(&display.copier, monitor_layout(display.monitors, display.view_width, display.view_height));
}

LRESULT CALLBACK gl_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: create_context(window); return 0;

    case WM_TIMER: tick(window); return 0;

    case WM_SIZE: {
        // Covering every monitor, the picture keeps its size.
        const DisplayState& display = display_state();
        if (display.every_monitor)
            resize_view(display.view_width, display.view_height);
        else
            resize_view(LOWORD(lparam), HIWORD(lparam));
        return 0;
    }

    case WM_KEYDOWN:
    case WM_KEYUP:
        // Virtual-key codes are below 256; anything else is not a key.
        if (wparam < 256) display_state().keys.down[wparam] = message == WM_KEYDOWN;
        return 0;

    case WM_MOUSEMOVE: {
        const DisplayState& display = display_state();
        if (!display.full_screen) return 0;
        // Client coordinates, on the screen from the window's corner: the
        // screen's corner, or that of all monitors.
        const LONG x = LOWORD(lparam) + display.window_origin.x, y = HIWORD(lparam) + display.window_origin.y;
        if (labs(x - display.start_cursor.x) + labs(y - display.start_cursor.y) > display_move_threshold)
            SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    }

    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // The picture covers the saver window, so a click lands here; the
        // saver window's rules decide what it does (a full-screen run ends,
        // a preview or a daemon's run does not), as they do for a key.
        SendMessageA(GetParent(window), message, wparam, lparam);
        return 0;

    case WM_CLOSE:
        // Not passed on. Releasing the display here would end a protected
        // run without the prompt: the saver window's own close asks for the
        // password first. Any other run ends at once through the release's
        // quit message.
        if (display_state().password_guarded)
            SendMessageA(GetParent(window), WM_CLOSE, 0, 0);
        else
            release_display();
        return 0;

    case WM_DESTROY: release_display(); return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}
