// The picture of a window spread over several monitors (x11_private.h):
// the program draws it once, into a frame-buffer object of the window's
// size that the window's context binds in place of the window, and each
// buffer swap copies it onto every monitor, scaled to cover the monitor at
// the picture's own proportions (what does not fit is cut off evenly at
// both sides), and presents the whole screen at once. x11_glx.cpp calls in
// here as a context is made current and around each buffer swap,
// x11_windows.cpp as the monitors change.
#include "kernel/layer_kernel.h"
#include "picture_cover.h"
#include "x11/x11_private.h"

#include <GL/glu.h>
#include <stdlib.h>

namespace {

template <typename Call>
void find_call(Call* call, const char* name) {
    *call = reinterpret_cast<Call>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

// With a context current.
bool have_framebuffers() {
    X11FramebufferCalls& fb = x11_state.framebuffers;
    if (fb.checked) return fb.present;
    fb.checked = true;
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const GLubyte* extensions = glGetString(GL_EXTENSIONS);
    if (!version) return false;
    if (atoi(version) < 3 &&
        !(extensions && gluCheckExtension(reinterpret_cast<const GLubyte*>("GL_ARB_framebuffer_object"), extensions)))
        return false;
    find_call(&fb.gen_framebuffers, "glGenFramebuffers");
    find_call(&fb.delete_framebuffers, "glDeleteFramebuffers");
    find_call(&fb.bind_framebuffer, "glBindFramebuffer");
    find_call(&fb.gen_renderbuffers, "glGenRenderbuffers");
    find_call(&fb.delete_renderbuffers, "glDeleteRenderbuffers");
    find_call(&fb.bind_renderbuffer, "glBindRenderbuffer");
    find_call(&fb.renderbuffer_storage, "glRenderbufferStorage");
    find_call(&fb.framebuffer_renderbuffer, "glFramebufferRenderbuffer");
    find_call(&fb.check_framebuffer_status, "glCheckFramebufferStatus");
    find_call(&fb.blit_framebuffer, "glBlitFramebuffer");
    fb.present = fb.gen_framebuffers && fb.delete_framebuffers && fb.bind_framebuffer && fb.gen_renderbuffers &&
                 fb.delete_renderbuffers && fb.bind_renderbuffer && fb.renderbuffer_storage &&
                 fb.framebuffer_renderbuffer && fb.check_framebuffer_status && fb.blit_framebuffer;
    return fb.present;
}

void drop_picture(X11SpreadPicture* picture) {
    X11FramebufferCalls& fb = x11_state.framebuffers;
    fb.bind_framebuffer(GL_FRAMEBUFFER, 0);
    fb.delete_framebuffers(1, &picture->framebuffer);
    fb.delete_renderbuffers(1, &picture->colour);
    fb.delete_renderbuffers(1, &picture->depth);
}

// Gives the picture's buffers this size.
void size_picture(X11SpreadPicture* picture, int width, int height) {
    X11FramebufferCalls& fb = x11_state.framebuffers;
    picture->width = width;
    picture->height = height;
    fb.bind_renderbuffer(GL_RENDERBUFFER, picture->colour);
    fb.renderbuffer_storage(GL_RENDERBUFFER, picture->colour_format, width, height);
    fb.bind_renderbuffer(GL_RENDERBUFFER, picture->depth);
    fb.renderbuffer_storage(GL_RENDERBUFFER, picture->depth_format, width, height);
    fb.bind_renderbuffer(GL_RENDERBUFFER, 0);
}

// The current context's picture of the spread window, made on first use
// with buffers like the window's own (its configuration's); null when the
// GL has no frame-buffer objects.
X11SpreadPicture* picture_for(const X11Window& window) {
    X11FramebufferCalls& fb = x11_state.framebuffers;
    auto found = x11_state.pictures.find(x11_state.current_context);
    if (found != x11_state.pictures.end() && found->second.window == window.id) return &found->second;
    if (!have_framebuffers()) return nullptr;
    if (found != x11_state.pictures.end()) {
        drop_picture(&found->second);
        x11_state.pictures.erase(found);
    }
    X11SpreadPicture picture{};
    picture.window = window.id;
    const bool alpha = window.fbconfig && x11_config_attribute(window.fbconfig, GLX_ALPHA_SIZE) > 0;
    const int depth = window.fbconfig ? x11_config_attribute(window.fbconfig, GLX_DEPTH_SIZE) : 16;
    const bool stencil = window.fbconfig && x11_config_attribute(window.fbconfig, GLX_STENCIL_SIZE) > 0;
    picture.colour_format = alpha ? GL_RGBA8 : GL_RGB8;
    picture.depth_format = stencil      ? GL_DEPTH24_STENCIL8
                           : depth > 24 ? GL_DEPTH_COMPONENT32
                           : depth > 16 ? GL_DEPTH_COMPONENT24
                                        : GL_DEPTH_COMPONENT16;
    picture.depth_attachment = stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    fb.gen_framebuffers(1, &picture.framebuffer);
    fb.gen_renderbuffers(1, &picture.colour);
    fb.gen_renderbuffers(1, &picture.depth);
    // A renderbuffer is made at its first binding, and only then attached.
    const X11Size size = x11_core_size(window.id);
    size_picture(&picture, size.width, size.height);
    fb.bind_framebuffer(GL_FRAMEBUFFER, picture.framebuffer);
    fb.framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, picture.colour);
    fb.framebuffer_renderbuffer(GL_FRAMEBUFFER, picture.depth_attachment, GL_RENDERBUFFER, picture.depth);
    if (fb.check_framebuffer_status(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        drop_picture(&picture);
        return nullptr;
    }
    // What a context first made current on a window of the picture's size
    // starts with.
    glViewport(0, 0, size.width, size.height);
    glScissor(0, 0, size.width, size.height);
    return &(x11_state.pictures[x11_state.current_context] = picture);
}

// The picture takes the size the core gave its window, and the program's
// drawing goes to it.
void fit_picture(X11SpreadPicture* picture) {
    const X11Size size = x11_core_size(picture->window);
    if (picture->width != size.width || picture->height != size.height) size_picture(picture, size.width, size.height);
    x11_state.framebuffers.bind_framebuffer(GL_FRAMEBUFFER, picture->framebuffer);
}

// Copies the picture onto each monitor of the window's back buffer.
void copy_to_monitors(const X11SpreadPicture& picture, const X11Window& window) {
    X11FramebufferCalls& fb = x11_state.framebuffers;
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    if (scissor) glDisable(GL_SCISSOR_TEST);
    fb.bind_framebuffer(GL_READ_FRAMEBUFFER, picture.framebuffer);
    fb.bind_framebuffer(GL_DRAW_FRAMEBUFFER, 0);
    for (const X11Monitor& monitor : x11_monitors()) {
        const PictureRect part = picture_cover_rect(picture.width, picture.height, monitor.width, monitor.height);
        const int x0 = part.x, y0 = part.y, x1 = part.x + part.width, y1 = part.y + part.height;
        const bool same_size = part.width == monitor.width && part.height == monitor.height;
        // GL counts rows from the bottom.
        const int bottom = window.native_height - monitor.y - monitor.height;
        fb.blit_framebuffer(x0, y0, x1, y1, monitor.x, bottom, monitor.x + monitor.width, bottom + monitor.height,
                            GL_COLOR_BUFFER_BIT, same_size ? GL_NEAREST : GL_LINEAR);
    }
    if (scissor) glEnable(GL_SCISSOR_TEST);
}

// The window draws straight into its native window, which takes the
// window's own size.
void draw_in_place(X11Window* window) {
    window->spread = false;
    window->native_width = window->native_height = 0;
    const X11Size size = x11_core_size(window->id);
    XResizeWindow(x11_state.display, window->id, static_cast<unsigned>(size.width), static_cast<unsigned>(size.height));
}

// Without frame-buffer objects a window never spreads: the picture shows
// in the screen's corner, the rest of the screen black.
void stop_spreading(X11Window* window) {
    window->spreadable = false;
    layer_fixme_once("no frame-buffer objects in this GL: the picture shows on one monitor only");
    draw_in_place(window);
}
// The current context's picture of the window, when the window is a
// spread one and the context is current on it; null for any other.
X11SpreadPicture* current_picture(const X11Window* window) {
    if (!window || !window->spread || x11_state.current_window != window->id) return nullptr;
    auto found = x11_state.pictures.find(x11_state.current_context);
    if (found == x11_state.pictures.end() || found->second.window != window->id) return nullptr;
    return &found->second;
}

}  // namespace

void x11_spread_made_current(X11Window* window) {
    if (window && window->spread) {
        if (X11SpreadPicture* picture = picture_for(*window))
            fit_picture(picture);
        else
            stop_spreading(window);
    } else if (x11_state.pictures.count(x11_state.current_context)) {
        x11_state.framebuffers.bind_framebuffer(GL_FRAMEBUFFER, 0);
    }
}

void x11_spread_follow_monitors(X11Window* window) {
    const bool several = x11_monitors().size() > 1;
    if (!window->spreadable || window->spread == several) return;
    if (several)
        window->spread = true;
    else
        draw_in_place(window);
    if (!x11_state.current_context || x11_state.current_window != window->id) return;
    // The program set its viewport for the window long ago, and the picture
    // (or the window again) has the window's size: it stays.
    GLint viewport[4], scissor[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_SCISSOR_BOX, scissor);
    x11_spread_made_current(window);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glScissor(scissor[0], scissor[1], scissor[2], scissor[3]);
}

void x11_resize_picture(Window window) {
    if (X11SpreadPicture* picture = current_picture(x11_find_window(window))) fit_picture(picture);
}

const X11SpreadPicture* x11_show_picture(Window window) {
    const X11Window* record = x11_find_window(window);
    X11SpreadPicture* picture = current_picture(record);
    if (picture) copy_to_monitors(*picture, *record);
    return picture;
}

void x11_draw_into_picture(const X11SpreadPicture& picture) {
    x11_state.framebuffers.bind_framebuffer(GL_FRAMEBUFFER, picture.framebuffer);
}
