#include "fake_compositor.h"

#include <stdlib.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <wayland-server.h>

#include <algorithm>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-server-protocol.h"
#undef namespace
#include "xdg-shell-server-protocol.h"

namespace {

struct Surface {
    FakeCompositor::State* state;
    wl_resource* surface;
    wl_resource* layer = nullptr;
    wl_resource* xdg = nullptr;
    wl_resource* toplevel = nullptr;
    int log = -1;  // its record, once it has a role
    bool configured = false;
    wl_resource* attached = nullptr;
    std::vector<wl_resource*> frames;  // asked for with the next commit
};

struct OutputGlobal {
    FakeCompositor::State* state;
    int index;
};

}  // namespace

struct FakeCompositor::State {
    std::vector<FakeOutput> outputs;
    std::string dir, path;
    wl_display* display = nullptr;
    std::vector<std::unique_ptr<OutputGlobal>> output_globals;
    std::vector<std::unique_ptr<Surface>> surfaces;
    std::vector<FakeSurfaceLog> logs;
    bool holding = false;
    std::vector<wl_resource*> kept;  // frame callbacks held back
    std::thread thread;
    bool stop = false;
    int wake = -1;
    std::mutex mutex;
    std::vector<std::pair<std::function<void()>, std::promise<void>*>> work;
};

