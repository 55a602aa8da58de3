// What the idle watcher costs while it waits: CPU time, wake-ups (context
// switches, from /proc/PID/status) and resident memory of orrelune-idle on a
// private Xvfb with a private session bus, over three stretches of a
// session: active (a key every second), idle (the saver shows) and
// inhibited (an inhibit held on the bus, no input).
// The X server wakes it with an alarm when the idle time reaches the
// timeout and when it is set back, and for nothing else.
//   bench/idle_bench [--seconds S] [--timeout T]   (S per stretch, default
//   20; the watcher's timeout, default 3)
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "idle_support.h"

namespace {

struct Sample {
    double cpu_ms = 0;
    long switches = 0;
    long rss_kb = 0;
};

Sample sample(int pid) {
    Sample s;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        std::istringstream fields(line);
        std::string name;
        long value = 0;
        fields >> name >> value;
        if (name == "VmRSS:") s.rss_kb = value;
        if (name == "voluntary_ctxt_switches:" || name == "nonvoluntary_ctxt_switches:") s.switches += value;
    }
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream after(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && after >> field; ++i) {
        if (i == 14) utime = std::stoul(field);
        if (i == 15) stime = std::stoul(field);
    }
    s.cpu_ms = (utime + stime) * 1000.0 / sysconf(_SC_CLK_TCK);
    return s;
}

void report(const char* stretch, const Sample& from, const Sample& to, double seconds) {
    long wakeups = to.switches - from.switches;
    printf("%-10s %6.0f s  CPU %7.1f ms  wake-ups %5ld (%5.1f a minute)  RSS %6ld kB\n", stretch, seconds,
           to.cpu_ms - from.cpu_ms, wakeups, wakeups * 60.0 / seconds, to.rss_kb);
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 20, timeout = 3;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--seconds") && i + 1 < argc && atoi(argv[i + 1]) > 0) {
            seconds = atoi(argv[++i]);
        } else if (!strcmp(argv[i], "--timeout") && i + 1 < argc && atoi(argv[i + 1]) > 0) {
            timeout = atoi(argv[++i]);
        } else {
            fprintf(stderr, "usage: idle_bench [--seconds S] [--timeout T]\n");
            return 2;
        }
    }
    Scratch scratch("orrelune-idle-bench", 0755);
    XServer server = start_xserver(320, 240);
    SessionBus bus = start_session_bus(scratch, scratch.dir + "/bus");
    sd_bus* client = connect_bus(bus.address);
    xdotool("key shift");
    Child watcher =
        spawn({IDLE_PATH, "--timeout", std::to_string(timeout), "--command", recording_command(scratch, "saver")},
              {"WAYLAND_DISPLAY", "XDG_RUNTIME_DIR=" + scratch.dir, "DBUS_SESSION_BUS_ADDRESS=" + bus.address});
    if (!wait_for_name(client, "org.freedesktop.ScreenSaver", 20000)) {
        fprintf(stderr, "the watcher did not start: %s\n", read_stderr(watcher).c_str());
        return 1;
    }
    printf("orrelune-idle on Xvfb, timeout %d s, %d s a stretch\n", timeout, seconds);

    // Active: a key each second, so the idle time never reaches the timeout.
    Sample start = sample(watcher.pid);
    for (int i = 0; i < seconds; ++i) {
        xdotool("key shift");
        sleep_ms(1000);
    }
    Sample end = sample(watcher.pid);
    report("active", start, end, seconds);

    // Idle: the saver starts after the timeout and shows.
    wait_until([&] { return !recorded(scratch, "saver").empty(); }, (timeout + 60) * 1000);
    start = sample(watcher.pid);
    sleep_ms(seconds * 1000);
    end = sample(watcher.pid);
    report("idle", start, end, seconds);

    // Inhibited: a key ends the saver, and no other starts.
    sd_bus_call_method(client, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                       "org.freedesktop.ScreenSaver", "Inhibit", nullptr, nullptr, "ss", "idle_bench", "measuring");
    xdotool("key shift");
    sleep_ms(timeout * 1000);
    start = sample(watcher.pid);
    sleep_ms(seconds * 1000);
    end = sample(watcher.pid);
    report("inhibited", start, end, seconds);
    printf("saver starts: %zu (1 expected)\n", recorded(scratch, "saver").size());

    kill(watcher.pid, SIGTERM);
    wait_exit(&watcher, 20000);
    end_recorded(scratch, "saver");
    sd_bus_flush_close_unref(client);
    stop_session_bus(&bus);
    stop_xserver(&server);
    return 0;
}
