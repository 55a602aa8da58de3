// The idle sources. Each tries to start on what the session offers and
// returns false (saying why under --verbose) when it cannot; once started
// it reports through watcher.h until the loop ends.
#pragma once

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

// ext_idle_notifier_v1, else org_kde_kwin_idle, on the Wayland compositor.
bool start_wayland_source(sd_event* event, unsigned timeout);
// org.gnome.Mutter.IdleMonitor on the session bus (may be null).
bool start_gnome_source(sd_bus* session, unsigned timeout);
// MIT-SCREEN-SAVER on the X display.
bool start_x11_source(sd_event* event, unsigned timeout);
