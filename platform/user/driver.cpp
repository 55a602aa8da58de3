// The choice of driver.
#include <errno.h>  // program_invocation_short_name
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <vector>

#include <layer_test.h>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "user/user_internal.h"

namespace {

const LayerDriver* chosen = nullptr;

// The drivers of this build, in the order they are tried when
// ORRELUNE_DRIVER names none. An entry without a table is a driver that
// this build lacks.
const LayerDriverCandidate* build_drivers(int* count) {
    static const LayerDriverCandidate list[] = {
#if ORRELUNE_WAYLAND
        {"wayland", layer_wayland_driver()},
#else
        {"wayland", nullptr},
#endif
#if ORRELUNE_X11
        {"x11", layer_x11_driver()},
#else
        {"x11", nullptr},
#endif
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

// What the run needs beyond a display: windows of other programs for a
// preview (/p) and for a daemon's window or the root window (--root,
// --window-id, XSCREENSAVER_WINDOW: X windows all), dialogs for the
// settings (/c). A Wayland desktop offers neither, and an X display
// (Xwayland's there) does.
struct RunNeed {
    bool (*met_by)(const LayerDriver* driver);
    const char* named_lacks;  // after "ORRELUNE_DRIVER=name: that driver "
    const char* none_answers;
};

const RunNeed* run_need() {
    static const RunNeed preview = {
        [](const LayerDriver* driver) { return driver->foreign != nullptr; },
        "has no windows of other programs to draw a preview (/p) into",
        "the preview (/p) draws into another program's window; a Wayland desktop has none, and no X display answers"};
    static const RunNeed settings = {
        [](const LayerDriver* driver) { return driver->dialog != nullptr; }, "shows no dialogs (/c needs x11)",
        "the settings dialog shows on X only (on a Wayland desktop, through Xwayland), and no X display answers"};
    static const RunNeed hosted = {
        [](const LayerDriver* driver) { return driver->foreign != nullptr; },
        "has no windows of other programs to draw into (--root and --window-id need x11)",
        "--root and --window-id draw into an X window; a Wayland desktop has none, and no X display answers"};
    switch (layer_run_switch()) {
    case 'p': return &preview;
    case 'h': return &hosted;
    case 'c': return &settings;
    }
    return nullptr;
}

// The choice for this run: among the drivers that meet its need, where a
// driver that does not could show the rest of the program.
LayerDriverChoice choose_for_run(const char* requested, const LayerDriverCandidate* list, int count) {
    LayerDriverChoice choice = layer_choose_driver(requested, list, count);
    const RunNeed* need = run_need();
    if (!need || !choice.driver || need->met_by(choice.driver)) return choice;
    if (requested && *requested)
        return {nullptr, "ORRELUNE_DRIVER=" + layer_printable(requested) + ": that driver " + need->named_lacks};
    std::vector<LayerDriverCandidate> able;
    for (int i = 0; i < count; ++i)
        if (list[i].driver && need->met_by(list[i].driver)) able.push_back(list[i]);
    LayerDriverChoice other = layer_choose_driver(nullptr, able.data(), static_cast<int>(able.size()));
    // The last of them is taken unasked; when its display does not answer
    // either, the need is what to say.
    if (!other.driver || !other.driver->answers || !other.driver->answers()) return {nullptr, need->none_answers};
    return other;
}

}  // namespace

LayerDriverChoice layer_choose_driver(const char* requested, const LayerDriverCandidate* list, int count) {
    if (requested && *requested) {
        std::string setting = "ORRELUNE_DRIVER=" + layer_printable(requested);
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
    const LayerDriver* named_silent = nullptr;
    for (int i = 0; i < last; ++i) {
        if (!can_run_on(list[i])) continue;
        if (list[i].driver->answers()) return {list[i].driver, ""};
        if (!named_silent && list[i].driver->named && list[i].driver->named()) named_silent = list[i].driver;
    }
    // The last is asked only when an earlier server was named and did not
    // answer: that one is then opened to say why, unless the last answers.
    // Else the last is opened unasked, and says why when there is none.
    if (named_silent && !list[last].driver->answers()) return {named_silent, ""};
    return {list[last].driver, ""};
}

const LayerDriver* layer_open_driver() {
    static bool failed = false;
    if (!chosen && !failed) {
        int count;
        const LayerDriverCandidate* drivers = build_drivers(&count);
        LayerDriverChoice choice = choose_for_run(getenv("ORRELUNE_DRIVER"), drivers, count);
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