namespace {

using State = FakeCompositor::State;

void destroy_resource(wl_client*, wl_resource* resource) {
    wl_resource_destroy(resource);
}

void record(Surface* shown, FakeEvent event) {
    if (shown->log >= 0) shown->state->logs[shown->log].events.push_back(event);
}

void send_configure(Surface* shown, int width, int height) {
    const uint32_t serial = wl_display_next_serial(shown->state->display);
    if (shown->layer) {
        zwlr_layer_surface_v1_send_configure(shown->layer, serial, width, height);
    } else if (shown->toplevel) {
        wl_array states;
        wl_array_init(&states);
        *static_cast<uint32_t*>(wl_array_add(&states, sizeof(uint32_t))) = XDG_TOPLEVEL_STATE_FULLSCREEN;
        *static_cast<uint32_t*>(wl_array_add(&states, sizeof(uint32_t))) = XDG_TOPLEVEL_STATE_ACTIVATED;
        xdg_toplevel_send_configure(shown->toplevel, width, height, &states);
        wl_array_release(&states);
        xdg_surface_send_configure(shown->xdg, serial);
    } else {
        return;
    }
    shown->configured = true;
    record(shown, {FakeEvent::configure, serial, width, height});
}

void callback_gone(wl_resource* callback) {
    State* state = static_cast<State*>(wl_resource_get_user_data(callback));
    auto drop = [&](std::vector<wl_resource*>& list) {
        list.erase(std::remove(list.begin(), list.end(), callback), list.end());
    };
    for (auto& shown : state->surfaces) drop(shown->frames);
    drop(state->kept);
}

void frame_done(wl_resource* callback) {
    wl_callback_send_done(callback, 0);
    wl_resource_destroy(callback);
}

// ---- wl_surface ----

Surface* surface_of(wl_resource* resource) {
    return static_cast<Surface*>(wl_resource_get_user_data(resource));
}

void surface_attach(wl_client*, wl_resource* resource, wl_resource* buffer, int32_t, int32_t) {
    surface_of(resource)->attached = buffer;
}
void surface_damage(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
void surface_frame(wl_client* client, wl_resource* resource, uint32_t id) {
    Surface* shown = surface_of(resource);
    wl_resource* callback = wl_resource_create(client, &wl_callback_interface, 1, id);
    wl_resource_set_implementation(callback, nullptr, shown->state, callback_gone);
    shown->frames.push_back(callback);
}
void surface_region(wl_client*, wl_resource*, wl_resource*) {}
void surface_commit(wl_client*, wl_resource* resource) {
    Surface* shown = surface_of(resource);
    int width = 0, height = 0;
    if (shown->attached) {
        if (wl_shm_buffer* buffer = wl_shm_buffer_get(shown->attached)) {
            width = wl_shm_buffer_get_width(buffer);
            height = wl_shm_buffer_get_height(buffer);
        }
        // Taken at once, as a compositor that copies shared memory does.
        wl_buffer_send_release(shown->attached);
        shown->attached = nullptr;
    }
    record(shown, {FakeEvent::commit, 0, width, height});
    std::vector<wl_resource*> frames;
    frames.swap(shown->frames);
    for (wl_resource* callback : frames) {
        if (shown->state->holding)
            shown->state->kept.push_back(callback);
        else
            frame_done(callback);
    }
    // The first commit, with no buffer, asks for a size.
    if (!shown->configured && shown->log >= 0) {
        const FakeOutput& output = shown->state->outputs[shown->state->logs[shown->log].output];
        send_configure(shown, output.first_width, output.first_height);
    }
}
void surface_int(wl_client*, wl_resource*, int32_t) {}

void surface_offset(wl_client*, wl_resource*, int32_t, int32_t) {}

const struct wl_surface_interface surface_implementation = {
    destroy_resource, surface_attach, surface_damage, surface_frame,  surface_region, surface_region,
    surface_commit,   surface_int,    surface_int,    surface_damage, surface_offset};

void surface_gone(wl_resource* resource) {
    surface_of(resource)->surface = nullptr;
}

// ---- wl_region, wl_compositor ----

void region_box(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
const struct wl_region_interface region_implementation = {destroy_resource, region_box, region_box};

void create_surface(wl_client* client, wl_resource* resource, uint32_t id) {
    State* state = static_cast<State*>(wl_resource_get_user_data(resource));
    auto shown = std::make_unique<Surface>();
    shown->state = state;
    shown->surface = wl_resource_create(client, &wl_surface_interface, wl_resource_get_version(resource), id);
    wl_resource_set_implementation(shown->surface, &surface_implementation, shown.get(), surface_gone);
    state->surfaces.push_back(std::move(shown));
}
void create_region(wl_client* client, wl_resource*, uint32_t id) {
    wl_resource* region = wl_resource_create(client, &wl_region_interface, 1, id);
    wl_resource_set_implementation(region, &region_implementation, nullptr, nullptr);
}
const struct wl_compositor_interface compositor_implementation = {create_surface, create_region};

void bind_compositor(wl_client* client, void* data, uint32_t version, uint32_t id) {
    wl_resource* resource = wl_resource_create(client, &wl_compositor_interface, version, id);
    wl_resource_set_implementation(resource, &compositor_implementation, data, nullptr);
}

// ---- wl_output ----

int output_index(wl_resource* output) {
    return output ? (int)(intptr_t)wl_resource_get_user_data(output) : 0;
}

void release_output(wl_client*, wl_resource* resource) {
    wl_resource_destroy(resource);
}
const struct wl_output_interface output_implementation = {release_output};

void bind_output(wl_client* client, void* data, uint32_t version, uint32_t id) {
    OutputGlobal* global = static_cast<OutputGlobal*>(data);
    const FakeOutput& output = global->state->outputs[global->index];
    wl_resource* resource = wl_resource_create(client, &wl_output_interface, version, id);
    wl_resource_set_implementation(resource, &output_implementation, (void*)(intptr_t)global->index, nullptr);
    wl_output_send_geometry(resource, 0, 0, 300, 200, WL_OUTPUT_SUBPIXEL_UNKNOWN, "Fake", "Fake",
                            WL_OUTPUT_TRANSFORM_NORMAL);
    wl_output_send_mode(resource, WL_OUTPUT_MODE_CURRENT, output.width, output.height, 60000);
    if (version >= 2) wl_output_send_scale(resource, 1);
    if (version >= 4) wl_output_send_name(resource, ("FAKE-" + std::to_string(global->index)).c_str());
    if (version >= 2) wl_output_send_done(resource);
}

// ---- roles ----

void give_role(Surface* shown, int output) {
    shown->log = (int)shown->state->logs.size();
    shown->state->logs.push_back({output, {}});
}

void role_gone(wl_resource* resource) {
    Surface* shown = static_cast<Surface*>(wl_resource_get_user_data(resource));
    if (shown->layer == resource) shown->layer = nullptr;
    if (shown->xdg == resource) shown->xdg = nullptr;
    if (shown->toplevel == resource) shown->toplevel = nullptr;
}

void ack(wl_client*, wl_resource* resource, uint32_t serial) {
    record(static_cast<Surface*>(wl_resource_get_user_data(resource)), {FakeEvent::ack, serial, 0, 0});
}

void toplevel_string(wl_client*, wl_resource*, const char*) {}
void toplevel_fullscreen(wl_client*, wl_resource* resource, wl_resource* output) {
    Surface* shown = static_cast<Surface*>(wl_resource_get_user_data(resource));
    if (shown->log < 0) give_role(shown, output_index(output));
}

struct xdg_toplevel_interface toplevel_implementation() {
    struct xdg_toplevel_interface implementation = {};
    implementation.destroy = destroy_resource;
    implementation.set_title = toplevel_string;
    implementation.set_app_id = toplevel_string;
    implementation.set_fullscreen = toplevel_fullscreen;
    return implementation;
}
const struct xdg_toplevel_interface toplevel_calls = toplevel_implementation();

void get_toplevel(wl_client* client, wl_resource* resource, uint32_t id) {
    Surface* shown = static_cast<Surface*>(wl_resource_get_user_data(resource));
    shown->toplevel = wl_resource_create(client, &xdg_toplevel_interface, wl_resource_get_version(resource), id);
    wl_resource_set_implementation(shown->toplevel, &toplevel_calls, shown, role_gone);
}

struct xdg_surface_interface xdg_surface_implementation() {
    struct xdg_surface_interface implementation = {};
    implementation.destroy = destroy_resource;
    implementation.get_toplevel = get_toplevel;
    implementation.ack_configure = ack;
    return implementation;
}
const struct xdg_surface_interface xdg_surface_calls = xdg_surface_implementation();

void get_xdg_surface(wl_client* client, wl_resource* resource, uint32_t id, wl_resource* surface) {
    Surface* shown = surface_of(surface);
    shown->xdg = wl_resource_create(client, &xdg_surface_interface, wl_resource_get_version(resource), id);
    wl_resource_set_implementation(shown->xdg, &xdg_surface_calls, shown, role_gone);
}
void pong(wl_client*, wl_resource*, uint32_t) {}

struct xdg_wm_base_interface wm_base_implementation() {
    struct xdg_wm_base_interface implementation = {};
    implementation.destroy = destroy_resource;
    implementation.get_xdg_surface = get_xdg_surface;
    implementation.pong = pong;
    return implementation;
}
const struct xdg_wm_base_interface wm_base_calls = wm_base_implementation();

void bind_wm_base(wl_client* client, void* data, uint32_t version, uint32_t id) {
    wl_resource* resource = wl_resource_create(client, &xdg_wm_base_interface, version, id);
    wl_resource_set_implementation(resource, &wm_base_calls, data, nullptr);
}

void layer_uint(wl_client*, wl_resource*, uint32_t) {}
void layer_int(wl_client*, wl_resource*, int32_t) {}
void layer_size(wl_client*, wl_resource*, uint32_t, uint32_t) {}

struct zwlr_layer_surface_v1_interface layer_surface_implementation() {
    struct zwlr_layer_surface_v1_interface implementation = {};
    implementation.set_size = layer_size;
    implementation.set_anchor = layer_uint;
    implementation.set_exclusive_zone = layer_int;
    implementation.set_keyboard_interactivity = layer_uint;
    implementation.ack_configure = ack;
    implementation.destroy = destroy_resource;
    implementation.set_layer = layer_uint;
    return implementation;
}
const struct zwlr_layer_surface_v1_interface layer_surface_calls = layer_surface_implementation();

void get_layer_surface(wl_client* client, wl_resource* resource, uint32_t id, wl_resource* surface, wl_resource* output,
                       uint32_t, const char*) {
    Surface* shown = surface_of(surface);
    shown->layer = wl_resource_create(client, &zwlr_layer_surface_v1_interface, wl_resource_get_version(resource), id);
    wl_resource_set_implementation(shown->layer, &layer_surface_calls, shown, role_gone);
    give_role(shown, output_index(output));
}

const struct zwlr_layer_shell_v1_interface layer_shell_calls = {get_layer_surface, destroy_resource};

void bind_layer_shell(wl_client* client, void* data, uint32_t version, uint32_t id) {
    wl_resource* resource = wl_resource_create(client, &zwlr_layer_shell_v1_interface, version, id);
    wl_resource_set_implementation(resource, &layer_shell_calls, data, nullptr);
}

// ---- the thread ----

int run_work(int fd, uint32_t, void* data) {
    State* state = static_cast<State*>(data);
    uint64_t count;
    if (read(fd, &count, sizeof count) != sizeof count) return 0;
    std::vector<std::pair<std::function<void()>, std::promise<void>*>> work;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        work.swap(state->work);
    }
    for (auto& item : work) {
        item.first();
        wl_display_flush_clients(state->display);
        item.second->set_value();
    }
    return 0;
}

}  // namespace

FakeCompositor::FakeCompositor(std::vector<FakeOutput> outputs, bool layer_shell) : state(new State) {
    state->outputs = std::move(outputs);
    char dir[] = "/tmp/orrelune-fake-compositor-XXXXXX";
    if (!mkdtemp(dir)) throw std::runtime_error("no folder for the compositor's socket");
    state->dir = dir;
    state->path = state->dir + "/wayland-0";
    int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, state->path.c_str(), sizeof address.sun_path - 1);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 ||
        listen(listener, 4) < 0)
        throw std::runtime_error("no socket for the compositor");

    state->display = wl_display_create();
    wl_display_add_socket_fd(state->display, listener);
    wl_display_init_shm(state->display);
    wl_global_create(state->display, &wl_compositor_interface, 4, state.get(), bind_compositor);
    wl_global_create(state->display, &xdg_wm_base_interface, 1, state.get(), bind_wm_base);
    if (layer_shell) wl_global_create(state->display, &zwlr_layer_shell_v1_interface, 3, state.get(), bind_layer_shell);
    for (size_t i = 0; i < state->outputs.size(); ++i) {
        state->output_globals.push_back(std::make_unique<OutputGlobal>(OutputGlobal{state.get(), (int)i}));
        wl_global_create(state->display, &wl_output_interface, 4, state->output_globals.back().get(), bind_output);
    }
    state->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    wl_event_loop_add_fd(wl_display_get_event_loop(state->display), state->wake, WL_EVENT_READABLE, run_work,
                         state.get());
    State* running = state.get();
    state->thread = std::thread([running] {
        wl_event_loop* loop = wl_display_get_event_loop(running->display);
        while (!running->stop) {
            wl_event_loop_dispatch(loop, -1);
            wl_display_flush_clients(running->display);
        }
    });
}

