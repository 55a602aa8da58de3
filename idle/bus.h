// The session's buses: the inhibit service, logind's lock and GNOME's
// screen shield and inhibitors, behind holds.h.
#pragma once

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

// Connects to the session bus and the system bus, and serves or follows
// what holds the saver off. The session bus, or null when there is none.
sd_bus* bus_start(sd_event* event);
