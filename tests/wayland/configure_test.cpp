// The Wayland driver answers a configure with a buffer of the size it
// asked for: a compositor takes the first buffer committed after the
// acknowledgement as the answer, and one of the old size sits off-centre
// (or cut) on its output for the rest of the run. The compositor here is
// the test's own, so the configure can come exactly while a frame drawn at
// the old size waits to be shown.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "fake_compositor.h"

namespace {

using Clock = std::chrono::steady_clock;

// Far beyond what a busy machine takes to draw a few frames in software.
constexpr auto bound = std::chrono::seconds(60);

struct Client {
    pid_t pid = -1;
    int input = -1, output = -1;
};

Client start_client(const std::string& socket) {
    int to_child[2], from_child[2];
    if (pipe(to_child) || pipe(from_child)) return {};
    Client client;
    client.pid = fork();
    if (client.pid == 0) {
        dup2(to_child[0], 0);
        dup2(from_child[1], 1);
        close(to_child[1]);
        close(from_child[0]);
        setenv("ORRELUNE_DRIVER", "wayland", 1);
        setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        unsetenv("WAYLAND_SOCKET");
        unsetenv("DISPLAY");
        execl(CONFIGURE_CLIENT, CONFIGURE_CLIENT, (char*)nullptr);
        _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    client.input = to_child[1];
    client.output = from_child[0];
    return client;
}

// The client's next line, or "" when it ended or said nothing in time.
std::string read_line(const Client& client) {
    std::string line;
    const auto deadline = Clock::now() + bound;
    char c;
    while (Clock::now() < deadline) {
        pollfd from = {client.output, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (poll(&from, 1, (int)left.count() + 1) <= 0) continue;
        if (read(client.output, &c, 1) != 1) return "";
        if (c == '\n') return line;
        line += c;
    }
    return "";
}

// Closes its input, which ends it; its exit status, or -1 when it did not
// end in time (it is then killed).
int end_client(Client* client) {
    close(client->input);
    close(client->output);
    const auto deadline = Clock::now() + bound;
    int status = 0;
    while (waitpid(client->pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(client->pid, SIGKILL);
            waitpid(client->pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool has_commit(const FakeSurfaceLog& log, int width, int height) {
    for (const FakeEvent& event : log.events)
        if (event.kind == FakeEvent::commit && event.width == width && event.height == height) return true;
    return false;
}

// Waits until the compositor has seen what `seen` looks for; false when it
// did not in time.
template <typename Seen>
bool wait_for(FakeCompositor& compositor, Seen seen) {
    const auto deadline = Clock::now() + bound;
    while (!seen(compositor.surfaces())) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Every buffer a surface commits has the size of the last configure it
// acknowledged, and none comes before the first acknowledgement.
std::string misfits(const FakeSurfaceLog& log) {
    std::map<uint32_t, std::pair<int, int>> asked;
    std::pair<int, int> acknowledged = {0, 0};
    std::string found;
    for (size_t i = 0; i < log.events.size(); ++i) {
        const FakeEvent& event = log.events[i];
        if (event.kind == FakeEvent::configure) asked[event.serial] = {event.width, event.height};
        if (event.kind == FakeEvent::ack) acknowledged = asked[event.serial];
        if (event.kind == FakeEvent::commit && event.width > 0 &&
            std::make_pair(event.width, event.height) != acknowledged)
            found += " event " + std::to_string(i) + ": a " + std::to_string(event.width) + "x" +
                     std::to_string(event.height) + " buffer after acknowledging " +
                     std::to_string(acknowledged.first) + "x" + std::to_string(acknowledged.second) + ";";
    }
    return found;
}

struct ConfigureCase {
    const char* name;
    bool layer_shell;
    std::vector<FakeOutput> outputs;
    int output;  // configured again, while a frame waits
    int width, height;
};

TEST(WaylandConfigure, TheCommitAfterAnAcknowledgementCarriesItsSize) {
    const ConfigureCase cases[] = {
        // Configured first at a scaled output's logical size, then at its own.
        {"fullscreen toplevel", false, {{1280, 1024, 640, 512}}, 0, 1280, 1024},
        {"layer surface", true, {{1280, 1024, 640, 512}}, 0, 1280, 1024},
        // The output that gets a copy of the picture drawn on the larger one.
        {"toplevel with a copy", false, {{1920, 1080, 1920, 1080}, {1280, 1024, 640, 512}}, 1, 1280, 1024},
        {"layer surface with a copy", true, {{1920, 1080, 1920, 1080}, {1280, 1024, 640, 512}}, 1, 1280, 1024},
    };
    for (const ConfigureCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeCompositor compositor(c.outputs, c.layer_shell);
        // The first frame's callbacks are kept, so the second frame is
        // drawn and waits for them when the new configure comes.
        compositor.hold_frames(true);
        Client client = start_client(compositor.socket());
        ASSERT_GT(client.pid, 0);
        ASSERT_EQ(read_line(client), "drawn");
        EXPECT_TRUE(wait_for(compositor, [&](const std::vector<FakeSurfaceLog>& surfaces) {
            if (surfaces.size() != c.outputs.size()) return false;
            for (const FakeSurfaceLog& log : surfaces)
                if (!has_commit(log, c.outputs[log.output].first_width, c.outputs[log.output].first_height))
                    return false;
            return true;
        })) << "the first frame was not shown on every output";
        compositor.configure(c.output, c.width, c.height);
        compositor.hold_frames(false);
        if (write(client.input, "swap\n", 5) != 5) ADD_FAILURE() << "the client is gone";
        EXPECT_TRUE(wait_for(compositor, [&](const std::vector<FakeSurfaceLog>& surfaces) {
            for (const FakeSurfaceLog& log : surfaces)
                if (log.output == c.output && has_commit(log, c.width, c.height)) return true;
            return false;
        })) << "no buffer of the new size";
        EXPECT_EQ(end_client(&client), 0);
        for (const FakeSurfaceLog& log : compositor.surfaces())
            EXPECT_EQ(misfits(log), "") << "on output " << log.output;
    }
}

}  // namespace
