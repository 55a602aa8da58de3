// The choice of driver, and the seam's reset of the whole layer.
#include <errno.h>  // program_invocation_short_name
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <layer_test.h>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "user/user_internal.h"

void user_message_box_reset();
void advapi_registry_reset();

namespace {

const LayerDriver* chosen = nullptr;

// The drivers of this build, in the order they are tried when
// ORRELUNE_DRIVER names none. An entry without a table is a driver that
// this build lacks.
const LayerDriverCandidate* build_drivers(int* count) {
    static const LayerDriverCandidate list[] = {
        {"wayland", layer_wayland_driver()},
        {"x11", layer_x11_driver()},
        {"null", layer_null_driver()},
    };
    *count = sizeof list / sizeof list[0];
    return list;
}

bool can_run_on(const LayerDriverCandidate& candidate) {
    return candidate.driver && candidate.driver->answers;
}

// The drivers of the list that show something, for a message.
std::string display_driver_names(const LayerDriverCandidate* list, int count) {
    std::string names;
    for (int i = 0; i < count; ++i) {
        if (!can_run_on(list[i])) continue;
        if (!names.empty()) names += ", ";
        names += list[i].name;
    }
    return names;
}

}  // namespace

LayerDriverChoice layer_choose_driver(const char* requested, const LayerDriverCandidate* list, int count) {
    if (requested && *requested) {
        std::string setting = std::string("ORRELUNE_DRIVER=") + requested;
        for (int i = 0; i < count; ++i) {
            const LayerDriverCandidate& candidate = list[i];
            if (strcasecmp(candidate.name, requested) != 0) continue;
            if (!candidate.driver) return {nullptr, setting + ": this build has no " + candidate.name + " driver"};
            if (!candidate.driver->answers)
                return {nullptr, setting + ": that driver shows nothing and reads no input; it is for the layer's " +
                                     "tests (this build has: " + display_driver_names(list, count) + ")"};
            return {candidate.driver, ""};
        }
        return {nullptr, setting + ": no such driver (this build has: " + display_driver_names(list, count) + ")"};
    }
    int last = count - 1;
    while (last >= 0 && !can_run_on(list[last])) --last;
    if (last < 0) return {nullptr, "this build has no driver for a display"};
    for (int i = 0; i < last; ++i)
        if (can_run_on(list[i]) && list[i].driver->answers()) return {list[i].driver, ""};
    // The last is not asked: whether its display answers or not, it is
    // opened, and says why when there is none.
    return {list[last].driver, ""};
}

const LayerDriver* layer_open_driver() {
    static bool failed = false;
    if (!chosen && !failed) {
        int count;
        const LayerDriverCandidate* drivers = build_drivers(&count);
        LayerDriverChoice choice = layer_choose_driver(getenv("ORRELUNE_DRIVER"), drivers, count);
        if (!choice.driver) fprintf(stderr, "%s: %s\n", program_invocation_short_name, choice.message.c_str());
        if (choice.driver && choice.driver->open())
            chosen = choice.driver;
        else
            failed = true;  // said why
    }
    return chosen;
}

const LayerDriver* layer_driver() {
    // Without a display there is nothing to show windows on.
    if (!layer_open_driver()) ExitProcess(1);
    return chosen;
}

const LayerDriver* layer_chosen_driver() {
    return chosen;
}

void layer_use_driver(const LayerDriver* driver) {
    if (chosen == driver) return;
    driver->open();
    chosen = driver;
}

void layer_use_null_driver() {
    int count;
    const LayerDriverCandidate* drivers = build_drivers(&count);
    for (int i = 0; i < count; ++i)
        if (strcmp(drivers[i].name, "null") == 0) layer_use_driver(drivers[i].driver);
}

void layer_reset() {
    user_windows_reset();
    user_messages_reset();
    user_classes_reset();
    user_cursor_reset();
    user_input_reset();
    user_sysparams_reset();
    user_message_box_reset();
    layer_gdi_reset();
    layer_display_settings_reset();
    layer_kernel_reset();
    advapi_registry_reset();
    if (chosen && chosen->reset) chosen->reset();
}
