#include "program_fixture.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <X11/extensions/Xfixes.h>

const char* const program = ORRELUNE_PATH;
XServer server;

void ProgramEnvironment::SetUp() {
    server = start_xserver(width, height);
    config = Scratch("orrelune-e2e-config");
    setenv("XDG_CONFIG_HOME", config.dir.c_str(), 1);
}

void ProgramEnvironment::TearDown() {
    stop_xserver(&server);
    config = Scratch();
}

namespace {
std::string settings_dir() {
    return std::string(getenv("XDG_CONFIG_HOME")) + "/orrelune";
}
}  // namespace

void store_settings(unsigned resolution, unsigned colour) {
    ASSERT_EQ(system(("mkdir -p '" + settings_dir() + "'").c_str()), 0);
    FILE* file = fopen((settings_dir() + "/registry.reg").c_str(), "w");
    ASSERT_NE(file, nullptr);
    fprintf(file,
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Orrelune]\n"
            "\"resolution\"=dword:%08x\n\"color\"=dword:%08x\n",
            resolution, colour);
    fclose(file);
}

void remove_settings() {
    unlink((settings_dir() + "/registry.reg").c_str());
}

bool cursor_visible(Display* display) {
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (!image) return true;
    bool visible = false;
    for (int i = 0; i < image->width * image->height; ++i)
        if (image->pixels[i] >> 24) visible = true;
    XFree(image);
    return visible;
}

XWindowAttributes attributes_of(Display* display, Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    return attributes;
}

void ProgramRuns::SetUp() {
    display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    root = DefaultRootWindow(display);
}

void ProgramRuns::TearDown() {
    end_runs();
    if (display) XCloseDisplay(display);
}

Child& ProgramRuns::run(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    running.push_back(spawn(argv, env));
    return running.back();
}

void ProgramRuns::end_runs() {
    for (Child& child : running) {
        kill_child(&child);
        unlink(child.stderr_path.c_str());
    }
    running.clear();
}
