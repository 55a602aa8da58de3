// Input for KWin through its fake-input protocol (KWin has no virtual
// keyboard for wtype): moves the pointer a little on each SIGUSR1. It says
// "ready" on stderr once KWin has taken it, and "moved" after each move
// has reached KWin. KWin's seat must have the device before the program
// under test binds it, so this runs first; and as KWin's own user, or KWin
// does not offer it the protocol.
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

namespace {

org_kde_kwin_fake_input* fake_input;

void on_global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (!strcmp(interface, org_kde_kwin_fake_input_interface.name))
        fake_input = (org_kde_kwin_fake_input*)wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 1);
}
void on_global_remove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registry_listener = {on_global, on_global_remove};

}  // namespace

int main() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGUSR1);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    int signal_fd = signalfd(-1, &signals, 0);

    wl_display* display = wl_display_connect(nullptr);
    if (!display) return 1;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, nullptr);
    // KWin adds the global some time after its socket appears.
    while (!fake_input)
        if (wl_display_dispatch(display) < 0) return 1;
    org_kde_kwin_fake_input_authenticate(fake_input, "orrelune tests", "input for the idle watcher's tests");
    wl_display_roundtrip(display);
    fprintf(stderr, "ready\n");
    pollfd fds[2] = {{signal_fd, POLLIN, 0}, {wl_display_get_fd(display), POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) return 1;
        if (fds[0].revents) {
            signalfd_siginfo info;
            if (read(signal_fd, &info, sizeof info) != sizeof info) return 1;
            org_kde_kwin_fake_input_pointer_motion(fake_input, wl_fixed_from_int(5), wl_fixed_from_int(3));
            if (wl_display_roundtrip(display) < 0) return 1;
            fprintf(stderr, "moved\n");
        }
        if (fds[1].revents && wl_display_dispatch(display) < 0) return 1;
    }
}
