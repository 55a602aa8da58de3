// The Wayland driver's outputs: their modes and names as the compositor
// tells them, which of them take the picture, and the display modes the
// core is told, which follow from them.
#include "wayland/wl_private.h"

#include <algorithm>

namespace {

void output_geometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                     int32_t) {}

void output_mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
    WlOutput* output = static_cast<WlOutput*>(data);
    output->width = width;
    output->height = height;
}

void output_done(void* data, wl_output*) {
    static_cast<WlOutput*>(data)->done = true;
}
// Applied to the output's surface when the events are next followed.
void output_scale(void* data, wl_output*, int32_t scale) {
    static_cast<WlOutput*>(data)->scale = scale > 0 ? scale : 1;
}
void output_name(void* data, wl_output*, const char* name) {
    static_cast<WlOutput*>(data)->name = name;
}
void output_description(void*, wl_output*, const char*) {}

const wl_output_listener output_listener = {output_geometry, output_mode, output_done,
                                            output_scale,    output_name, output_description};

// The compositor owns the outputs' modes and a full-screen window takes each
// output's size, whatever size the program asked for. So the modes told are
// the largest output's and the usual smaller sizes, and a switch to one is
// granted without a change: no prompt for a mode the program could not get,
// and nothing to restore.
int list_modes(LayerDisplayMode* modes, int max) {
    static const LayerDisplayMode usual[] = {{640, 480, 0},   {800, 600, 0},   {1024, 768, 0},  {1152, 864, 0},
                                             {1280, 720, 0},  {1280, 1024, 0}, {1600, 1200, 0}, {1920, 1080, 0},
                                             {2560, 1440, 0}, {3840, 2160, 0}};
    int width, height, count = 0;
    wayland_largest_output_size(&width, &height);
    auto add = [&](const LayerDisplayMode& mode) {
        if (count < max) modes[count] = mode;
        ++count;
    };
    add({width, height, 0});
    for (const LayerDisplayMode& mode : usual)
        if (mode.width <= width && mode.height <= height && (mode.width != width || mode.height != height)) add(mode);
    return count;
}

bool current_mode(LayerDisplayMode* mode, int* bits) {
    wayland_largest_output_size(&mode->width, &mode->height);
    mode->refresh = 0;
    *bits = 32;
    return true;
}

bool set_mode(const LayerDisplayMode*) {
    return true;
}

// No mode was changed: none to restore, and nothing kept to forget.
void nothing_to_restore() {}

const LayerModeDriver mode_driver = {list_modes,         current_mode,       set_mode,
                                     nothing_to_restore, nothing_to_restore, nothing_to_restore};

}  // namespace

void wayland_output_added(uint32_t global, uint32_t version) {
    auto output = std::make_unique<WlOutput>();
    output->global = global;
    output->scale = 1;
    output->output = static_cast<wl_output*>(
        wl_registry_bind(wayland_state.registry, global, &wl_output_interface, std::min<uint32_t>(version, 4)));
    wl_output_add_listener(output->output, &output_listener, output.get());
    wayland_state.outputs.push_back(std::move(output));
}

bool wayland_output_removed(uint32_t global) {
    auto& outputs = wayland_state.outputs;
    auto found = std::find_if(outputs.begin(), outputs.end(), [&](auto& output) { return output->global == global; });
    if (found == outputs.end()) return false;
    WlOutput* output = found->get();
    wayland_output_surfaces_gone(output);
    if (wl_output_get_version(output->output) >= 3)
        wl_output_release(output->output);
    else
        wl_output_destroy(output->output);
    outputs.erase(found);
    return true;
}

// An output is taken once the compositor has told all about it; a
// compositor that names no output has all of them used.
bool wayland_shows_on(const WlOutput& output) {
    if (!output.done) return false;
    if (wayland_state.only_output.empty() || output.name == wayland_state.only_output) return true;
    return std::none_of(wayland_state.outputs.begin(), wayland_state.outputs.end(),
                        [](auto& other) { return !other->name.empty(); });
}

void wayland_largest_output_size(int* width, int* height) {
    *width = *height = 0;
    for (auto& output : wayland_state.outputs) {
        if (!wayland_shows_on(*output)) continue;
        if ((long)output->width * output->height > (long)*width * *height) {
            *width = output->width;
            *height = output->height;
        }
    }
    if (!*width) {  // no output (yet): a size the program can draw at
        *width = 1024;
        *height = 768;
    }
}

const LayerModeDriver* wayland_mode_driver() {
    return &mode_driver;
}
