// The stand-ins of dbus_mock.h.
#include "dbus_mock.h"

#include <string.h>

#include <stdexcept>

namespace {

const char* const mock_interface = "org.freedesktop.DBus.Mock";

void check(int r, const char* what) {
    if (r < 0) throw std::runtime_error(std::string("dbusmock: ") + what + ": " + strerror(-r));
}

}  // namespace

Child start_dbus_mock(const std::string& address, bool system, const std::vector<std::string>& args, const char* name) {
    std::vector<std::string> argv = {DBUS_MOCK_PYTHON, "-m", "dbusmock"};
    if (system) argv.push_back("--system");
    argv.insert(argv.end(), args.begin(), args.end());
    Child mock =
        spawn(argv, {std::string(system ? "DBUS_SYSTEM_BUS_ADDRESS=" : "DBUS_SESSION_BUS_ADDRESS=") + address});
    sd_bus* bus = connect_bus(address);
    bool up = wait_for_name(bus, name, 30000);
    sd_bus_flush_close_unref(bus);
    if (!up) throw std::runtime_error("dbusmock did not start: " + read_stderr(mock));
    return mock;
}

void mock_add_method(sd_bus* bus, const char* name, const char* path, const char* interface, const char* method,
                     const char* in, const char* out, const char* code) {
    check(sd_bus_call_method(bus, name, path, mock_interface, "AddMethod", nullptr, nullptr, "sssss", interface, method,
                             in, out, code),
          "AddMethod");
}

void mock_emit_u(sd_bus* bus, const char* name, const char* path, const char* interface, const char* signal,
                 uint32_t value) {
    sd_bus_message* call = nullptr;
    check(sd_bus_message_new_method_call(bus, &call, name, path, mock_interface, "EmitSignal"), "EmitSignal");
    check(sd_bus_message_append(call, "sssav", interface, signal, "u", 1, "u", value), "EmitSignal");
    int r = sd_bus_call(bus, call, 0, nullptr, nullptr);
    sd_bus_message_unref(call);
    check(r, "EmitSignal");
}

size_t mock_calls(sd_bus* bus, const char* name, const char* path, const char* method) {
    sd_bus_message* reply = nullptr;
    check(sd_bus_call_method(bus, name, path, mock_interface, "GetMethodCalls", nullptr, &reply, "s", method),
          "GetMethodCalls");
    size_t calls = 0;
    check(sd_bus_message_enter_container(reply, 'a', "(tav)"), "GetMethodCalls");
    while (sd_bus_message_enter_container(reply, 'r', "tav") > 0) {
        check(sd_bus_message_skip(reply, "tav"), "GetMethodCalls");
        check(sd_bus_message_exit_container(reply), "GetMethodCalls");
        ++calls;
    }
    sd_bus_message_unref(reply);
    return calls;
}
