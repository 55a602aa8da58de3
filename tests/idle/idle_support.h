// What the watcher's end-to-end tests and its benchmark share: a scratch
// folder, a stand-in saver that records each start, a private session bus, a
// client on it, and headless mutter and KWin with input into them.
#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
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

// A private headless mutter (GNOME's compositor) on `bus`, run as the
// unprivileged user in `runtime` and `home` when the caller is root, with
// a RemoteDesktop session for keys. `env` makes a process its client.
struct Mutter {
    Child server;
    sd_bus* client = nullptr;
    std::string session;
    std::vector<std::string> env;
};
// False when it did not come up (its stderr says why).
bool start_mutter(const SessionBus& bus, const std::string& runtime, const std::string& home, Mutter* mutter);
// Presses and releases the key with this keysym.
bool mutter_key(const Mutter& mutter, uint32_t keysym);
void stop_mutter(Mutter* mutter);

// A private virtual KWin on `bus`, likewise, with KWin's fake input (the
// program at `fake_input`) for pointer moves. KWin's installed binary
// carries a file capability that an unprivileged user may not exec here, so
// a plain copy in `bin` runs, named kwin_wayland as KWin expects.
struct KWin {
    Child server, input;
    int moves = 0;
    std::vector<std::string> env;
};
bool start_kwin(const SessionBus& bus, const std::string& runtime, const std::string& home, const std::string& bin,
                const std::string& fake_input, KWin* kwin);
// Moves the pointer a little and waits until KWin has it.
bool kwin_move(KWin* kwin);
void stop_kwin(KWin* kwin);
