// What holds the saver off: inhibits asked for on the session bus, a locked
// session. Served by the bus part.
#pragma once

// Whether anything holds the saver off now.
bool saver_held();
// Asks the session to lock (logind); false when there is no one to ask.
bool lock_session();
// Whether lock_session has someone to ask (known once bus_start returned).
bool lock_possible();
