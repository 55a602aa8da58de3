// A Wayland client that shows a small window and holds an idle inhibitor
// on its surface until it is ended: a video player, as the compositor sees
// one. It says "inhibiting" on stderr once the window is shown.
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "idle-test-xdg-shell-client-protocol.h"

namespace {

wl_compositor* compositor;
wl_shm* shm;
xdg_wm_base* wm_base;
zwp_idle_inhibit_manager_v1* inhibit_manager;
bool configured;

void on_global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (!strcmp(interface, wl_compositor_interface.name))
        compositor = (wl_compositor*)wl_registry_bind(registry, name, &wl_compositor_interface, 4);
    else if (!strcmp(interface, wl_shm_interface.name))
        shm = (wl_shm*)wl_registry_bind(registry, name, &wl_shm_interface, 1);
    else if (!strcmp(interface, xdg_wm_base_interface.name))
        wm_base = (xdg_wm_base*)wl_registry_bind(registry, name, &xdg_wm_base_interface, 1);
    else if (!strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name))
        inhibit_manager =
            (zwp_idle_inhibit_manager_v1*)wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1);
}
void on_global_remove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registry_listener = {on_global, on_global_remove};

void on_ping(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener wm_base_listener = {on_ping};

void on_configure(void*, xdg_surface* surface, uint32_t serial) {
    xdg_surface_ack_configure(surface, serial);
    configured = true;
}
const xdg_surface_listener surface_listener = {on_configure};

wl_buffer* grey_buffer(int width, int height) {
    int stride = width * 4, size = stride * height;
    int fd = memfd_create("inhibitor", 0);
    if (fd < 0 || ftruncate(fd, size) != 0) return nullptr;
    void* pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    memset(pixels, 0x80, size);
    munmap(pixels, size);
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return 1;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, nullptr);
    wl_display_roundtrip(display);
    if (!compositor || !shm || !wm_base || !inhibit_manager) {
        fprintf(stderr, "the compositor lacks a global this client needs\n");
        return 1;
    }
    xdg_wm_base_add_listener(wm_base, &wm_base_listener, nullptr);
    wl_surface* surface = wl_compositor_create_surface(compositor);
    xdg_surface* shell_surface = xdg_wm_base_get_xdg_surface(wm_base, surface);
    xdg_surface_add_listener(shell_surface, &surface_listener, nullptr);
    xdg_toplevel_set_title(xdg_surface_get_toplevel(shell_surface), "inhibitor");
    wl_surface_commit(surface);
    while (!configured && wl_display_dispatch(display) >= 0) {
    }
    wl_surface_attach(surface, grey_buffer(64, 64), 0, 0);
    wl_surface_commit(surface);
    zwp_idle_inhibit_manager_v1_create_inhibitor(inhibit_manager, surface);
    wl_display_roundtrip(display);
    fprintf(stderr, "inhibiting\n");
    while (wl_display_dispatch(display) >= 0) {
    }
    return 1;
}
