// A pointer for tests on a wlroots compositor: makes one virtual pointer and
// keeps it while it reads commands from standard input, one a line:
//   move DX DY     relative motion in pixels
//   click          a press and release of the left button
// It prints "ready" once the compositor has the pointer, and "done" after
// each command has reached the compositor. Ends at the end of its input.
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <wayland-client.h>

namespace {

zwlr_virtual_pointer_manager_v1* manager;
wl_seat* seat;

void global_added(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    else if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
}

void global_removed(void*, wl_registry*, uint32_t) {}

const wl_registry_listener listener = {global_added, global_removed};

uint32_t now_ms() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        fprintf(stderr, "virtual_pointer: no compositor\n");
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &listener, nullptr);
    wl_display_roundtrip(display);
    if (!manager) {
        fprintf(stderr, "virtual_pointer: the compositor has no virtual pointers\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    wl_display_roundtrip(display);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    printf("ready\n");
    char line[128];
    while (fgets(line, sizeof line, stdin)) {
        double dx, dy;
        if (sscanf(line, "move %lf %lf", &dx, &dy) == 2) {
            zwlr_virtual_pointer_v1_motion(pointer, now_ms(), wl_fixed_from_double(dx), wl_fixed_from_double(dy));
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (strncmp(line, "click", 5) == 0) {
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(pointer);
        }
        if (wl_display_roundtrip(display) < 0) return 1;
        printf("done\n");
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_disconnect(display);
    return 0;
}
