// The X11 driver's side of pixel formats and rendering contexts, over GLX
// 1.3: a pixel format is a GLX frame-buffer configuration, a rendering
// context a GLX context, and the window itself is the GLX drawable.
// x11_gl_driver() is the table the layer's gdi part reaches through the
// driver table. A window spread over several monitors draws into a
// picture of its own (x11_spread.cpp), which a context made current on it
// binds and each buffer swap shows.
#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "x11/x11_private.h"

#include <X11/Xutil.h>

#include <vector>

namespace {

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
    if (x11_config_attribute(config, GLX_DOUBLEBUFFER)) pfd.dwFlags |= PFD_DOUBLEBUFFER;
    if (x11_config_attribute(config, GLX_STEREO)) pfd.dwFlags |= PFD_STEREO;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cRedBits = static_cast<BYTE>(x11_config_attribute(config, GLX_RED_SIZE));
    pfd.cGreenBits = static_cast<BYTE>(x11_config_attribute(config, GLX_GREEN_SIZE));
    pfd.cBlueBits = static_cast<BYTE>(x11_config_attribute(config, GLX_BLUE_SIZE));
    pfd.cAlphaBits = static_cast<BYTE>(x11_config_attribute(config, GLX_ALPHA_SIZE));
    // As Windows counts them: the colour bits leave alpha out.
    pfd.cColorBits = static_cast<BYTE>(pfd.cRedBits + pfd.cGreenBits + pfd.cBlueBits);
    pfd.cRedShift = static_cast<BYTE>(lowest_bit(visual.red_mask));
    pfd.cGreenShift = static_cast<BYTE>(lowest_bit(visual.green_mask));
    pfd.cBlueShift = static_cast<BYTE>(lowest_bit(visual.blue_mask));
    if (pfd.cAlphaBits)
        pfd.cAlphaShift =
            static_cast<BYTE>(lowest_bit(~(visual.red_mask | visual.green_mask | visual.blue_mask) & 0xFFFFFFFFul));
    pfd.cAccumRedBits = static_cast<BYTE>(x11_config_attribute(config, GLX_ACCUM_RED_SIZE));
    pfd.cAccumGreenBits = static_cast<BYTE>(x11_config_attribute(config, GLX_ACCUM_GREEN_SIZE));
    pfd.cAccumBlueBits = static_cast<BYTE>(x11_config_attribute(config, GLX_ACCUM_BLUE_SIZE));
    pfd.cAccumAlphaBits = static_cast<BYTE>(x11_config_attribute(config, GLX_ACCUM_ALPHA_SIZE));
    pfd.cAccumBits =
        static_cast<BYTE>(pfd.cAccumRedBits + pfd.cAccumGreenBits + pfd.cAccumBlueBits + pfd.cAccumAlphaBits);
    pfd.cDepthBits = static_cast<BYTE>(x11_config_attribute(config, GLX_DEPTH_SIZE));
    pfd.cStencilBits = static_cast<BYTE>(x11_config_attribute(config, GLX_STENCIL_SIZE));
    pfd.cAuxBuffers = static_cast<BYTE>(x11_config_attribute(config, GLX_AUX_BUFFERS));
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

void load_formats() {
    Display* display = x11_state.display;
    if (x11_state.formats_display == display) return;
    x11_state.formats.clear();
    x11_state.window_formats.clear();
    x11_state.formats_display = display;
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display, x11_state.screen, &count);
    for (int i = 0; i < count; ++i) {
        GLXFBConfig config = configs[i];
        // Colour-index configurations and overlay levels are left out.
        if (!(x11_config_attribute(config, GLX_DRAWABLE_TYPE) & GLX_WINDOW_BIT) ||
            !(x11_config_attribute(config, GLX_RENDER_TYPE) & GLX_RGBA_BIT) ||
            x11_config_attribute(config, GLX_LEVEL) != 0 || !x11_config_attribute(config, GLX_X_RENDERABLE))
            continue;
        XVisualInfo* visual = glXGetVisualFromFBConfig(display, config);
        if (!visual) continue;
        x11_state.formats.push_back(X11Format{config, visual->visualid, describe(config, *visual)});
        XFree(visual);
    }
    if (configs) XFree(configs);
}

VisualID visual_of(HWND hwnd) {
    Display* display = x11_state.display;
    if (GLXFBConfig own = x11_window_fbconfig(hwnd)) {
        VisualID id = 0;
        if (XVisualInfo* visual = glXGetVisualFromFBConfig(display, own)) {
            id = visual->visualid;
            XFree(visual);
        }
        return id;
    }
    XWindowAttributes attributes;
    x11_expect_error(display);
    Status status = XGetWindowAttributes(display, (Window)(uintptr_t)hwnd, &attributes);
    if (x11_check_error() || !status) return 0;
    return XVisualIDFromVisual(attributes.visual);
}

