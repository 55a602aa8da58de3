// A start on Wayland that cannot reach the compositor, or whose compositor
// never answers or dies while the program starts: within a bound, exit
// code 1 and one line that names the Wayland compositor and what failed,
// never a hang nor a line about X or GL.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>

#include "e2e_support.h"
#include "sway_support.h"

namespace {

// Far past the program's own bound on a compositor's answer (10 s), so that
// only a hang runs into it on a loaded machine.
const int exit_bound_ms = 60000;

struct Outcome {
    int code;
    std::string said;
};

Outcome outcome(Child* child) {
    int code = wait_exit(child, exit_bound_ms);
    Outcome got = {code, read_stderr(*child)};
    unlink(child->stderr_path.c_str());
    return got;
}

// One line, naming Wayland and holding `part`.
void expect_one_line(const Outcome& got, const std::string& part) {
    EXPECT_EQ(got.code, 1) << got.said;
    EXPECT_EQ(std::count(got.said.begin(), got.said.end(), '\n'), 1) << got.said;
    EXPECT_NE(got.said.find("Wayland"), std::string::npos) << got.said;
    EXPECT_NE(got.said.find(part), std::string::npos) << got.said;
}

// A runtime folder of the test's own, for sockets that do not answer.
class WaylandStart : public ::testing::Test {
public:
    void TearDown() override {
        for (int fd : fds) close(fd);
    }
    // A socket at runtime/name: listening (connections are accepted by the
    // system and never read), or bound and closed (nobody listens).
    void make_socket(const std::string& name, bool listening) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        snprintf(address.sun_path, sizeof address.sun_path, "%s/%s", runtime.c_str(), name.c_str());
        ASSERT_EQ(bind(fd, (sockaddr*)&address, sizeof address), 0) << strerror(errno);
        if (listening) {
            ASSERT_EQ(listen(fd, 8), 0);
            fds.push_back(fd);
        } else {
            close(fd);
        }
    }
    Child start(const std::vector<std::string>& args, const std::vector<std::string>& env) {
        std::vector<std::string> argv = {ORRELUNE_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> changes = {"XDG_RUNTIME_DIR=" + runtime, "WAYLAND_DISPLAY", "WAYLAND_SOCKET",
                                            "DISPLAY", "ORRELUNE_DRIVER"};
        changes.insert(changes.end(), env.begin(), env.end());
        return spawn(argv, changes);
    }

    const Scratch scratch{"orrelune-wlstart"};
    const std::string runtime = scratch.dir;
    std::vector<int> fds;
};

struct Case {
    const char* what;
    std::vector<std::string> args, env;
    std::string said;
};

TEST_F(WaylandStart, NoCompositorToReachIsOneLineNamingIt) {
    make_socket("dead", false);
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    close(pair[0]);
    fds.push_back(pair[1]);
    const std::string closed = std::to_string(pair[1]);
    const std::string long_name(120, 'w');
    const Case cases[] = {
        {"no runtime folder",
         {"/s"},
         {"XDG_RUNTIME_DIR", "WAYLAND_DISPLAY=wayland-1"},
         "compositor \"wayland-1\": XDG_RUNTIME_DIR is not set"},
        // What libwayland would refuse with a line of its own.
        {"an empty runtime folder",
         {"/s"},
         {"XDG_RUNTIME_DIR=", "WAYLAND_DISPLAY=wayland-1"},
         "compositor \"wayland-1\": XDG_RUNTIME_DIR is not set"},
        {"a relative runtime folder",
         {"/s"},
         {"XDG_RUNTIME_DIR=run", "WAYLAND_DISPLAY=wayland-1"},
         "compositor \"wayland-1\": XDG_RUNTIME_DIR=\"run\" is not an absolute path"},
        {"a socket path too long",
         {"/s"},
         {"WAYLAND_DISPLAY=" + long_name},
         "compositor \"" + long_name + "\": its socket's path is longer than 107 bytes"},
        {"an absolute socket path too long",
         {"/s"},
         {"WAYLAND_DISPLAY=/" + long_name},
         "compositor \"/" + long_name + "\": its socket's path is longer than 107 bytes"},
        {"no socket", {"/s"}, {"WAYLAND_DISPLAY=nobody-here"}, "compositor \"nobody-here\": No such file"},
        {"a socket nobody listens on", {"/s"}, {"WAYLAND_DISPLAY=dead"}, "compositor \"dead\": Connection refused"},
        // X is asked then, and has no display either: Wayland is what failed.
        {"and a dead X display", {"/s"}, {"WAYLAND_DISPLAY=dead", "DISPLAY=:9876"}, "compositor \"dead\""},
        {"WAYLAND_SOCKET not a number", {"/s"}, {"WAYLAND_SOCKET=garbage"}, "WAYLAND_SOCKET=\"garbage\""},
        // What the environment names is repeated escaped: no line break or
        // terminal sequence of it reaches the terminal.
        {"a name with a line break and an escape sequence",
         {"/s"},
         {"WAYLAND_DISPLAY=no\n\x1b[2Jhere"},
         "compositor \"no\\n\\x1b[2Jhere\": No such file"},
        {"WAYLAND_SOCKET a closed descriptor", {"/s"}, {"WAYLAND_SOCKET=250"}, "WAYLAND_SOCKET=\"250\""},
        {"WAYLAND_SOCKET a connection closed at the other end",
         {"/s"},
         {"WAYLAND_SOCKET=" + closed},
         "lost the connection to the Wayland compositor of WAYLAND_SOCKET=\"" + closed + "\" while asking it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Child child = start(c.args, c.env);
        expect_one_line(outcome(&child), c.said);
    }
}

// A compositor that takes the connection and never answers: the program
// waits a bounded time, then names it. The runs go side by side, each
// waiting out the program's bound.
TEST_F(WaylandStart, ACompositorThatNeverAnswersIsNamedWithinABound) {
    make_socket("silent", true);
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    fds.insert(fds.end(), {pair[0], pair[1]});
    const Case cases[] = {
        {"full screen", {"/s"}, {"WAYLAND_DISPLAY=silent"}, "compositor \"silent\" did not answer"},
        {"handed over", {"/s"}, {"WAYLAND_SOCKET=" + std::to_string(pair[1])}, "did not answer"},
    };
    std::vector<Child> children;
    for (const Case& c : cases) children.push_back(start(c.args, c.env));
    for (size_t i = 0; i < children.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        expect_one_line(outcome(&children[i]), cases[i].said);
    }
}

TEST(WaylandStartOnSway, AStoppedCompositorIsNamedWithinABound) {
    Sway sway = start_sway();
    kill(sway.pid, SIGSTOP);
    Child child = spawn({ORRELUNE_PATH, "/s"}, sway_env(sway));
    expect_one_line(outcome(&child), "compositor \"" + sway.socket + "\" did not answer");
    kill(sway.pid, SIGCONT);
    stop_sway(&sway);
}

// The compositor killed at moments spread over the program's start-up,
// from before it connects to after its first frames.
TEST(WaylandStartOnSway, ACompositorKilledDuringStartUpIsOneLineNamingIt) {
    for (int delay_ms = 10; delay_ms <= 190; delay_ms += 15) {
        SCOPED_TRACE("killed after " + std::to_string(delay_ms) + " ms");
        Sway sway = start_sway();
        Child child = spawn({ORRELUNE_PATH, "/s"}, sway_env(sway));
        sleep_ms(delay_ms);  // the moment of the fault, not a wait for a condition
        kill(sway.pid, SIGKILL);
        expect_one_line(outcome(&child), "compositor \"" + sway.socket + "\"");
        stop_sway(&sway);
    }
}

}  // namespace
