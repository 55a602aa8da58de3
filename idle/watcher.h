// The run: the saver child, the idle period it belongs to, and the lock
// after it. The idle sources and the session's holds report here; nothing
// here knows which source is in use.
#pragma once

#include <systemd/sd-event.h>

#include <string>

#include "options.h"

void watcher_init(sd_event* event, const Options& options);

// From the idle source: the user has been idle for the timeout, or is back.
void idle_began();
void user_returned();
// From the idle source or a bus: the session is gone. Ends the saver and the
// loop with EXIT_NO_SESSION.
void session_lost(const std::string& why);

// From the holds (an inhibit, a lock): a hold came or went. When the last
// one goes, a whole timeout of idleness starts from then.
void holds_changed();
// The session was locked by other means: the saver makes way.
void session_locked();

// Ends the saver (the loop is ending).
void end_saver();
bool saver_running();

// A line on stderr under --verbose.
void note(const std::string& line);
// A line on stderr always.
void warn(const std::string& line);
