// A private headless sway for tests and benchmarks: started as an
// unprivileged user (sway refuses root) with its own runtime directory,
// with outputs made on demand, screenshots by grim, keys by wtype and a
// virtual pointer of our own. The program under test runs as the test's own
// user and connects through the socket's path.
#pragma once

#include <string>
#include <vector>

#include "picture.h"
#include "scratch.h"

struct Sway {
    int pid = 0;
    Scratch files;        // everything of this server's: config, runtime directory
    std::string runtime;  // its XDG_RUNTIME_DIR
    std::string socket;   // its WAYLAND_DISPLAY
    std::string ipc;      // its SWAYSOCK
};
// Outputs of width x height; extra_config goes at the end of sway's config.
// xwayland: whether X clients may connect (DISPLAY then names its server).
Sway start_sway(int width = 640, int height = 480, const std::string& extra_config = "", bool xwayland = false);
void stop_sway(Sway* sway);

// The environment changes that make a process a client of this server (and
// of no X server, unless keep_display).
std::vector<std::string> sway_env(const Sway& sway, bool keep_display = false);
// Runs a shell command as a client of the server; its standard output.
bool sway_command(const Sway& sway, const std::string& command, std::string* output = nullptr);
// The outputs' names, in sway's order.
std::vector<std::string> sway_outputs(const Sway& sway);
// Adds a headless output; its name.
std::string add_output(Sway* sway);
// The DISPLAY of sway's Xwayland; empty when it has none.
std::string xwayland_display(const Sway& sway);

// A screenshot of one output; false when grim could not take one.
bool screenshot(const Sway& sway, const std::string& output, Picture* picture);
// The share of pixels that are not the colour 0xRRGGBB.
double share_unlike(const Picture& picture, unsigned rgb);
// The desktop's background colour in these servers.
const unsigned sway_background = 0x203040;

// A pointer of our own on the server, kept while the test runs (a pointer
// that comes and goes would make the seat's capabilities change).
struct VirtualPointer {
    int pid = 0;
    int commands = -1;  // its standard input
    FILE* replies = nullptr;
};
VirtualPointer start_pointer(const Sway& sway);
// Sends "move DX DY" or "click" and waits until it has reached sway.
bool pointer_command(VirtualPointer* pointer, const std::string& command);
void stop_pointer(VirtualPointer* pointer);

// Presses and releases a key through wtype. wtype makes a new virtual
// keyboard each time, and a key pressed before a client has bound that
// keyboard reaches the client only as held (no press): it waits bind_ms
// between making the keyboard and pressing.
bool press_key(const Sway& sway, const std::string& key, int bind_ms);
