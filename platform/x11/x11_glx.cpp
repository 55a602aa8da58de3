// The X11 driver's side of pixel formats and rendering contexts, over GLX
// 1.3: a pixel format is a GLX frame-buffer configuration, a rendering
// context a GLX context, and the window itself is the GLX drawable.
// x11_gl_driver() is the table the layer's gdi part reaches through the
// driver table.
//
// A window spread over several monitors (x11_private.h) is drawn once: the
// program draws into a picture of the window's size, a frame-buffer object
// that its context binds in place of the window, and each buffer swap
// copies the picture onto every monitor, scaled to cover it at the
// picture's own proportions (what does not fit is cut off evenly at both
// sides), and presents the whole screen at once.
#include "kernel/layer_kernel.h"
#include "picture_cover.h"
#include "layer_driver.h"
#include "x11/x11_private.h"

#include <GL/glu.h>
#include <X11/Xutil.h>
#include <stdlib.h>

#include <map>
#include <vector>

namespace {

struct Format {
    GLXFBConfig config;
    VisualID visual;
    PIXELFORMATDESCRIPTOR descriptor;
};

// Every configuration that can draw to a window, in the server's order.
std::vector<Format> formats;
Display* formats_display = nullptr;

// A window's view of the list: its own configuration first, then the others
// of its visual (those can be set on it), then the rest.
struct WindowFormats {
    std::vector<int> order;  // format n is formats[order[n - 1]]
    int settable;
};
std::map<Window, WindowFormats> window_formats;

// The frame-buffer objects of GL 3.0 (or ARB_framebuffer_object), once a
// context shows whether the GL has them.
struct FramebufferCalls {
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
FramebufferCalls fb;

template <typename Call>
void find_call(Call* call, const char* name) {
    *call = reinterpret_cast<Call>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

// With a context current.
bool have_framebuffers() {
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

// A spread window's picture in one context (frame-buffer objects belong to
// the context that made them).
struct SpreadPicture {
    Window window;
    GLuint framebuffer, colour, depth;
    GLenum colour_format, depth_format, depth_attachment;
    int width, height;
};
std::map<GLXContext, SpreadPicture> pictures;
GLXContext current_context;
Window current_window;

int attribute(GLXFBConfig config, int name);

void drop_picture(SpreadPicture* picture) {
    fb.bind_framebuffer(GL_FRAMEBUFFER, 0);
    fb.delete_framebuffers(1, &picture->framebuffer);
    fb.delete_renderbuffers(1, &picture->colour);
    fb.delete_renderbuffers(1, &picture->depth);
}

// Gives the picture's buffers this size.
void size_picture(SpreadPicture* picture, int width, int height) {
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
SpreadPicture* picture_for(const X11Window& window) {
    auto found = pictures.find(current_context);
    if (found != pictures.end() && found->second.window == window.id) return &found->second;
    if (!have_framebuffers()) return nullptr;
    if (found != pictures.end()) {
        drop_picture(&found->second);
        pictures.erase(found);
    }
    SpreadPicture picture{};
    picture.window = window.id;
    const bool alpha = window.fbconfig && attribute(window.fbconfig, GLX_ALPHA_SIZE) > 0;
    const int depth = window.fbconfig ? attribute(window.fbconfig, GLX_DEPTH_SIZE) : 16;
    const bool stencil = window.fbconfig && attribute(window.fbconfig, GLX_STENCIL_SIZE) > 0;
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
    return &(pictures[current_context] = picture);
}

// The picture takes the size the core gave its window, and the program's
// drawing goes to it.
void fit_picture(SpreadPicture* picture, const X11Window& window) {
    const X11Size size = x11_core_size(window.id);
    if (picture->width != size.width || picture->height != size.height) size_picture(picture, size.width, size.height);
    fb.bind_framebuffer(GL_FRAMEBUFFER, picture->framebuffer);
}

// Copies the picture onto each monitor of the window's back buffer.
void show_on_monitors(const SpreadPicture& picture, const X11Window& window) {
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

// Without frame-buffer objects a spread window draws straight into its
// native window, which then takes the window's own size: the picture shows
// in the screen's corner, the rest of the screen black.
void stop_spreading(X11Window* window) {
    window->spread = false;
    window->native_width = window->native_height = 0;
    layer_fixme_once("no frame-buffer objects in this GL: the picture shows on one monitor only");
    const X11Size size = x11_core_size(window->id);
    XResizeWindow(x11_display(), window->id, static_cast<unsigned>(size.width), static_cast<unsigned>(size.height));
}

int attribute(GLXFBConfig config, int name) {
    int value = 0;
    glXGetFBConfigAttrib(x11_display(), config, name, &value);
    return value;
}

int lowest_bit(unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

PIXELFORMATDESCRIPTOR describe(GLXFBConfig config, const XVisualInfo& visual) {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (attribute(config, GLX_DOUBLEBUFFER)) pfd.dwFlags |= PFD_DOUBLEBUFFER;
    if (attribute(config, GLX_STEREO)) pfd.dwFlags |= PFD_STEREO;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cRedBits = static_cast<BYTE>(attribute(config, GLX_RED_SIZE));
    pfd.cGreenBits = static_cast<BYTE>(attribute(config, GLX_GREEN_SIZE));
    pfd.cBlueBits = static_cast<BYTE>(attribute(config, GLX_BLUE_SIZE));
    pfd.cAlphaBits = static_cast<BYTE>(attribute(config, GLX_ALPHA_SIZE));
    // As Windows counts them: the colour bits leave alpha out.
    pfd.cColorBits = static_cast<BYTE>(pfd.cRedBits + pfd.cGreenBits + pfd.cBlueBits);
    pfd.cRedShift = static_cast<BYTE>(lowest_bit(visual.red_mask));
    pfd.cGreenShift = static_cast<BYTE>(lowest_bit(visual.green_mask));
    pfd.cBlueShift = static_cast<BYTE>(lowest_bit(visual.blue_mask));
    if (pfd.cAlphaBits)
        pfd.cAlphaShift =
            static_cast<BYTE>(lowest_bit(~(visual.red_mask | visual.green_mask | visual.blue_mask) & 0xFFFFFFFFul));
    pfd.cAccumRedBits = static_cast<BYTE>(attribute(config, GLX_ACCUM_RED_SIZE));
    pfd.cAccumGreenBits = static_cast<BYTE>(attribute(config, GLX_ACCUM_GREEN_SIZE));
    pfd.cAccumBlueBits = static_cast<BYTE>(attribute(config, GLX_ACCUM_BLUE_SIZE));
    pfd.cAccumAlphaBits = static_cast<BYTE>(attribute(config, GLX_ACCUM_ALPHA_SIZE));
    pfd.cAccumBits =
        static_cast<BYTE>(pfd.cAccumRedBits + pfd.cAccumGreenBits + pfd.cAccumBlueBits + pfd.cAccumAlphaBits);
    pfd.cDepthBits = static_cast<BYTE>(attribute(config, GLX_DEPTH_SIZE));
    pfd.cStencilBits = static_cast<BYTE>(attribute(config, GLX_STENCIL_SIZE));
    pfd.cAuxBuffers = static_cast<BYTE>(attribute(config, GLX_AUX_BUFFERS));
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

void load_formats() {
    Display* display = x11_display();
    if (formats_display == display) return;
    formats.clear();
    window_formats.clear();
    formats_display = display;
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display, x11_screen(), &count);
    for (int i = 0; i < count; ++i) {
        GLXFBConfig config = configs[i];
        // Colour-index configurations and overlay levels are left out.
        if (!(attribute(config, GLX_DRAWABLE_TYPE) & GLX_WINDOW_BIT) ||
            !(attribute(config, GLX_RENDER_TYPE) & GLX_RGBA_BIT) || attribute(config, GLX_LEVEL) != 0 ||
            !attribute(config, GLX_X_RENDERABLE))
            continue;
        XVisualInfo* visual = glXGetVisualFromFBConfig(display, config);
        if (!visual) continue;
        formats.push_back(Format{config, visual->visualid, describe(config, *visual)});
        XFree(visual);
    }
    if (configs) XFree(configs);
}

VisualID visual_of(HWND hwnd) {
    Display* display = x11_display();
    if (GLXFBConfig own = x11_window_fbconfig(hwnd)) {
        VisualID id = 0;
        if (XVisualInfo* visual = glXGetVisualFromFBConfig(display, own)) {
            id = visual->visualid;
            XFree(visual);
        }
        return id;
    }
    XWindowAttributes attributes;
    x11_trap_errors();
    Status status = XGetWindowAttributes(display, (Window)(uintptr_t)hwnd, &attributes);
    if (x11_untrap_errors() || !status) return 0;
    return XVisualIDFromVisual(attributes.visual);
}

WindowFormats& formats_of(HWND hwnd) {
    load_formats();
    Window window = (Window)(uintptr_t)hwnd;
    auto found = window_formats.find(window);
    if (found != window_formats.end()) return found->second;

    GLXFBConfig own = x11_window_fbconfig(hwnd);
    VisualID visual = visual_of(hwnd);
    WindowFormats list{};
    for (int i = 0; i < (int)formats.size(); ++i)
        if (own && formats[i].config == own) list.order.push_back(i);
    for (int i = 0; i < (int)formats.size(); ++i)
        if (formats[i].visual == visual && formats[i].config != own) list.order.push_back(i);
    list.settable = (int)list.order.size();
    for (int i = 0; i < (int)formats.size(); ++i)
        if (formats[i].visual != visual) list.order.push_back(i);
    return window_formats[window] = list;
}

const Format* format_at(HWND hwnd, int format) {
    WindowFormats& list = formats_of(hwnd);
    if (format < 1 || format > (int)list.order.size()) return nullptr;
    return &formats[list.order[format - 1]];
}

int glx_format_count(HWND hwnd, int* settable) {
    WindowFormats& list = formats_of(hwnd);
    *settable = list.settable;
    return (int)list.order.size();
}

bool glx_describe_format(HWND hwnd, int format, PIXELFORMATDESCRIPTOR* descriptor) {
    const Format* chosen = format_at(hwnd, format);
    if (!chosen) return false;
    *descriptor = chosen->descriptor;
    return true;
}

// The configuration only has to share the window's visual; GLX needs no
// more until a context is made current on the window.
bool glx_set_format(HWND hwnd, int format) {
    return format >= 1 && format <= formats_of(hwnd).settable;
}

void* glx_create_context(HWND hwnd, int format) {
    const Format* chosen = format_at(hwnd, format);
    if (!chosen) return nullptr;
    Display* display = x11_display();
    x11_trap_errors();
    GLXContext context = glXCreateNewContext(display, chosen->config, GLX_RGBA_TYPE, nullptr, True);
    if (x11_untrap_errors() && context) {
        glXDestroyContext(display, context);
        context = nullptr;
    }
    return context;
}

bool glx_make_current(HWND hwnd, void* context) {
    Display* display = x11_display();
    current_context = nullptr;
    current_window = None;
    if (!context) return glXMakeContextCurrent(display, None, None, nullptr);
    Window window = (Window)(uintptr_t)hwnd;
    x11_trap_errors();
    Bool made = glXMakeContextCurrent(display, window, window, static_cast<GLXContext>(context));
    int error = x11_untrap_errors();
    // The window went with the one another client gave us to draw in:
    // nothing will be drawn, and its destruction, on its way as an event,
    // ends the run as it does at any other moment. No GL failure to report.
    if (error && x11_is_window_gone_error(window, error)) return true;
    if (error || !made) return false;
    current_context = static_cast<GLXContext>(context);
    current_window = window;
    X11Window* record = x11_find_window(window);
    if (record && record->spread) {
        if (SpreadPicture* picture = picture_for(*record))
            fit_picture(picture, *record);
        else
            stop_spreading(record);
    } else if (pictures.count(current_context)) {
        fb.bind_framebuffer(GL_FRAMEBUFFER, 0);
    }
    return true;
}

void glx_delete_context(void* context) {
    auto found = pictures.find(static_cast<GLXContext>(context));
    // Its objects go with it.
    if (found != pictures.end()) pictures.erase(found);
    if (current_context == context) current_context = nullptr;
    glXDestroyContext(x11_display(), static_cast<GLXContext>(context));
}

// Once per frame: no error trap here, as a trap costs two round trips. An
// error is reported by the driver's handler and never ends the process.
void glx_swap_buffers(HWND hwnd) {
    Window window = (Window)(uintptr_t)hwnd;
    X11Window* record = x11_find_window(window);
    if (layer_show_fps()) {
        RECT client;
        if (GetClientRect(hwnd, &client)) x11_draw_fps(window, client.right, client.bottom);
    }
    auto found = pictures.find(current_context);
    const bool spread = record && record->spread && current_window == window && found != pictures.end() &&
                        found->second.window == window;
    if (spread) show_on_monitors(found->second, *record);
    glXSwapBuffers(x11_display(), window);
    if (spread) fb.bind_framebuffer(GL_FRAMEBUFFER, found->second.framebuffer);
}

void glx_forget_window(HWND hwnd) {
    window_formats.erase((Window)(uintptr_t)hwnd);
}

void glx_reset() {
    window_formats.clear();
    pictures.clear();
}

const LayerGlDriver glx_driver = {
    glx_format_count,   glx_describe_format, glx_set_format,    glx_create_context, glx_make_current,
    glx_delete_context, glx_swap_buffers,    glx_forget_window, glx_reset,
};

}  // namespace

const LayerGlDriver* x11_gl_driver() {
    return &glx_driver;
}

void x11_resize_picture(Window window) {
    auto found = pictures.find(current_context);
    const X11Window* record = x11_find_window(window);
    if (record && current_window == window && found != pictures.end() && found->second.window == window)
        fit_picture(&found->second, *record);
}

// A frame-buffer configuration fit for a window that will hold an OpenGL
// context: double-buffered true colour with a depth buffer. The window's
// visual is fixed before the program asks for a pixel format, so this is
// the cheapest that meets what the program asks for (16 depth bits, no
// alpha, stencil, accumulation or auxiliary buffers): every buffer and bit
// costs memory and fill time in a software renderer. GLX's own order puts
// the deepest depth buffer first; it is kept where the two agree.
GLXFBConfig x11_choose_window_config() {
    // clang-format off
    static const int attributes[] = {
        GLX_X_RENDERABLE,  True,
        GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
        GLX_RENDER_TYPE,   GLX_RGBA_BIT,
        GLX_X_VISUAL_TYPE, GLX_TRUE_COLOR,
        GLX_DOUBLEBUFFER,  True,
        GLX_RED_SIZE,      1,
        GLX_GREEN_SIZE,    1,
        GLX_BLUE_SIZE,     1,
        GLX_DEPTH_SIZE,    16,
        None};
    // clang-format on
    auto cost = [](GLXFBConfig config) {
        static const int weighed[] = {GLX_CONFIG_CAVEAT,   GLX_ALPHA_SIZE,       GLX_DEPTH_SIZE,
                                      GLX_STENCIL_SIZE,    GLX_ACCUM_RED_SIZE,   GLX_ACCUM_GREEN_SIZE,
                                      GLX_ACCUM_BLUE_SIZE, GLX_ACCUM_ALPHA_SIZE, GLX_AUX_BUFFERS};
        std::vector<int> values;
        for (int name : weighed) {
            int value = attribute(config, name);
            values.push_back(name == GLX_CONFIG_CAVEAT ? value != GLX_NONE : value);
        }
        return values;
    };
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(x11_display(), x11_screen(), attributes, &count);
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
