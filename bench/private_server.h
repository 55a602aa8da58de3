// A private Xvfb for the benchmarks that run real programs, and the
// children they start on it.
#pragma once

#include <sys/types.h>

#include <string>

struct PrivateServer {
    pid_t pid = 0;
    std::string name;        // ":N"; empty when the server did not start
    std::string config_dir;  // the programs' settings folder: empty, so they run at the screen's size
};

// Starts Xvfb with one screen of width x height x 24 and a black root, and
// sets DISPLAY and XDG_CONFIG_HOME in this process for the children.
PrivateServer start_private_server(int width, int height);
void stop_private_server(PrivateServer* server);

// A child that goes when this process goes, with stdout and stderr silenced.
pid_t spawn(const char* const argv[]);
// SIGTERM, then waits for it.
void end(pid_t pid);

double now_ms();
void sleep_ms(int milliseconds);
