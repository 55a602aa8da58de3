// orrelune-scene for the Windows build: runs the scene in a WGL context of
// a plain window, each tick's step as the frame clock runs it, and writes
// the last tick's frame as a 24-bit BMP, for comparing with the Linux
// tool's picture. Only that frame is drawn.
//
//   orrelune-scene.exe [--seed S] [--ticks N] --bmp FILE --size WxH
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "platform.h"
#include "gl_context.h"
#include "display/gl_window.h"
#include "scene/frame.h"
#include "scene/scene_state.h"

namespace {

int usage(const char* why) {
    fprintf(stderr, "orrelune-scene: %s\n", why);
    fprintf(stderr, "usage: orrelune-scene [--seed S] [--ticks N] --bmp FILE --size WxH\n");
    return 2;
}

// Rows from the bottom up, as both GL and BMP keep them; BGR, each row
// padded to four bytes.
bool write_bmp(const char* path, const std::vector<unsigned char>& rgb, int width, int height) {
    FILE* file = fopen(path, "wb");
    if (!file) return false;
    const int row_bytes = (width * 3 + 3) & ~3;
    const unsigned image_bytes = static_cast<unsigned>(row_bytes) * height;
    unsigned char header[54] = {'B', 'M'};
    auto put32 = [&header](int at, unsigned value) {
        for (int i = 0; i < 4; ++i) header[at + i] = static_cast<unsigned char>(value >> (8 * i));
    };
    put32(2, 54 + image_bytes);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<unsigned>(width));
    put32(22, static_cast<unsigned>(height));
    header[26] = 1;   // planes
    header[28] = 24;  // bits per pixel
    put32(34, image_bytes);
    fwrite(header, 1, sizeof header, file);
    std::vector<unsigned char> row(row_bytes, 0);
    for (int y = 0; y < height; ++y) {
        const unsigned char* source = &rgb[static_cast<size_t>(y) * width * 3];
        for (int x = 0; x < width; ++x) {
            row[x * 3] = source[x * 3 + 2];
            row[x * 3 + 1] = source[x * 3 + 1];
            row[x * 3 + 2] = source[x * 3];
        }
        fwrite(row.data(), 1, row.size(), file);
    }
    return fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long seed = 1, ticks = 0;
    int width = 0, height = 0;
    const char* bmp_path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!value) return usage("each option wants a value");
        if (!strcmp(argv[i], "--seed")) {
            seed = strtoul(value, nullptr, 10);
        } else if (!strcmp(argv[i], "--ticks")) {
            ticks = strtoul(value, nullptr, 10);
        } else if (!strcmp(argv[i], "--bmp")) {
            bmp_path = value;
        } else if (!strcmp(argv[i], "--size")) {
            if (sscanf(value, "%dx%d", &width, &height) != 2 || width < 1 || height < 1 || width > 8192 ||
                height > 8192)
                return usage("--size wants WxH, each from 1 to 8192");
        } else {
            return usage("unknown argument");
        }
        ++i;
    }
    if (!bmp_path || !width) return usage("--bmp and --size are needed");

    // As the display window asks, but with 8 bits a channel like the Linux
    // tool's offscreen buffer, so the two pictures can be compared.
    GlWindow gl;
    if (!open_gl_window("OrreluneSceneTool", width, height, &gl, 24)) {
        fprintf(stderr, "orrelune-scene: no GL context\n");
        return 1;
    }

    random_seed(static_cast<uint32_t>(seed));
    init_gl(gl.device_context, width, height);
    resize_view(width, height);

    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    // Only the last frame is looked at: the ticks before it are steps alone.
    for (unsigned long tick = 0; tick < ticks; ++tick) step_scene();
    if (ticks > 0) {
        draw_frame();
        // The finished frame, from the back buffer before the swap.
        glFinish();
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        SwapBuffers(gl.device_context);
    }

    close_gl_window(&gl);
    if (!write_bmp(bmp_path, rgb, width, height)) {
        fprintf(stderr, "orrelune-scene: can't write %s\n", bmp_path);
        return 1;
    }
    return 0;
}
