// The floor of a frame: what any full-screen frame of the saver costs at the
// least, with the saver's own machinery and nothing of its scene. A topmost
// window covering the screen, the saver's pixel format request, the same
// 1-millisecond frame timer, and in each tick a clear of colour and depth,
// one textured quad over the whole view (a 512 x 512 image with linear
// filtering, repeated three times, as the star background is) and the buffer
// swap. frame_bench runs it beside the saver; it ends when it is killed or
// on a key press.
//
// `floor /limit` draws the picture's own limit instead: the passes a frame
// of the saver needs where the Sun fills the screen, each one texture at a
// time over the whole view (clear, the stars, a 128 x 128 mask multiplied
// in, two 128 x 128 glows added), and nothing else.
#include <math.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "gl_context.h"

namespace {

const int image_size = 512;
const UINT timer_id = 1;

GlWindow gl;
GLuint texture;
bool limit = false;
GLuint mask_texture, glow_texture;

// Sparse bright dots on black, from a fixed linear congruential sequence.
GLuint upload(int size, const std::vector<unsigned char>& pixels) {
    GLuint name;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return name;
}

void make_texture() {
    std::vector<unsigned char> pixels(static_cast<size_t>(image_size) * image_size * 3, 0);
    uint32_t state = 1;
    for (int i = 0; i < 4000; ++i) {
        state = state * 1664525u + 1013904223u;
        const size_t at = (state >> 8) % (static_cast<uint32_t>(image_size) * image_size);
        pixels[at * 3] = pixels[at * 3 + 1] = pixels[at * 3 + 2] = static_cast<unsigned char>(state >> 24 | 64);
    }
    texture = upload(image_size, pixels);
    glEnable(GL_TEXTURE_2D);
}

// A glow that fades from the centre to black at the edge, and its negative.
void make_sun_textures() {
    const int size = 128;
    std::vector<unsigned char> glow(static_cast<size_t>(size) * size * 3), mask(glow.size());
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double r = hypot(x - size / 2.0, y - size / 2.0) / (size / 2.0);
            const auto value = static_cast<unsigned char>(r < 1 ? 255 * (1 - r) : 0);
            for (int c = 0; c < 3; ++c) {
                glow[(y * size + x) * 3 + c] = value;
                mask[(y * size + x) * 3 + c] = static_cast<unsigned char>(255 - value);
            }
        }
    glow_texture = upload(size, glow);
    mask_texture = upload(size, mask);
}

// The whole view, its image `repeats` times across.
void draw_quad(float repeats) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(repeats, 0);
    glVertex2f(1, -1);
    glTexCoord2f(repeats, repeats);
    glVertex2f(1, 1);
    glTexCoord2f(0, repeats);
    glVertex2f(-1, 1);
    glEnd();
}

void draw_frame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, texture);
    glDisable(GL_BLEND);
    draw_quad(3);
    if (limit) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        glBindTexture(GL_TEXTURE_2D, mask_texture);
        draw_quad(1);
        glBlendFunc(GL_ONE, GL_ONE);
        glBindTexture(GL_TEXTURE_2D, glow_texture);
        glColor3ub(255, 0, 0);
        draw_quad(1);
        glColor3ub(255, 255, 0);
        draw_quad(1);
        glColor3ub(255, 255, 255);
    }
    SwapBuffers(gl.device_context);
}

LRESULT CALLBACK floor_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        if (!make_gl_context(window, &gl)) {
            PostQuitMessage(1);
            return 0;
        }
        make_texture();
        if (limit) make_sun_textures();
        SetTimer(window, timer_id, 1, NULL);
        return 0;
    case WM_TIMER: draw_frame(); return 0;
    case WM_KEYDOWN: DestroyWindow(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_tail, int) {
    limit = strstr(command_tail, "/limit") != NULL;
    WNDCLASSA window_class = {};
    window_class.style = CS_OWNDC;
    window_class.lpfnWndProc = floor_window_proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = "FrameFloor";
    RegisterClassA(&window_class);
    if (!CreateWindowExA(WS_EX_TOPMOST, "FrameFloor", "frame floor", WS_POPUP | WS_VISIBLE, 0, 0,
                         GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), NULL, NULL, instance, NULL))
        return 1;
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
