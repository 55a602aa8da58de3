// The display mode's way back as the process ends: the requests of the
// restore, prepared in the client's byte order (the connection's own) at
// each switch, and written onto the mode connection's socket at exit. The
// contract is at the top of x11_mode_exit.h.
#include "x11/x11_mode_exit.h"
#include "x11/x11_private.h"

#include <X11/extensions/randr.h>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <string.h>
#include <sys/socket.h>

namespace {

unsigned char* put16(unsigned char* out, unsigned value) {
    uint16_t v = static_cast<uint16_t>(value);
    memcpy(out, &v, 2);
    return out + 2;
}

unsigned char* put32(unsigned char* out, unsigned long value) {
    uint32_t v = static_cast<uint32_t>(value);
    memcpy(out, &v, 4);
    return out + 4;
}

bool same_size(const X11ScreenSize& a, const X11ScreenSize& b) {
    return a.width == b.width && a.height == b.height;
}

unsigned char* put_screen_size(unsigned char* out, int opcode, Window root, const X11ScreenSize& size) {
    *out++ = static_cast<unsigned char>(opcode);
    *out++ = X_RRSetScreenSize;
    out = put16(out, 5);  // length in 4-byte units
    out = put32(out, root);
    out = put16(out, size.width);
    out = put16(out, size.height);
    out = put32(out, size.mm_width);
    return put32(out, size.mm_height);
}

bool wait_for(int fd, short events) {
    pollfd wanted = {fd, events, 0};
    int ready;
    do ready = poll(&wanted, 1, 1000);
    while (ready < 0 && errno == EINTR);
    return ready > 0 && (wanted.revents & events);
}

bool receive(int fd, unsigned char* buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        if (!wait_for(fd, POLLIN)) return false;
        ssize_t n = recv(fd, buffer + got, size - got, MSG_DONTWAIT);
        if (n == 0) return false;
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
            return false;
        }
        got += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

// The same steps as the ordinary restore, then GetInputFocus, whose reply
// tells that the server has done them all.
void x11_prepare_exit_restore(const X11ModeRestore& restore) {
    X11ExitRestore& prepared = x11_state.exit_restore;
    prepared.armed = 0;
    const X11CrtcSetting& crtc = restore.crtc;
    unsigned char* out = prepared.requests;
    int count = 0;
    if (!same_size(restore.wide, restore.shown)) {
        out = put_screen_size(out, restore.randr_opcode, restore.root, restore.wide);
        ++count;
    }
    *out++ = static_cast<unsigned char>(restore.randr_opcode);
    *out++ = X_RRSetCrtcConfig;
    out = put16(out, 7 + crtc.output_count);
    out = put32(out, crtc.crtc);
    out = put32(out, CurrentTime);
    out = put32(out, restore.config_time);
    out = put16(out, static_cast<uint16_t>(static_cast<int16_t>(crtc.x)));
    out = put16(out, static_cast<uint16_t>(static_cast<int16_t>(crtc.y)));
    out = put32(out, crtc.mode);
    out = put16(out, crtc.rotation);
    out = put16(out, 0);
    for (int i = 0; i < crtc.output_count; ++i) out = put32(out, crtc.outputs[i]);
    ++count;
    if (!same_size(restore.kept, restore.wide)) {
        out = put_screen_size(out, restore.randr_opcode, restore.root, restore.kept);
        ++count;
    }
    *out++ = 43;  // GetInputFocus
    *out++ = 0;
    out = put16(out, 1);
    ++count;
    prepared.length = static_cast<size_t>(out - prepared.requests);
    prepared.request_count = count;
    prepared.connection = restore.connection;
    prepared.socket_fd = ConnectionNumber(restore.connection);
    prepared.armed = 1;
}

void x11_cancel_exit_restore() {
    x11_state.exit_restore.armed = 0;
}

void x11_restore_at_exit() {
    X11ExitRestore& prepared = x11_state.exit_restore;
    if (!prepared.armed) return;
    prepared.armed = 0;
    const int fd = prepared.socket_fd;
    // The connection is idle: its last request has had its answer, and the
    // requests written here carry the numbers after it.
    unsigned long last = NextRequest(prepared.connection) - 1;
    size_t sent = 0;
    while (sent < prepared.length) {
        if (!wait_for(fd, POLLOUT)) return;
        ssize_t n = send(fd, prepared.requests + sent, prepared.length - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
    // Errors, replies and events come in 32-byte units; replies may carry more.
    const unsigned last_sequence = static_cast<unsigned>((last + prepared.request_count) & 0xffff);
    for (;;) {
        unsigned char unit[32];
        if (!receive(fd, unit, sizeof unit)) return;
        uint16_t sequence;
        memcpy(&sequence, unit + 2, 2);
        if (unit[0] == 1 || unit[0] == GenericEvent) {
            uint32_t more;
            memcpy(&more, unit + 4, 4);
            for (uint32_t skipped = 0; skipped < more; ++skipped) {
                unsigned char word[4];
                if (!receive(fd, word, sizeof word)) return;
            }
        }
        if (unit[0] <= 1 && sequence == last_sequence) return;
    }
}
