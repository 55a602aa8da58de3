// What the idle watcher costs while it waits: CPU time, wake-ups (context
// switches, from /proc/PID/status) and resident memory of orrelune-idle on a
// private session bus, over three stretches of a session: active (input
// every second), idle (the saver shows) and inhibited (an inhibit held on
// the bus, no input). It watches one source, each started as the watcher's
// tests start it: a private Xvfb (x11: keys through xdotool), headless sway
// 1.7 (org_kde_kwin_idle: keys through wtype), headless mutter (GNOME's
// IdleMonitor on the bus: keys through RemoteDesktop) or virtual KWin
// (ext_idle_notifier_v1: pointer moves through fake input).
// The X server wakes it with an alarm when the idle time reaches the
// timeout and when it is set back, and for nothing else.
//   bench/idle_bench [--source x11|sway|mutter|kwin] [--seconds S] [--timeout T]
//   (S per stretch, default 20; the watcher's timeout, default 3)
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "idle_support.h"
#include "sway_support.h"

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
    printf("%-10s %6.1f s  CPU %7.1f ms  wake-ups %5ld (%5.1f a minute)  RSS %6ld kB\n", stretch, seconds,
           to.cpu_ms - from.cpu_ms, wakeups, wakeups * 60.0 / seconds, to.rss_kb);
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 20, timeout = 3;
    std::string source = "x11";
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--source") && i + 1 < argc &&
            std::string(" x11 sway mutter kwin ").find(" " + std::string(argv[i + 1]) + " ") != std::string::npos) {
            source = argv[++i];
        } else if (!strcmp(argv[i], "--seconds") && i + 1 < argc && atoi(argv[i + 1]) > 0) {
            seconds = atoi(argv[++i]);
        } else if (!strcmp(argv[i], "--timeout") && i + 1 < argc && atoi(argv[i + 1]) > 0) {
            timeout = atoi(argv[++i]);
        } else {
            fprintf(stderr, "usage: idle_bench [--source x11|sway|mutter|kwin] [--seconds S] [--timeout T]\n");
            return 2;
        }
    }
    Scratch scratch("orrelune-idle-bench", 0755);
    std::string runtime = scratch.dir + "/runtime", home = scratch.dir + "/home";
    mkdir(runtime.c_str(), 0700);
    mkdir(home.c_str(), 0700);
    // mutter and KWin run as the unprivileged user when this runs as root, on
    // a bus of that user's, as in the watcher's tests.
    SessionBus bus = start_session_bus(scratch, runtime + "/bus", source == "mutter" || source == "kwin");
    XServer server;
    Sway sway;
    Mutter mutter;
    KWin kwin;
    std::vector<std::string> env;
    bool up = true;
    if (source == "x11") {
        server = start_xserver(320, 240);
        env = {"WAYLAND_DISPLAY", "XDG_RUNTIME_DIR=" + runtime, "DBUS_SESSION_BUS_ADDRESS=" + bus.address};
    } else if (source == "sway") {
        sway = start_sway(320, 240);
        env = sway_env(sway);
        env.push_back("DBUS_SESSION_BUS_ADDRESS=" + bus.address);
    } else if (source == "mutter") {
        up = start_mutter(bus, runtime, home, &mutter);
        env = mutter.env;
    } else {
        up = start_kwin(bus, runtime, home, scratch.dir + "/bin", FAKE_INPUT_PATH, &kwin);
        env = kwin.env;
    }
    auto stop = [&] {
        stop_xserver(&server);
        stop_sway(&sway);
        stop_mutter(&mutter);
        stop_kwin(&kwin);
        stop_session_bus(&bus);
    };
    if (!up) {
        fprintf(stderr, "%s did not start: %s%s\n", source.c_str(), read_stderr(mutter.server).c_str(),
                read_stderr(kwin.server).c_str());
        stop();
        return 1;
    }
    // Input as the user gives it: a key, or on KWin a small pointer move.
    auto key = [&] {
        if (source == "x11") return xdotool("key shift");
        if (source == "sway") return press_key(sway, "Shift_L", 250);
        if (source == "mutter") return mutter_key(mutter, 0xffe1);  // Shift_L
        return kwin_move(&kwin);
    };
    sd_bus* client = connect_bus(bus.address);
    key();
    Child watcher =
        spawn({IDLE_PATH, "--timeout", std::to_string(timeout), "--command", recording_command(scratch, "saver")}, env);
    if (!wait_for_name(client, "org.freedesktop.ScreenSaver", 20000)) {
        fprintf(stderr, "the watcher did not start: %s\n", read_stderr(watcher).c_str());
        kill_child(&watcher);
        sd_bus_flush_close_unref(client);
        stop();
        return 1;
    }
    printf("orrelune-idle on %s, timeout %d s, %d s a stretch\n", source.c_str(), timeout, seconds);

    // Active: input each second, so the idle time never reaches the timeout.
    // Timed as it ran: a key through wtype takes a while.
    double began = uptime_seconds();
    Sample start = sample(watcher.pid);
    for (int i = 0; i < seconds; ++i) {
        key();
        sleep_ms(1000);
    }
    Sample end = sample(watcher.pid);
    report("active", start, end, uptime_seconds() - began);

    // Idle: the saver starts after the timeout and shows.
    wait_until([&] { return !recorded(scratch, "saver").empty(); }, (timeout + 60) * 1000);
    start = sample(watcher.pid);
    sleep_ms(seconds * 1000);
    end = sample(watcher.pid);
    report("idle", start, end, seconds);

    // Inhibited: a key ends the saver, and no other starts.
    sd_bus_call_method(client, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                       "org.freedesktop.ScreenSaver", "Inhibit", nullptr, nullptr, "ss", "idle_bench", "measuring");
    key();
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
    stop();
    return 0;
}
