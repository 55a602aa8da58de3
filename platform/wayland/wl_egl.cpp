// The Wayland driver's side of pixel formats and rendering contexts, over
// EGL on the Wayland platform: one pixel format (the cheapest configuration
// that meets the program's request: double-buffered true colour with 16
// depth bits), an EGL context per rendering context, and the EGL window
// surface of each output a full-screen window shows on.
//
// Frames follow the compositor's frame callbacks: a swap waits until the
// compositor has taken the last frame, so the program draws no more frames
// than are shown. The compositor sends no callback for a surface nobody
// sees (under a lock screen, an output switched off), so the wait is
// bounded and that frame then goes unshown. The picture is drawn once, on
// the surface with the most pixels; the other outputs get a copy cropped to
// their proportions (or skip it while their last one is still held).
#include "kernel/layer_kernel.h"
#include "picture_cover.h"
#include "layer_driver.h"
#include "wayland/wl_private.h"

#include <EGL/eglext.h>
#include <GL/gl.h>
#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

// The driver record's EGL part.
WlEgl& egl = wayland_state.egl;

int attribute(EGLint name) {
    EGLint value = 0;
    eglGetConfigAttrib(egl.display, egl.config, name, &value);
    return value;
}

bool ready() {
    if (egl.display != EGL_NO_DISPLAY) return true;
    wl_display* connection = wayland_driver_display();
    if (!connection || egl.failed) return false;
    EGLDisplay made = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, connection, nullptr);
    if (made == EGL_NO_DISPLAY || !eglInitialize(made, nullptr, nullptr) || !eglBindAPI(EGL_OPENGL_API)) {
        // EGL asks the compositor too: a compositor gone is what failed.
        if (wl_display_get_error(connection)) wayland_connection_lost();
        fprintf(stderr, "%s: no EGL for the Wayland compositor\n", program_invocation_short_name);
        egl.failed = true;
        return false;
    }
    static const EGLint wanted[] = {EGL_SURFACE_TYPE,
                                    EGL_WINDOW_BIT,
                                    EGL_RENDERABLE_TYPE,
                                    EGL_OPENGL_BIT,
                                    EGL_RED_SIZE,
                                    1,
                                    EGL_GREEN_SIZE,
                                    1,
                                    EGL_BLUE_SIZE,
                                    1,
                                    EGL_DEPTH_SIZE,
                                    16,
                                    EGL_NONE};
    EGLConfig configs[64];
    EGLint count = 0;
    eglChooseConfig(made, wanted, configs, 64, &count);
    // EGL's order puts the fewest colour bits first, then the smallest
    // depth buffer; alpha and stencil cost fill time in a software renderer.
    int chosen = -1;
    for (int i = 0; i < count && chosen < 0; ++i) {
        EGLint alpha = 0, stencil = 0;
        eglGetConfigAttrib(made, configs[i], EGL_ALPHA_SIZE, &alpha);
        eglGetConfigAttrib(made, configs[i], EGL_STENCIL_SIZE, &stencil);
        if (!alpha && !stencil) chosen = i;
    }
    if (chosen < 0 && count > 0) chosen = 0;
    if (chosen < 0) {
        fprintf(stderr, "%s: EGL offers no configuration for an OpenGL window\n", program_invocation_short_name);
        eglTerminate(made);
        egl.failed = true;
        return false;
    }
    egl.display = made;
    egl.config = configs[chosen];
    egl.blit_framebuffer = reinterpret_cast<decltype(egl.blit_framebuffer)>(eglGetProcAddress("glBlitFramebuffer"));

    egl.format = {};
    egl.format.nSize = sizeof egl.format;
    egl.format.nVersion = 1;
    egl.format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    egl.format.iPixelType = PFD_TYPE_RGBA;
    egl.format.cRedBits = (BYTE)attribute(EGL_RED_SIZE);
    egl.format.cGreenBits = (BYTE)attribute(EGL_GREEN_SIZE);
    egl.format.cBlueBits = (BYTE)attribute(EGL_BLUE_SIZE);
    egl.format.cAlphaBits = (BYTE)attribute(EGL_ALPHA_SIZE);
    egl.format.cColorBits = (BYTE)(egl.format.cRedBits + egl.format.cGreenBits + egl.format.cBlueBits);
    egl.format.cBlueShift = 0;
    egl.format.cGreenShift = egl.format.cBlueBits;
    egl.format.cRedShift = (BYTE)(egl.format.cBlueBits + egl.format.cGreenBits);
    egl.format.cDepthBits = (BYTE)attribute(EGL_DEPTH_SIZE);
    egl.format.cStencilBits = (BYTE)attribute(EGL_STENCIL_SIZE);
    egl.format.iLayerType = PFD_MAIN_PLANE;
    return true;
}

