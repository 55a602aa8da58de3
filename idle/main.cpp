// orrelune-idle: starts the saver when the session is idle. The entry: the
// command line, the signals, the buses and the first idle source the
// session offers, then the event loop until a signal or the session ends.
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "bus.h"
#include "holds.h"
#include "options.h"
#include "sources.h"
#include "watcher.h"

namespace {

int on_signal(sd_event_source*, const signalfd_siginfo* info, void*) {
    note(std::string("ending on ") + strsignal((int)info->ssi_signo));
    watcher_stop();
    return 0;
}

std::string own_folder() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    std::string self(path, (size_t)length);
    return self.substr(0, self.rfind('/'));
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string message;
    switch (parse_options(argc, argv, &options, &message)) {
    case Parsed::help: fputs(usage_text(), stdout); return 0;
    case Parsed::version: printf("orrelune-idle %s\n", ORRELUNE_VERSION); return 0;
    case Parsed::error: fprintf(stderr, "orrelune-idle: %s\n", message.c_str()); return EXIT_USAGE;
    case Parsed::run: break;
    }
    if (!resolve_commands(&options, own_folder(), &message)) {
        fprintf(stderr, "orrelune-idle: %s\n", message.c_str());
        return EXIT_USAGE;
    }

    // The loop takes these through its own descriptors. A write to a display
    // that went away fails rather than ending the watcher (and not its saver)
    // by SIGPIPE.
    sigset_t signals;
    sigemptyset(&signals);
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&signals, sig);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    sd_event* event = nullptr;
    int r = sd_event_default(&event);
    if (r < 0) give_up("make an event loop", r);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        if ((r = sd_event_add_signal(event, nullptr, sig, on_signal, nullptr)) < 0)
            give_up(std::string("take ") + strsignal(sig), r);
    watcher_init(event, options);
    sd_bus* session = bus_start(event);
    if (options.lock_after && options.lock_command.empty() && !lock_possible()) {
        fprintf(stderr,
                "orrelune-idle: --lock-after: there is no way to lock, as logind does not answer for this session "
                "(--lock-command names a locker)\n");
        return EXIT_USAGE;
    }
    if (!start_wayland_source(event, options.timeout) && !start_gnome_source(session, options.timeout) &&
        !start_x11_source(event, options.timeout)) {
        fprintf(stderr,
                "orrelune-idle: nothing tells when the session is idle: no Wayland compositor with an idle "
                "protocol, no GNOME idle monitor and no X display\n");
        return EXIT_NO_SESSION;
    }
    if (!session) warn("no session bus: inhibits asked for over D-Bus are not honoured");
    r = sd_event_loop(event);
    if (r < 0) give_up("wait for events", r);
    watcher_finish();
    return r;
}
