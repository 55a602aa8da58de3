// What a client that floods the idle watcher's org.freedesktop.ScreenSaver
// with inhibits costs it: the watcher's resident memory before and after
// the calls (how many it took, how many it refused), and the time it needs
// to drop them all when that client leaves the bus. On a private Xvfb and
// session bus. The drop is timed by a ping that a second client sends the
// watcher once the bus has told it of the leaving: the bus hands the watcher
// the same news before the ping, so the answer comes once the drop is done
// (a ping alone is timed beside it).
//   bench/idle_inhibit_bench [--inhibits N] [--watcher PATH]   (N default
//   100000; PATH another build of orrelune-idle, to compare)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <systemd/sd-bus.h>
#include <time.h>

#include <fstream>
#include <sstream>
#include <string>

#include "idle_support.h"

namespace {

const char* const service = "org.freedesktop.ScreenSaver";

long rss_kb(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, 6, "VmRSS:") == 0) return atol(line.c_str() + 6);
    return 0;
}

double now_ms() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Counts {
    long pending = 0, taken = 0, refused = 0;
};

int on_inhibit_answer(sd_bus_message* reply, void* counts, sd_bus_error*) {
    Counts* c = (Counts*)counts;
    --c->pending;
    ++(sd_bus_message_is_method_error(reply, nullptr) ? c->refused : c->taken);
    return 0;
}

// Sends n inhibits from `client`, a thousand in flight at a time.
Counts flood(sd_bus* client, long n) {
    Counts counts;
    for (long sent = 0; sent < n || counts.pending;) {
        while (sent < n && counts.pending < 1000) {
            if (sd_bus_call_method_async(client, nullptr, service, "/org/freedesktop/ScreenSaver", service, "Inhibit",
                                         on_inhibit_answer, &counts, "ss", "idle_inhibit_bench", "flooding") < 0) {
                fprintf(stderr, "cannot send an inhibit\n");
                exit(1);
            }
            ++sent;
            ++counts.pending;
        }
        if (sd_bus_process(client, nullptr) == 0) sd_bus_wait(client, UINT64_MAX);
    }
    return counts;
}

// A ping's round trip, waiting as long as the watcher takes (an older one
// took minutes to drop 100,000 inhibits).
double ping_ms(sd_bus* observer, const std::string& watcher) {
    double start = now_ms();
    sd_bus_message* ping = nullptr;
    if (sd_bus_message_new_method_call(observer, &ping, watcher.c_str(), "/", "org.freedesktop.DBus.Peer", "Ping") <
            0 ||
        sd_bus_call(observer, ping, 3600ULL * 1000000, nullptr, nullptr) < 0) {
        fprintf(stderr, "the watcher did not answer a ping\n");
        exit(1);
    }
    sd_bus_message_unref(ping);
    return now_ms() - start;
}

}  // namespace

int main(int argc, char** argv) {
    long inhibits = 100000;
    std::string path = IDLE_PATH;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--inhibits") && i + 1 < argc && atol(argv[i + 1]) > 0) {
            inhibits = atol(argv[++i]);
        } else if (!strcmp(argv[i], "--watcher") && i + 1 < argc) {
            path = argv[++i];
        } else {
            fprintf(stderr, "usage: idle_inhibit_bench [--inhibits N] [--watcher PATH]\n");
            return 2;
        }
    }
    Scratch scratch("orrelune-idle-bench", 0755);
    XServer server = start_xserver(320, 240);
    SessionBus bus = start_session_bus(scratch, scratch.dir + "/bus");
    sd_bus* client = connect_bus(bus.address);
    sd_bus* observer = connect_bus(bus.address);
    Child watcher =
        spawn({path, "--timeout", "3600", "--command", recording_command(scratch, "saver")},
              {"WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "XDG_RUNTIME_DIR=" + scratch.dir,
               "DBUS_SESSION_BUS_ADDRESS=" + bus.address, "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent"});
    if (!wait_for_name(observer, service, 20000)) {
        fprintf(stderr, "the watcher did not serve %s: %s\n", service, read_stderr(watcher).c_str());
        return 1;
    }
    const char *owner = nullptr, *unique = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_call_method(observer, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                       "GetNameOwner", nullptr, &reply, "s", service);
    sd_bus_message_read(reply, "s", &owner);
    std::string watcher_name = owner ? owner : "";
    sd_bus_message_unref(reply);
    sd_bus_get_unique_name(client, &unique);
    std::string leaving = unique;

    printf("orrelune-idle (%s) on Xvfb with a private session bus\n", path.c_str());
    long before = rss_kb(watcher.pid);
    double start = now_ms();
    Counts counts = flood(client, inhibits);
    double flooded = now_ms() - start;
    long after = rss_kb(watcher.pid);
    printf("%ld inhibits from one client in %.0f ms: %ld taken, %ld refused\n", inhibits, flooded, counts.taken,
           counts.refused);
    printf("RSS %ld kB before, %ld kB after\n", before, after);

    // The bus's news of the client's leaving, then the ping.
    bool gone = false;
    std::string match = "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" + leaving + "'";
    sd_bus_add_match(
        observer, nullptr, match.c_str(),
        [](sd_bus_message*, void* flag, sd_bus_error*) {
            *(bool*)flag = true;
            return 0;
        },
        &gone);
    double alone = ping_ms(observer, watcher_name);
    start = now_ms();
    sd_bus_flush_close_unref(client);
    while (!gone)
        if (sd_bus_process(observer, nullptr) == 0) sd_bus_wait(observer, UINT64_MAX);
    double news = now_ms() - start;
    double dropped = ping_ms(observer, watcher_name);
    printf(
        "the client left: the bus told of it after %.1f ms; the drop and a ping took %.1f ms (a ping alone: "
        "%.1f ms); RSS then %ld kB\n",
        news, dropped, alone, rss_kb(watcher.pid));

    kill_child(&watcher);
    end_recorded(scratch, "saver");
    sd_bus_flush_close_unref(observer);
    stop_session_bus(&bus);
    stop_xserver(&server);
    return 0;
}