FakeCompositor::~FakeCompositor() {
    call([this] { state->stop = true; });
    state->thread.join();
    wl_display_destroy_clients(state->display);
    wl_display_destroy(state->display);
    close(state->wake);
    unlink(state->path.c_str());
    rmdir(state->dir.c_str());
}

std::string FakeCompositor::socket() const {
    return state->path;
}

void FakeCompositor::call(std::function<void()> work) {
    std::promise<void> done;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->work.push_back({std::move(work), &done});
    }
    const uint64_t one = 1;
    if (write(state->wake, &one, sizeof one) < 0) throw std::runtime_error("the compositor cannot be woken");
    done.get_future().wait();
}

void FakeCompositor::hold_frames(bool hold) {
    call([this, hold] {
        state->holding = hold;
        if (hold) return;
        std::vector<wl_resource*> kept;
        kept.swap(state->kept);
        for (wl_resource* callback : kept) frame_done(callback);
    });
}

void FakeCompositor::configure(int output, int width, int height) {
    call([this, output, width, height] {
        for (auto& shown : state->surfaces)
            if (shown->surface && shown->log >= 0 && state->logs[shown->log].output == output)
                send_configure(shown.get(), width, height);
    });
}

std::vector<FakeSurfaceLog> FakeCompositor::surfaces() {
    std::vector<FakeSurfaceLog> copy;
    call([&] { copy = state->logs; });
    return copy;
}