X11WindowFormats& formats_of(HWND hwnd) {
    load_formats();
    Window window = (Window)(uintptr_t)hwnd;
    auto found = x11_state.window_formats.find(window);
    if (found != x11_state.window_formats.end()) return found->second;

    GLXFBConfig own = x11_window_fbconfig(hwnd);
    VisualID visual = visual_of(hwnd);
    X11WindowFormats list{};
    const std::vector<X11Format>& formats = x11_state.formats;
    for (int i = 0; i < (int)formats.size(); ++i)
        if (own && formats[i].config == own) list.order.push_back(i);
    for (int i = 0; i < (int)formats.size(); ++i)
        if (formats[i].visual == visual && formats[i].config != own) list.order.push_back(i);
    list.settable = (int)list.order.size();
    for (int i = 0; i < (int)formats.size(); ++i)
        if (formats[i].visual != visual) list.order.push_back(i);
    return x11_state.window_formats[window] = list;
}

const X11Format* format_at(HWND hwnd, int format) {
    X11WindowFormats& list = formats_of(hwnd);
    if (format < 1 || format > (int)list.order.size()) return nullptr;
    return &x11_state.formats[list.order[format - 1]];
}

int glx_format_count(HWND hwnd, int* settable) {
    X11WindowFormats& list = formats_of(hwnd);
    *settable = list.settable;
    return (int)list.order.size();
}

bool glx_describe_format(HWND hwnd, int format, PIXELFORMATDESCRIPTOR* descriptor) {
    const X11Format* chosen = format_at(hwnd, format);
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
    const X11Format* chosen = format_at(hwnd, format);
    if (!chosen) return nullptr;
    Display* display = x11_state.display;
    x11_expect_error(display);
    GLXContext context = glXCreateNewContext(display, chosen->config, GLX_RGBA_TYPE, nullptr, True);
    if (x11_check_error() && context) {
        glXDestroyContext(display, context);
        context = nullptr;
    }
    return context;
}

bool glx_make_current(HWND hwnd, void* context) {
    Display* display = x11_state.display;
    x11_state.current_context = nullptr;
    x11_state.current_window = None;
    if (!context) return glXMakeContextCurrent(display, None, None, nullptr);
    Window window = (Window)(uintptr_t)hwnd;
    x11_expect_error(display);
    Bool made = glXMakeContextCurrent(display, window, window, static_cast<GLXContext>(context));
    int error = x11_check_error();
    // The window went with the one another client gave us to draw in:
    // nothing will be drawn, and its destruction, on its way as an event,
    // ends the run as it does at any other moment. No GL failure to report.
    if (error && x11_is_window_gone_error(window, error)) return true;
    if (error || !made) return false;
    x11_state.current_context = static_cast<GLXContext>(context);
    x11_state.current_window = window;
    x11_spread_made_current(x11_find_window(window));
    return true;
}

void glx_delete_context(void* context) {
    auto found = x11_state.pictures.find(static_cast<GLXContext>(context));
    // Its objects go with it.
    if (found != x11_state.pictures.end()) x11_state.pictures.erase(found);
    if (x11_state.current_context == context) x11_state.current_context = nullptr;
    glXDestroyContext(x11_state.display, static_cast<GLXContext>(context));
}

// Once per frame: no error trap here, as a trap costs two round trips. An
// error is reported by the driver's handler and never ends the process.
void glx_swap_buffers(HWND hwnd) {
    Window window = (Window)(uintptr_t)hwnd;
    if (layer_show_fps()) {
        RECT client;
        if (GetClientRect(hwnd, &client)) x11_draw_fps(window, client.right, client.bottom);
    }
    const X11SpreadPicture* picture = x11_show_picture(window);
    glXSwapBuffers(x11_state.display, window);
    if (picture) x11_draw_into_picture(*picture);
}

void glx_forget_window(HWND hwnd) {
    x11_state.window_formats.erase((Window)(uintptr_t)hwnd);
}

void glx_reset() {
    x11_state.window_formats.clear();
    x11_state.pictures.clear();
}

const LayerGlDriver glx_driver = {
    glx_format_count,   glx_describe_format, glx_set_format,    glx_create_context, glx_make_current,
    glx_delete_context, glx_swap_buffers,    glx_forget_window, glx_reset,
};

}  // namespace

const LayerGlDriver* x11_gl_driver() {
    return &glx_driver;
}

int x11_config_attribute(GLXFBConfig config, int name) {
    int value = 0;
    glXGetFBConfigAttrib(x11_state.display, config, name, &value);
    return value;
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
            int value = x11_config_attribute(config, name);
            values.push_back(name == GLX_CONFIG_CAVEAT ? value != GLX_NONE : value);
        }
        return values;
    };
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(x11_state.display, x11_state.screen, attributes, &count);
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
