// The Wayland driver's surfaces: a full-screen window's surface on each
// output, in the role the compositor offers (a layer-shell overlay, else a
// fullscreen xdg toplevel), the sizes they are configured at and the
// buffers drawn at their outputs' scales, which the window takes, and the
// toplevels' activation, which the program's follows.
#include "wayland/wl_private.h"

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"

// The protocol names an argument "namespace".
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "xdg-shell-client-protocol.h"

#include <algorithm>

namespace {

void destroy_surface(WlSurface* shown) {
    wayland_egl_surface_gone(shown);
    if (shown->frame) wl_callback_destroy(shown->frame);
    if (shown->fractional) wp_fractional_scale_v1_destroy(shown->fractional);
    if (shown->viewport) wp_viewport_destroy(shown->viewport);
    if (shown->layer) zwlr_layer_surface_v1_destroy(shown->layer);
    if (shown->toplevel) xdg_toplevel_destroy(shown->toplevel);
    if (shown->xdg) xdg_surface_destroy(shown->xdg);
    wl_surface_destroy(shown->surface);
    if (shown->output && shown->output->surface == shown) shown->output->surface = nullptr;
}

void remove_surface(WlWindow* window, WlSurface* shown) {
    destroy_surface(shown);
    auto& list = window->surfaces;
    list.erase(std::remove_if(list.begin(), list.end(), [&](auto& item) { return item.get() == shown; }), list.end());
}

int output_scale(const WlSurface* shown) {
    return shown->output ? shown->output->scale : 1;
}

// Sets the buffer that the surface's size and scale call for. The buffer
// scale or viewport, the new buffer and the acknowledgement of the
// configure that asked for it go to the compositor together, with the next
// frame's commit.
void apply_buffer(WlSurface* shown) {
    if (shown->width <= 0 || shown->height <= 0) return;
    if (shown->configure_pending) {
        shown->ack_serial = shown->configure_serial;
        shown->ack_due = true;
        shown->configure_pending = false;
    }
    WlBufferPlan plan =
        wayland_plan_buffer(shown->width, shown->height, output_scale(shown), shown->viewport ? shown->fraction : 0);
    if (plan == shown->buffer && shown->egl_window) return;
    if (plan.scale != shown->buffer.scale) wl_surface_set_buffer_scale(shown->surface, plan.scale);
    if (shown->viewport) {
        if (plan.viewport)
            wp_viewport_set_destination(shown->viewport, shown->width, shown->height);
        else if (shown->buffer.viewport)
            wp_viewport_set_destination(shown->viewport, -1, -1);
    }
    shown->buffer = plan;
    wayland_egl_surface_configured(shown);
}

// A size of 0 lets the output decide: its logical size.
void configured(WlSurface* shown, uint32_t serial, int width, int height) {
    shown->configure_serial = serial;
    shown->configure_pending = true;
    if ((width <= 0 || height <= 0) && shown->output) {
        width = shown->output->width / output_scale(shown);
        height = shown->output->height / output_scale(shown);
    }
    if (width <= 0 || height <= 0) return;
    shown->width = width;
    shown->height = height;
    // Before the first frame the buffer is made at once; a change comes in
    // between frames, when the events are followed: these events may come
    // while a frame drawn at the old size waits to be shown.
    if (!shown->egl_window) apply_buffer(shown);
}

void preferred_scale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
    static_cast<WlSurface*>(data)->fraction = (int)scale;
}

const wp_fractional_scale_v1_listener fractional_listener = {preferred_scale};

void layer_configure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height) {
    configured(static_cast<WlSurface*>(data), serial, (int)width, (int)height);
}

void layer_closed(void* data, zwlr_layer_surface_v1*) {
    static_cast<WlSurface*>(data)->closed = true;
}

const zwlr_layer_surface_v1_listener layer_listener = {layer_configure, layer_closed};

void xdg_surface_configure(void* data, xdg_surface*, uint32_t serial) {
    WlSurface* shown = static_cast<WlSurface*>(data);
    configured(shown, serial, shown->width, shown->height);
}

const xdg_surface_listener xdg_listener = {xdg_surface_configure};

