// A private Xvfb and the children of the benchmarks.
#include "private_server.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>

pid_t spawn(const char* const argv[]) {
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    return pid;
}

void end(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

double now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void sleep_ms(int milliseconds) {
    timespec t = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

// Xvfb picks a free display and writes its number to the pipe once it
// accepts connections. -br: a black root; -noreset: the server stays as it
// is between programs.
PrivateServer start_private_server(int width, int height) {
    PrivateServer server;
    int fds[2];
    if (pipe(fds) != 0) return server;
    const std::string fd = std::to_string(fds[1]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const char* const argv[] = {"Xvfb", "-displayfd", fd.c_str(),  "-screen", "0",    screen.c_str(),
                                "-br",  "-noreset",   "-nolisten", "tcp",     nullptr};
    server.pid = spawn(argv);
    close(fds[1]);
    char number[32] = {};
    const ssize_t got = read(fds[0], number, sizeof number - 1);
    close(fds[0]);
    if (got <= 0) return server;
    server.name = ":" + std::to_string(atoi(number));
    setenv("DISPLAY", server.name.c_str(), 1);
    char config_dir[] = "/tmp/bench-config-XXXXXX";
    if (mkdtemp(config_dir)) server.config_dir = config_dir;
    setenv("XDG_CONFIG_HOME", config_dir, 1);
    return server;
}

void stop_private_server(PrivateServer* server) {
    if (server->pid > 0) end(server->pid);
    std::error_code ignored;
    if (!server->config_dir.empty()) std::filesystem::remove_all(server->config_dir, ignored);
}