int egl_format_count(HWND, int* settable) {
    *settable = ready() ? 1 : 0;
    return *settable;
}

bool egl_describe_format(HWND, int format, PIXELFORMATDESCRIPTOR* out) {
    if (format != 1 || !ready()) return false;
    *out = egl.format;
    return true;
}

bool egl_set_format(HWND, int format) {
    return format == 1 && ready();
}

void* egl_create_context(HWND, int format) {
    if (format != 1 || !ready()) return nullptr;
    EGLContext context = eglCreateContext(egl.display, egl.config, EGL_NO_CONTEXT, nullptr);
    return context == EGL_NO_CONTEXT ? nullptr : context;
}

// A window that shows on no output yet draws nowhere: the context is made
// current without a surface until one comes.
//
// The first time a context is made current with a surface, EGL sets its
// viewport and scissor box to that surface's size. Ours may have been
// current without one already, and the program set its viewport then to
// the window's size (the largest output's), while the first surface may be
// a smaller output's: what the program set is kept.
bool bind(HWND window, EGLContext context) {
    WlSurface* primary = window ? wayland_primary_surface(window) : nullptr;
    EGLSurface surface = primary ? primary->egl_surface : EGL_NO_SURFACE;
    const bool first = surface != EGL_NO_SURFACE && std::find(egl.placed_contexts.begin(), egl.placed_contexts.end(),
                                                              context) == egl.placed_contexts.end();
    GLint viewport[4] = {}, scissor[4] = {};
    const bool kept = first && eglGetCurrentContext() == context;
    if (kept) {
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_SCISSOR_BOX, scissor);
    }
    if (!eglMakeCurrent(egl.display, surface, surface, context)) return false;
    if (!first) return true;
    egl.placed_contexts.push_back(context);
    if (kept && viewport[2] > 0 && viewport[3] > 0) {
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
        glScissor(scissor[0], scissor[1], scissor[2], scissor[3]);
    }
    return true;
}

bool egl_make_current(HWND window, void* context) {
    if (!ready()) return false;
    if (!context) {
        egl.current_context = EGL_NO_CONTEXT;
        egl.current_window = nullptr;
        return eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (!bind(window, static_cast<EGLContext>(context))) return false;
    egl.current_context = static_cast<EGLContext>(context);
    egl.current_window = window;
    return true;
}

void egl_delete_context(void* context) {
    if (egl.current_context == context) egl_make_current(nullptr, nullptr);
    egl.placed_contexts.erase(std::remove(egl.placed_contexts.begin(), egl.placed_contexts.end(), context),
                              egl.placed_contexts.end());
    eglDestroyContext(egl.display, static_cast<EGLContext>(context));
}

void frame_done(void* data, wl_callback* callback, uint32_t) {
    wl_callback_destroy(callback);
    static_cast<WlSurface*>(data)->frame = nullptr;
}

const wl_callback_listener frame_listener = {frame_done};

// Presents the surface's back buffer when the compositor has taken the last
// frame; eglSwapBuffers itself never waits (swap interval 0): the wait is
// ours, bounded.
void present(WlSurface* surface) {
    if (surface->frame) return;
    if (!surface->unpaced) {
        // The frame callbacks pace the frames, never a wait inside a swap.
        eglSwapInterval(egl.display, 0);
        surface->unpaced = true;
    }
    surface->frame = wl_surface_frame(surface->surface);
    wl_callback_add_listener(surface->frame, &frame_listener, surface);
    wayland_acknowledge_configure(surface);
    eglSwapBuffers(egl.display, surface->egl_surface);
}

// Long enough to cover a frame at any refresh rate and a busy compositor;
// short enough that a hidden run draws only a few frames a second.
constexpr int frame_wait_ms = 250;

void wait_for_frame(HWND window) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(frame_wait_ms);
    for (;;) {
        // Looked up afresh each time: an output may go while we wait.
        WlSurface* primary = wayland_primary_surface(window);
        if (!primary || !primary->frame) return;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !wayland_read_events(static_cast<int>(left.count()))) return;
    }
}

