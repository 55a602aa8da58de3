// The session's buses: one watcher per session, the inhibit service, logind's
// lock and idle inhibitors, GNOME's screen shield and inhibitors, behind
// holds.h.
#pragma once

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

// Connects to the session bus and the system bus, and serves or follows
// what holds the saver off; their answers come through the event loop. The
// session bus, or null when there is none. Exits the process, after one line,
// when another watcher runs on the session bus (EXIT_ANOTHER_WATCHER), or the
// session bus does not answer within 10 s or refuses the set-up
// (EXIT_NO_SESSION).
sd_bus* bus_start(sd_event* event);
