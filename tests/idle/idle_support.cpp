// The watcher's end-to-end fixtures.
#include "idle_support.h"

#include <signal.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

std::string recording_command(const Scratch& scratch, const std::string& name, bool stays) {
    return recording_script(scratch, name, stays ? "exec sleep 600" : "");
}

std::string recording_script(const Scratch& scratch, const std::string& name, const std::string& then) {
    std::string script = scratch.dir + "/" + name + ".sh", record = scratch.dir + "/" + name;
    std::ofstream(script) << "read up rest < /proc/uptime; echo $up >> '" << record << ".at'\n"
                          << "echo $$ >> '" << record << "'\n"
                          << then << "\n";
    return "sh '" + script + "'";
}

void forget_recorded(const Scratch& scratch, const std::string& name) {
    for (const char* suffix : {"", ".at"}) remove((scratch.dir + "/" + name + suffix).c_str());
}

std::vector<int> recorded(const Scratch& scratch, const std::string& name) {
    std::vector<int> pids;
    std::ifstream file(scratch.dir + "/" + name);
    for (int pid; file >> pid;) pids.push_back(pid);
    return pids;
}

std::vector<double> recorded_times(const Scratch& scratch, const std::string& name) {
    std::vector<double> times;
    std::ifstream file(scratch.dir + "/" + name + ".at");
    for (double at; file >> at;) times.push_back(at);
    return times;
}

double uptime_seconds() {
    timespec now;
    clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

bool alive(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pid_text, command, state;
    return stat >> pid_text >> command >> state && state != "Z";
}

void end_recorded(const Scratch& scratch, const std::string& name) {
    for (int pid : recorded(scratch, name))
        if (alive(pid)) kill(pid, SIGKILL);
}

bool wait_for_stderr(const Child& child, const std::string& text, int timeout_ms) {
    return wait_until([&] { return read_stderr(child).find(text) != std::string::npos; }, timeout_ms);
}

SessionBus start_session_bus(const Scratch& scratch, const std::string& socket, bool unprivileged) {
    SessionBus bus;
    bus.address = "unix:path=" + socket;
    unlink(socket.c_str());  // a bus of the same test before, ended without removing it
    // A session bus that lets the test (root, when the bus runs as another
    // user) connect too; the bus's own user always may.
    std::string config = scratch.dir + "/bus.conf";
    std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig><include>/usr/share/dbus-1/session.conf</include>\n"
                             "<policy context=\"default\"><allow user=\"root\"/></policy></busconfig>\n";
    std::vector<std::string> argv = {"/usr/bin/dbus-daemon", "--config-file=" + config, "--nofork", "--nosyslog",
                                     "--address=" + bus.address};
    bus.daemon = spawn(unprivileged ? as_unprivileged(argv, {socket.substr(0, socket.rfind('/'))}) : argv);
    // The socket's file comes before the daemon listens on it: started once
    // a client gets through.
    auto takes_a_client = [&] {
        sd_bus* probe = nullptr;
        bool connected = sd_bus_new(&probe) >= 0 && sd_bus_set_address(probe, bus.address.c_str()) >= 0 &&
                         sd_bus_set_bus_client(probe, 1) >= 0 && sd_bus_start(probe) >= 0;
        sd_bus_close_unref(probe);
        return connected;
    };
    if (!wait_until(takes_a_client, 20000)) throw std::runtime_error("dbus-daemon did not start");
    return bus;
}

void stop_session_bus(SessionBus* bus) {
    kill_child(&bus->daemon);
}

sd_bus* connect_bus(const std::string& address) {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0 || sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_bus_start(bus) < 0)
        throw std::runtime_error("cannot connect to " + address);
    return bus;
}

bool wait_for_name(sd_bus* bus, const char* name, int timeout_ms) {
    return wait_until(
        [&] {
            return sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                      "GetNameOwner", nullptr, nullptr, "s", name) >= 0;
        },
        timeout_ms);
}
