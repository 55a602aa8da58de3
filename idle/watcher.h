// The run: the saver child, the idle period it belongs to, and the lock
// after it. The idle sources and the session's holds report here; nothing
// here knows which source is in use.
#pragma once

#include <systemd/sd-event.h>

#include <string>

#include "options.h"

// Also makes the watcher the reaper of what its children leave behind.
void watcher_init(sd_event* event, const Options& options);

// From the idle source: the user has been idle for the timeout, or is back.
void idle_began();
void user_returned();
// From the idle source or a bus: the session is gone. Ends the loop with
// EXIT_NO_SESSION; nothing starts after this.
void session_lost(const std::string& why);
// From a signal: ends the loop with 0; nothing starts after this.
void watcher_stop();
// After the loop (or where the process must end at once): ends the saver and
// waits, bounded, until nothing of it runs. A lock command is left to run.
void watcher_finish();
// A call that the run depends on failed (`what` says which, `error` is a
// negative errno): one line, the saver ended, exit with EXIT_SETUP.
[[noreturn]] void give_up(const std::string& what, int error);

// From the holds (an inhibit, a lock): a hold came or went. When the last
// one goes, a whole timeout of idleness starts from then.
void holds_changed();
// The session was locked by other means: the saver makes way.
void session_locked();
// logind took the watcher's request to lock: the saver makes way for the
// lock screen. Until then (and when logind refuses) the saver stays.
void lock_granted();

// Ends the saver (SIGTERM to its process group, SIGKILL after a grace
// period).
void end_saver();
bool saver_running();

// A line on stderr under --verbose.
void note(const std::string& line);
// A line on stderr always.
void warn(const std::string& line);
