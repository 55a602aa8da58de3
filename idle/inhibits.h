// org.freedesktop.ScreenSaver's Inhibit and UnInhibit, served on the session
// bus while no other program wants the name; part of the bus part, behind
// holds.h.
#pragma once

#include <systemd/sd-bus.h>

#include <string>

// How many inhibits one client may hold at once; the next is refused.
const unsigned max_inhibits_per_client = 64;

// Asks for the name (left alone where the desktop serves it itself) and
// follows who holds it. False, with *why, when the bus refuses the set-up.
bool serve_inhibits(sd_bus* session, std::string* why);
// Whether a client holds an inhibit now.
bool inhibits_held();
