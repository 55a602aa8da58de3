// Stand-ins for services the watcher asks on the buses, from Debian's
// python3-dbusmock: logind (its template) on a private system bus, and an
// object with the methods a test gives it on the session bus.
#pragma once

#include <systemd/sd-bus.h>

#include <string>

#include "idle_support.h"

// Debian's Python, which has dbusmock (not whatever python3 comes first on
// PATH).
#define DBUS_MOCK_PYTHON "/usr/bin/python3"

// `python3 -m dbusmock` with `args` on the bus at `address` (the system bus
// with `system`), running once `name` is on that bus.
Child start_dbus_mock(const std::string& address, bool system, const std::vector<std::string>& args, const char* name);

// The mock's own calls (org.freedesktop.DBus.Mock) on its object `path`.
// A method, its code in Python as dbusmock takes it:
void mock_add_method(sd_bus* bus, const char* name, const char* path, const char* interface, const char* method,
                     const char* in, const char* out, const char* code);
// A signal with one uint32 argument:
void mock_emit_u(sd_bus* bus, const char* name, const char* path, const char* interface, const char* signal,
                 uint32_t value);
// How often `method` was called:
size_t mock_calls(sd_bus* bus, const char* name, const char* path, const char* method);
