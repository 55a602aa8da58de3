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

bool start_mutter(const SessionBus& bus, const std::string& runtime, const std::string& home, Mutter* mutter) {
    mutter->env = {"XDG_RUNTIME_DIR=" + runtime,
                   "WAYLAND_DISPLAY=orrelune-mutter",
                   "DISPLAY",
                   "DBUS_SESSION_BUS_ADDRESS=" + bus.address,
                   "HOME=" + home,
                   "LIBGL_ALWAYS_SOFTWARE=1"};
    mutter->server = spawn(as_unprivileged({"/usr/bin/mutter", "--headless", "--wayland", "--no-x11",
                                            "--wayland-display=orrelune-mutter", "--virtual-monitor", "640x480"},
                                           {runtime, home}),
                           mutter->env);
    mutter->client = connect_bus(bus.address);
    if (!wait_for_name(mutter->client, "org.gnome.Mutter.RemoteDesktop", 60000) ||
        !wait_for_name(mutter->client, "org.gnome.Mutter.IdleMonitor", 60000))
        return false;
    sd_bus_message* reply = nullptr;
    const char* path = nullptr;
    if (sd_bus_call_method(mutter->client, "org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                           "org.gnome.Mutter.RemoteDesktop", "CreateSession", nullptr, &reply, "") < 0)
        return false;
    bool read = sd_bus_message_read(reply, "o", &path) >= 0;
    if (read) mutter->session = path;
    sd_bus_message_unref(reply);
    if (!read || sd_bus_call_method(mutter->client, "org.gnome.Mutter.RemoteDesktop", mutter->session.c_str(),
                                    "org.gnome.Mutter.RemoteDesktop.Session", "Start", nullptr, nullptr, "") < 0)
        return false;
    // The first key after the session starts can be lost: a harmless one.
    return mutter_key(*mutter, 0xffe1);  // Shift_L
}

bool mutter_key(const Mutter& mutter, uint32_t keysym) {
    for (int down : {1, 0})
        if (sd_bus_call_method(mutter.client, "org.gnome.Mutter.RemoteDesktop", mutter.session.c_str(),
                               "org.gnome.Mutter.RemoteDesktop.Session", "NotifyKeyboardKeysym", nullptr, nullptr, "ub",
                               keysym, down) < 0)
            return false;
    return true;
}

void stop_mutter(Mutter* mutter) {
    if (mutter->client) sd_bus_flush_close_unref(mutter->client);
    mutter->client = nullptr;
    kill_child(&mutter->server);
}

bool start_kwin(const SessionBus& bus, const std::string& runtime, const std::string& home, const std::string& bin,
                const std::string& fake_input, KWin* kwin) {
    std::string copy = bin + "/kwin_wayland";
    std::filesystem::create_directories(bin);
    std::filesystem::copy_file("/usr/bin/kwin_wayland", copy, std::filesystem::copy_options::overwrite_existing);
    kwin->env = {"XDG_RUNTIME_DIR=" + runtime,
                 "WAYLAND_DISPLAY=orrelune-kwin",
                 "DISPLAY",
                 "DBUS_SESSION_BUS_ADDRESS=" + bus.address,
                 "HOME=" + home,
                 "KWIN_COMPOSE=Q",
                 "KWIN_WAYLAND_NO_PERMISSION_CHECKS=1",
                 "QT_QPA_PLATFORM"};
    kwin->server =
        spawn(as_unprivileged({copy, "--virtual", "--width", "640", "--height", "480", "--socket", "orrelune-kwin",
                               "--no-lockscreen", "--no-global-shortcuts", "--no-kactivities"},
                              {runtime, home}),
              kwin->env);
    if (!wait_until([&] { return access((runtime + "/orrelune-kwin").c_str(), F_OK) == 0; }, 60000)) return false;
    // The seat must have the device before a client binds it: input first.
    kwin->input = spawn(as_unprivileged({fake_input}, {}), kwin->env);
    return wait_for_stderr(kwin->input, "ready", 60000);
}

bool kwin_move(KWin* kwin) {
    int moves = ++kwin->moves;
    kill(kwin->input.pid, SIGUSR1);
    return wait_until(
        [&] {
            std::string text = read_stderr(kwin->input);
            int seen = 0;
            for (size_t at = text.find("moved"); at != std::string::npos; at = text.find("moved", at + 1)) ++seen;
            return seen >= moves;
        },
        30000);
}

void stop_kwin(KWin* kwin) {
    kill_child(&kwin->input);
    kill_child(&kwin->server);
}
