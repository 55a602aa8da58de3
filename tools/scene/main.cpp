// orrelune-scene: runs the scene offscreen, each tick's step as the frame
// clock runs it, then prints the scene's state as JSON and/or writes the
// last tick's frame as a PNG. Only that frame is drawn, so long runs take
// seconds.
//
//   orrelune-scene [--seed S] [--ticks N] [--json] [--png FILE --size WxH]
//
// --seed is the value given to random_seed (default 1, which leaves the
// generator as at program start). Floats are printed with %.9g, so they
// read back to the same 32-bit value.
#include <png.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

// The platform header first: it settles the GL calling-convention macros.
#include "platform.h"
#include "offscreen_context.h"
#include "display/gl_window.h"
#include "scene/comet.h"
#include "scene/frame.h"
#include "scene/mote_rings.h"
#include "scene/scene_state.h"
#include "scene/sun.h"

namespace {

struct Options {
    uint32_t seed = 1;
    unsigned long ticks = 0;
    bool json = false;
    const char* png_path = nullptr;
    int width = 64;
    int height = 48;
};

int usage(const char* why) {
    fprintf(stderr, "orrelune-scene: %s\n", why);
    fprintf(stderr, "usage: orrelune-scene [--seed S] [--ticks N] [--json] [--png FILE --size WxH]\n");
    return 2;
}

bool parse_unsigned(const char* text, unsigned long max, unsigned long* value) {
    char* end = nullptr;
    if (!text || !*text || *text == '-') return false;
    const unsigned long long parsed = strtoull(text, &end, 10);
    if (*end || parsed > max) return false;
    *value = static_cast<unsigned long>(parsed);
    return true;
}

// Returns 0 on success, else the exit code after a message.
int parse(int argc, char** argv, Options* options) {
    bool size_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        unsigned long number = 0;
        if (arg == "--json") {
            options->json = true;
        } else if (arg == "--seed") {
            if (!parse_unsigned(value, UINT32_MAX, &number)) return usage("--seed wants a number from 0 to 4294967295");
            options->seed = static_cast<uint32_t>(number);
            ++i;
        } else if (arg == "--ticks") {
            if (!parse_unsigned(value, 1000000000ul, &number)) return usage("--ticks wants a number");
            options->ticks = number;
            ++i;
        } else if (arg == "--png") {
            if (!value) return usage("--png wants a file name");
            options->png_path = value;
            ++i;
        } else if (arg == "--size") {
            unsigned w = 0, h = 0;
            char tail = 0;
            if (!value || sscanf(value, "%ux%u%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > 8192 || h > 8192)
                return usage("--size wants WxH, each from 1 to 8192");
            options->width = static_cast<int>(w);
            options->height = static_cast<int>(h);
            size_given = true;
            ++i;
        } else {
            return usage(("unknown argument " + arg).c_str());
        }
    }
    if (options->png_path && !size_given) return usage("--png needs --size WxH");
    if (!options->json && !options->png_path) return usage("nothing to do: give --json and/or --png");
    return 0;
}

// OSMesa's rows run from the bottom up, as the negative stride tells
// libpng; its alpha is dropped.
bool write_png(const char* path, const std::vector<GLubyte>& rgba, int width, int height) {
    const size_t pixels = static_cast<size_t>(width) * height;
    std::vector<png_byte> rgb(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) memcpy(&rgb[i * 3], &rgba[i * 4], 3);
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path, 0, rgb.data(), -width * 3, nullptr) != 0;
}

void print_float(const char* name, float value, bool last = false) {
    printf("\"%s\":%.9g%s", name, static_cast<double>(value), last ? "" : ",");
}

void print_json() {
    printf("{");
    print_float("title_alpha", scene.title_alpha);
    print_float("sway_angle_x", scene.sway_angle_x);
    print_float("sway_angle_y", scene.sway_angle_y);
    print_float("camera_depth", scene.camera_depth);
    printf("\"camera_receding\":%s,", scene.camera_receding ? "true" : "false");
    print_float("tumble_angle", scene.tumble_angle);
    print_float("background_scroll", scene.background_scroll);
    print_float("moon_angle", scene.moon_angle);
    printf("\"planets\":{");
    // In the order of the planets from the sun outward.
    static const PlanetSlot order[] = {mercury_slot, venus_slot,  earth_slot,   mars_slot, jupiter_slot,
                                       saturn_slot,  uranus_slot, neptune_slot, pluto_slot};
    for (PlanetSlot slot : order) {
        printf("\"%s\":{", planet_names[slot]);
        print_float("orbit_angle", scene.planets[slot].orbit_angle);
        print_float("spin_angle", scene.planets[slot].spin_angle, true);
        printf("}%s", slot == pluto_slot ? "" : ",");
    }
    printf("},");
    print_float("sun_angle", scene.sun.angle);
    print_float("sun_counter_angle", scene.sun.counter_angle);
    printf("\"sun_passes\":%d,", sun_passes);
    print_float("ring_angle", scene.motes.ring_angle);
    print_float("belt_angle", scene.motes.belt_angle);
    printf("\"comet_active\":%s,", scene.comet.active ? "true" : "false");
    printf("\"comet_ticks\":%ld,", static_cast<long>(scene.comet.ticks));
    printf("\"comet_direction\":%ld,", static_cast<long>(scene.comet.direction));
    print_float("comet_x", scene.comet.x);
    print_float("comet_y", scene.comet.y);
    print_float("comet_z", scene.comet.z);
    print_float("comet_speed_x", scene.comet.speed_x);
    print_float("comet_speed_y", scene.comet.speed_y);
    print_float("comet_red", scene.comet.red);
    print_float("comet_green", scene.comet.green);
    print_float("comet_blue", scene.comet.blue);
    printf("\"random_state\":%lu}\n", static_cast<unsigned long>(scene.generator));
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int code = parse(argc, argv, &options)) return code;

    // The outline font is built on a device context: one from a window of the
    // layer's null driver, which needs no display.
    const HDC device_context = null_driver_device_context("OrreluneSceneTool");
    OffscreenContext offscreen;
    if (!open_offscreen_context(&offscreen, options.width, options.height)) {
        fprintf(stderr, "orrelune-scene: no offscreen GL context\n");
        return 1;
    }

    // As the saver hook and the display window do at start.
    random_seed(options.seed);
    init_gl(device_context, options.width, options.height);
    resize_view(options.width, options.height);

    for (unsigned long tick = 0; tick < options.ticks; ++tick) step_scene();
    if (options.png_path && options.ticks > 0) {
        draw_frame();
        glFinish();  // the swap: the frame is complete in the buffer
    }

    if (options.json) print_json();
    int status = 0;
    if (options.png_path && !write_png(options.png_path, offscreen.pixels, options.width, options.height)) {
        fprintf(stderr, "orrelune-scene: can't write %s\n", options.png_path);
        status = 1;
    }
    close_offscreen_context(&offscreen);
    return status;
}