void egl_swap_buffers(HWND window) {
    if (!egl.current_context || egl.current_window != window) return;
    wait_for_frame(window);
    WlSurface* primary = wayland_primary_surface(window);
    if (!primary) return;
    std::vector<WlSurface*> others = wayland_other_surfaces(window);
    if (egl.blit_framebuffer) {
        GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
        if (scissor) glDisable(GL_SCISSOR_TEST);
        for (WlSurface* other : others) {
            if (other->frame) continue;
            if (!eglMakeCurrent(egl.display, other->egl_surface, primary->egl_surface, egl.current_context)) continue;
            const PictureRect crop = picture_cover_rect(primary->buffer.width, primary->buffer.height,
                                                        other->buffer.width, other->buffer.height);
            egl.blit_framebuffer(crop.x, crop.y, crop.x + crop.width, crop.y + crop.height, 0, 0, other->buffer.width,
                                 other->buffer.height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
            present(other);
        }
        eglMakeCurrent(egl.display, primary->egl_surface, primary->egl_surface, egl.current_context);
        if (scissor) glEnable(GL_SCISSOR_TEST);
    }
    present(primary);
}

void egl_forget_window(HWND) {}

void egl_reset() {}

const LayerGlDriver egl_driver = {
    egl_format_count,   egl_describe_format, egl_set_format,    egl_create_context, egl_make_current,
    egl_delete_context, egl_swap_buffers,    egl_forget_window, egl_reset,
};

}  // namespace

const LayerGlDriver* wayland_gl_driver() {
    return &egl_driver;
}

void wayland_egl_surface_configured(WlSurface* surface) {
    if (!ready()) return;
    if (surface->egl_window) {
        wl_egl_window_resize(surface->egl_window, surface->buffer.width, surface->buffer.height, 0, 0);
        return;
    }
    surface->egl_window = wl_egl_window_create(surface->surface, surface->buffer.width, surface->buffer.height);
    surface->egl_surface = eglCreateWindowSurface(egl.display, egl.config,
                                                  reinterpret_cast<EGLNativeWindowType>(surface->egl_window), nullptr);
    if (surface->egl_surface == EGL_NO_SURFACE) {
        if (wl_display_get_error(wayland_driver_display())) wayland_connection_lost();
        fprintf(stderr, "%s: no EGL surface for an output\n", program_invocation_short_name);
        wl_egl_window_destroy(surface->egl_window);
        surface->egl_window = nullptr;
        surface->egl_surface = nullptr;
        return;
    }
    // A context waiting for a surface draws on the first that comes.
    if (egl.current_context && !eglGetCurrentSurface(EGL_DRAW)) bind(egl.current_window, egl.current_context);
}

void wayland_egl_surface_gone(WlSurface* surface) {
    if (!surface->egl_surface) {
        if (surface->egl_window) wl_egl_window_destroy(surface->egl_window);
        return;
    }
    bool was_current = eglGetCurrentSurface(EGL_DRAW) == surface->egl_surface;
    if (was_current) eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, egl.current_context);
    eglDestroySurface(egl.display, surface->egl_surface);
    wl_egl_window_destroy(surface->egl_window);
    surface->egl_surface = nullptr;
    surface->egl_window = nullptr;
    // The picture moves to the largest output left.
    if (was_current && egl.current_context) bind(egl.current_window, egl.current_context);
}
