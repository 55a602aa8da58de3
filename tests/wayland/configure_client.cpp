// A client of the layer's Wayland driver for the configure tests: a
// full-screen window drawn frame after frame with GL, as the program draws.
// Once its second frame is drawn, before it is shown, it says "drawn" and
// waits for a line on its standard input; then it goes on drawing (the
// window's messages handled between frames) until its standard input ends.
#include <GL/gl.h>
#include <poll.h>
#include <stdio.h>
#include <windows.h>

namespace {

void draw() {
    glClearColor(0.2f, 0.4f, 0.6f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
}

bool input_open() {
    pollfd input = {0, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0) return true;
    char line[64];
    return fgets(line, sizeof line, stdin) != nullptr;
}

}  // namespace

int main() {
    WNDCLASSA window_class = {};
    window_class.style = CS_OWNDC;
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.lpszClassName = "ConfigureClient";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "ConfigureClient", "client", WS_POPUP | WS_VISIBLE, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                  nullptr, nullptr);
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR request = {};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 24;
    request.cDepthBits = 16;
    const int format = ChoosePixelFormat(dc, &request);
    HGLRC context = format && SetPixelFormat(dc, format, &request) ? wglCreateContext(dc) : nullptr;
    if (!context || !wglMakeCurrent(dc, context)) {
        fprintf(stderr, "configure_client: no GL context\n");
        return 1;
    }
    draw();
    SwapBuffers(dc);
    draw();
    printf("drawn\n");
    fflush(stdout);
    char line[64];
    if (!fgets(line, sizeof line, stdin)) return 1;
    SwapBuffers(dc);
    while (input_open()) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        draw();
        SwapBuffers(dc);
    }
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
    DestroyWindow(window);
    return 0;
}
