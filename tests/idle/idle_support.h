// What the watcher's end-to-end tests share: a scratch folder, a stand-in
// saver that records each start, a private session bus, and a client on it.
#pragma once

#include <systemd/sd-bus.h>

#include <string>
#include <vector>

#include "e2e_support.h"
#include "scratch.h"

// A --command that appends its pid to `name` in the scratch folder and then
// runs until it is ended (or, with `stays` false, ends at once).
std::string recording_command(const Scratch& scratch, const std::string& name, bool stays = true);
// A --command that records its start likewise (its pid in `name`, the
// system's uptime in `name`.at) and then runs the shell text `then`.
std::string recording_script(const Scratch& scratch, const std::string& name, const std::string& then);
// Forgets what `name` recorded, for a test's next round.
void forget_recorded(const Scratch& scratch, const std::string& name);
// The pids recorded in `name`, one per start.
std::vector<int> recorded(const Scratch& scratch, const std::string& name);
// When each start was, in seconds of the system's uptime (CLOCK_BOOTTIME).
std::vector<double> recorded_times(const Scratch& scratch, const std::string& name);
double uptime_seconds();
// Whether the process runs (and is not a zombie).
bool alive(int pid);
// Ends the recorded processes that still run.
void end_recorded(const Scratch& scratch, const std::string& name);

// The watcher's stderr holds `text` within timeout_ms.
bool wait_for_stderr(const Child& child, const std::string& text, int timeout_ms);

// A private session bus at `socket`; with `unprivileged`, run as the
// unprivileged user when the test runs as root (for a compositor that runs
// as that user), the test still connecting.
struct SessionBus {
    Child daemon;
    std::string address;
};
SessionBus start_session_bus(const Scratch& scratch, const std::string& socket, bool unprivileged = false);
void stop_session_bus(SessionBus* bus);
// A client connection to it.
sd_bus* connect_bus(const std::string& address);
// Whether `name` has an owner on the bus within timeout_ms.
bool wait_for_name(sd_bus* bus, const char* name, int timeout_ms);
