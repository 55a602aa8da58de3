// The null driver's display modes: a settable list of offered sizes over the
// null screen, for tests of the program's mode switch. A switch resizes the
// null screen (what GetSystemMetrics reports); the restore sizes it back.
// Besides null_mode_driver it implements layer_set_display_modes.
#include <vector>

#include <layer_test.h>

#include "null/null_private.h"

namespace {

const LayerDisplaySize default_sizes[] = {{1024, 768}, {800, 600}, {640, 480}};
const int refresh_rate = 60;
const int screen_bits = 32;

std::vector<LayerDisplaySize> offered(std::begin(default_sizes), std::end(default_sizes));
bool switched = false;
LayerDisplaySize kept;

int null_list_modes(LayerDisplayMode* modes, int max) {
    int count = static_cast<int>(offered.size());
    for (int i = 0; i < count && i < max; ++i)
        modes[i] = LayerDisplayMode{offered[i].width, offered[i].height, refresh_rate};
    return count;
}

bool null_current_mode(LayerDisplayMode* mode, int* bits) {
    layer_null_driver()->get_screen_size(&mode->width, &mode->height);
    mode->refresh = refresh_rate;
    *bits = screen_bits;
    return true;
}

bool null_set_mode(const LayerDisplayMode* mode) {
    if (!switched) {
        layer_null_driver()->get_screen_size(&kept.width, &kept.height);
        switched = true;
    }
    layer_set_screen_size(mode->width, mode->height);
    return true;
}

void null_restore_mode() {
    if (!switched) return;
    layer_set_screen_size(kept.width, kept.height);
    switched = false;
}

void null_reset() {
    offered.assign(std::begin(default_sizes), std::end(default_sizes));
    switched = false;
}

const LayerModeDriver mode_driver = {
    null_list_modes, null_current_mode, null_set_mode, null_restore_mode, null_restore_mode, null_reset,
};

}  // namespace

const LayerModeDriver* null_mode_driver() {
    return &mode_driver;
}

void layer_set_display_modes(const LayerDisplaySize* sizes, int count) {
    offered.assign(sizes, sizes + count);
}
