// The X11 driver's monitors: the parts of the X screen that are shown on a
// screen of their own. RandR 1.5 lists them (with a primary among them);
// where RandR has no monitors (an older server, or several X screens joined
// by Xinerama, which turns RandR off), Xinerama's screens are the monitors;
// without either, the X screen is the one monitor. The list is read once
// and again after each change of the screen's layout, which reaches the
// driver at x11_screen_changed.
#include "x11/x11_private.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

namespace {

bool contains(const X11Monitor& outer, const X11Monitor& inner) {
    return outer.x <= inner.x && outer.y <= inner.y && outer.x + outer.width >= inner.x + inner.width &&
           outer.y + outer.height >= inner.y + inner.height;
}

bool same_place(const X11Monitor& a, const X11Monitor& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::vector<X11Monitor> randr_monitors(Display* display, Window root) {
    std::vector<X11Monitor> found;
    int event_base, error_base, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event_base, &error_base) || !XRRQueryVersion(display, &major, &minor) ||
        major < 1 || (major == 1 && minor < 5))
        return found;
    int count = 0;
    XRRMonitorInfo* list = XRRGetMonitors(display, root, True, &count);
    for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& info = list[i];
        found.push_back({info.x, info.y, info.width, info.height, info.primary != 0,
                         std::vector<XID>(info.outputs, info.outputs + info.noutput)});
    }
    if (list) XRRFreeMonitors(list);
    return found;
}

std::vector<X11Monitor> xinerama_monitors(Display* display) {
    std::vector<X11Monitor> found;
    int event_base, error_base, count = 0;
    if (!XineramaQueryExtension(display, &event_base, &error_base) || !XineramaIsActive(display)) return found;
    XineramaScreenInfo* list = XineramaQueryScreens(display, &count);
    for (int i = 0; i < count; ++i)
        found.push_back({list[i].x_org, list[i].y_org, list[i].width, list[i].height, false, {}});
    if (list) XFree(list);
    return found;
}

}  // namespace

std::vector<X11Monitor> x11_tidy_monitors(const std::vector<X11Monitor>& found) {
    // A monitor of no size shows nothing; two outputs mirroring one picture
    // are one monitor; a monitor that holds others whole is the screen they
    // share (RandR keeps an output's own monitor beside monitors that a
    // user made of parts of it), and each of those is shown on its own.
    std::vector<X11Monitor> kept;
    const X11Monitor* dropped_primary = nullptr;
    for (size_t i = 0; i < found.size(); ++i) {
        const X11Monitor& monitor = found[i];
        bool drop = monitor.width <= 0 || monitor.height <= 0;
        for (size_t j = 0; j < found.size() && !drop; ++j) {
            const X11Monitor& other = found[j];
            if (i == j || other.width <= 0 || other.height <= 0) continue;
            drop = same_place(monitor, other) ? j < i : contains(monitor, other);
        }
        if (!drop)
            kept.push_back(monitor);
        else if (monitor.primary)
            dropped_primary = &monitor;
    }
    auto primary = std::find_if(kept.begin(), kept.end(), [](const X11Monitor& m) { return m.primary; });
    // The primary that went for those it holds: the first of them is primary.
    if (primary == kept.end() && dropped_primary)
        primary =
            std::find_if(kept.begin(), kept.end(), [&](const X11Monitor& m) { return contains(*dropped_primary, m); });
    if (primary != kept.end()) std::rotate(kept.begin(), primary, primary + 1);
    for (size_t i = 0; i < kept.size(); ++i) kept[i].primary = i == 0;
    return kept;
}

const std::vector<X11Monitor>& x11_monitors() {
    std::vector<X11Monitor>& monitors = x11_state.monitors;
    if (x11_state.monitors_known) return monitors;
    Display* display = x11_state.display;
    std::vector<X11Monitor> found = randr_monitors(display, x11_state.root);
    if (found.empty()) found = xinerama_monitors(display);
    monitors = x11_tidy_monitors(found);
    if (monitors.empty())
        monitors.push_back(
            {0, 0, DisplayWidth(display, x11_state.screen), DisplayHeight(display, x11_state.screen), true, {}});
    x11_state.monitors_known = true;
    return monitors;
}

void x11_forget_monitors() {
    x11_state.monitors_known = false;
}

void x11_screen_changed() {
    x11_forget_monitors();
    x11_follow_screen_layout();
}