void toplevel_configure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array* states) {
    WlSurface* shown = static_cast<WlSurface*>(data);
    // Kept until the surface's configure applies it; 0 lets the output decide.
    shown->width = width;
    shown->height = height;
    shown->activated = false;
    for (uint32_t* state = (uint32_t*)states->data; (char*)state < (char*)states->data + states->size; ++state)
        if (*state == XDG_TOPLEVEL_STATE_ACTIVATED) shown->activated = true;
}

void toplevel_close(void* data, xdg_toplevel*) {
    WlWindow* window = wayland_window_of_surface(static_cast<WlSurface*>(data)->surface);
    if (window) layer_core_post_input(window->handle, WM_CLOSE, 0, 0);
}

void toplevel_bounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void toplevel_capabilities(void*, xdg_toplevel*, wl_array*) {}

const xdg_toplevel_listener toplevel_listener = {toplevel_configure, toplevel_close, toplevel_bounds,
                                                 toplevel_capabilities};

void show_on_output(WlWindow* window, WlOutput* output) {
    auto shown = std::make_unique<WlSurface>();
    shown->output = output;
    shown->surface = wl_compositor_create_surface(wayland_state.compositor);
    shown->buffer.scale = 1;
    // A fractional scale can be shown only through a viewport; without
    // both, the output's integer scale (the next one up) is drawn at.
    if (wayland_state.fractional_scale_manager && wayland_state.viewporter) {
        shown->viewport = wp_viewporter_get_viewport(wayland_state.viewporter, shown->surface);
        shown->fractional =
            wp_fractional_scale_manager_v1_get_fractional_scale(wayland_state.fractional_scale_manager, shown->surface);
        wp_fractional_scale_v1_add_listener(shown->fractional, &fractional_listener, shown.get());
    }
    if (wayland_state.layer_shell) {
        shown->layer = zwlr_layer_shell_v1_get_layer_surface(wayland_state.layer_shell, shown->surface, output->output,
                                                             ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "orrelune");
        zwlr_layer_surface_v1_add_listener(shown->layer, &layer_listener, shown.get());
        zwlr_layer_surface_v1_set_anchor(shown->layer,
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                             ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_exclusive_zone(shown->layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(shown->layer,
                                                         wayland_state.handed_over ? 0 : 1);  // 1: exclusive
    } else {
        shown->xdg = xdg_wm_base_get_xdg_surface(wayland_state.wm_base, shown->surface);
        xdg_surface_add_listener(shown->xdg, &xdg_listener, shown.get());
        shown->toplevel = xdg_surface_get_toplevel(shown->xdg);
        xdg_toplevel_add_listener(shown->toplevel, &toplevel_listener, shown.get());
        xdg_toplevel_set_title(shown->toplevel, "Orrelune");
        xdg_toplevel_set_app_id(shown->toplevel, "orrelune");
        xdg_toplevel_set_fullscreen(shown->toplevel, output->output);
    }
    // The first commit carries no buffer: the compositor answers with the
    // size, and the first frame maps the surface.
    wl_surface_commit(shown->surface);
    output->surface = shown.get();
    window->surfaces.push_back(std::move(shown));
}

// An output that comes during the run gets the picture too, once the
// compositor has told its size and name.
void show_on_new_outputs() {
    for (WlWindow& window : wayland_state.full_screen_windows)
        if (window.visible)
            for (auto& output : wayland_state.outputs)
                if (!output->surface && wayland_shows_on(*output)) show_on_output(&window, output.get());
}

// A full-screen window takes the size in pixels of the surface with the
// most, which the program's picture is drawn at, and so do the windows
// inside it: the compositor owns the modes, whatever size the program asked
// for. The core sends WM_SIZE only where the size changes.
void report_sizes() {
    for (WlWindow& top : wayland_state.full_screen_windows) {
        for (auto& shown : top.surfaces) apply_buffer(shown.get());
        WlSurface* primary = wayland_primary_surface(top.handle);
        if (!primary) continue;
        const int width = primary->buffer.width, height = primary->buffer.height;
        layer_core_resized(top.handle, width, height);
        for (HWND child : layer_core_children(top.handle)) layer_core_resized(child, width, height);
    }
}

// A fullscreen toplevel that loses activation has lost the user to another
// window: the program is deactivated, as on X11. Any of its toplevels being
// active keeps it active, and the toplevels' first configures, before the
// compositor activates one, are no change.
void follow_activation() {
    bool any_toplevel = false, active = false;
    for (WlWindow& window : wayland_state.full_screen_windows)
        for (auto& shown : window.surfaces) {
            any_toplevel = any_toplevel || shown->toplevel;
            active = active || shown->activated;
        }
    if (!any_toplevel) return;
    if (active) wayland_state.toplevel_activated = true;
    if (!wayland_state.toplevel_activated || active == wayland_state.app_active) return;
    wayland_state.app_active = active;
    layer_core_activate_app(active);
}

}  // namespace

void wayland_show_everywhere(WlWindow* window) {
    if (!wayland_state.compositor || (!wayland_state.layer_shell && !wayland_state.wm_base)) return;
    for (auto& output : wayland_state.outputs)
        if (!output->surface && wayland_shows_on(*output)) show_on_output(window, output.get());
    wayland_roundtrip("for the sizes of its surfaces");  // before the program draws
}

void wayland_hide(WlWindow* window) {
    for (auto& shown : window->surfaces) destroy_surface(shown.get());
    window->surfaces.clear();
}

void wayland_follow_surfaces() {
    show_on_new_outputs();
    // Surfaces that the compositor closed (their output went) go.
    for (WlWindow& window : wayland_state.full_screen_windows)
        for (size_t i = window.surfaces.size(); i-- > 0;)
            if (window.surfaces[i]->closed) remove_surface(&window, window.surfaces[i].get());
    report_sizes();
    follow_activation();
}

void wayland_output_surfaces_gone(WlOutput* output) {
    for (WlWindow& window : wayland_state.full_screen_windows)
        if (output->surface) {
            for (auto& shown : window.surfaces)
                if (shown.get() == output->surface) {
                    remove_surface(&window, shown.get());
                    break;
                }
        }
}

WlBufferPlan wayland_plan_buffer(int width, int height, int output_scale, int fraction) {
    if (fraction > 0) {
        // As the protocol rounds: half away from zero.
        auto scaled = [&](int logical) { return (int)(((long long)logical * fraction + 60) / 120); };
        return {scaled(width), scaled(height), 1, true};
    }
    const int scale = output_scale > 1 ? output_scale : 1;
    return {width * scale, height * scale, scale, false};
}

void wayland_acknowledge_configure(WlSurface* shown) {
    if (!shown->ack_due) return;
    shown->ack_due = false;
    if (shown->layer)
        zwlr_layer_surface_v1_ack_configure(shown->layer, shown->ack_serial);
    else
        xdg_surface_ack_configure(shown->xdg, shown->ack_serial);
}

double wayland_pixels_per_unit(wl_surface* surface) {
    for (WlWindow& window : wayland_state.full_screen_windows)
        for (auto& shown : window.surfaces)
            if (shown->surface == surface && shown->width > 0 && shown->buffer.width > 0)
                return (double)shown->buffer.width / shown->width;
    return 1;
}

WlSurface* wayland_primary_surface(HWND handle) {
    WlWindow* top = wayland_find_window(layer_core_top_level(handle));
    if (!top) return nullptr;
    WlSurface* largest = nullptr;
    auto pixels = [](const WlSurface* shown) { return (long)shown->buffer.width * shown->buffer.height; };
    for (auto& shown : top->surfaces)
        if (shown->egl_surface && (!largest || pixels(shown.get()) > pixels(largest))) largest = shown.get();
    return largest;
}

std::vector<WlSurface*> wayland_other_surfaces(HWND handle) {
    std::vector<WlSurface*> others;
    WlSurface* primary = wayland_primary_surface(handle);
    if (WlWindow* top = wayland_find_window(layer_core_top_level(handle)))
        for (auto& shown : top->surfaces)
            if (shown.get() != primary && shown->egl_surface) others.push_back(shown.get());
    return others;
}
