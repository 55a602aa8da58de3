// What holds the saver off: inhibits asked for on the session bus or of
// logind, a locked session. Served by the bus part, which keeps each as
// state that the buses' signals and answers update.
#pragma once

// Whether anything holds the saver off now. Asks no one: it reads that state.
bool saver_held();
// Asks logind to lock the session; false when there is no one to ask. The
// answer comes later: lock_granted() (watcher.h) when logind took the
// request, one line on stderr when it refused.
bool lock_session();
// Whether lock_session has someone to ask (known once bus_start returned).
bool lock_possible();
