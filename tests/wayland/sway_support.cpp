// The private sway of the Wayland tests and benchmarks.
#include "sway_support.h"

#include "e2e_support.h"

#include <fcntl.h>
#include <glob.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

extern char** environ;

namespace {

std::string first_match(const std::string& pattern) {
    glob_t found{};
    std::string path;
    if (glob(pattern.c_str(), 0, nullptr, &found) == 0 && found.gl_pathc > 0) path = found.gl_pathv[0];
    globfree(&found);
    return path;
}

std::string client_prefix(const Sway& sway) {
    return "XDG_RUNTIME_DIR='" + sway.runtime + "' WAYLAND_DISPLAY='" + sway.socket + "' SWAYSOCK='" + sway.ipc + "' ";
}

}  // namespace

Sway start_sway(int width, int height, const std::string& extra_config, bool xwayland) {
    Sway sway;
    sway.files = Scratch("orrelune-sway", 0755);
    sway.runtime = sway.files.dir + "/runtime";
    mkdir(sway.runtime.c_str(), 0700);
    char background[8];
    snprintf(background, sizeof background, "#%06x", sway_background);
    std::ofstream config(sway.files.dir + "/config");
    config << "xwayland " << (xwayland ? "enable" : "disable") << "\n"
           << "output * resolution " << width << "x" << height << " bg " << background << " solid_color\n"
           << "seat * hide_cursor 0\n";
    // sway's X server, when it has one, is named in its clients' DISPLAY.
    if (xwayland)
        config << "exec echo $DISPLAY > " << sway.runtime << "/display.new && mv " << sway.runtime << "/display.new "
               << sway.runtime << "/display\n";
    config << extra_config << "\n";
    config.close();
    std::vector<std::string> argv =
        as_unprivileged({"/usr/bin/sway", "-c", sway.files.dir + "/config"}, {sway.runtime});
    Child child = spawn(argv, {"XDG_RUNTIME_DIR=" + sway.runtime, "WLR_BACKENDS=headless", "WLR_RENDERER=pixman",
                               "WLR_LIBINPUT_NO_DEVICES=1", "WAYLAND_DISPLAY", "DISPLAY", "SWAYSOCK"});
    sway.pid = child.pid;
    unlink(child.stderr_path.c_str());
    bool ready = wait_until(
        [&] {
            sway.socket = first_match(sway.runtime + "/wayland-[0-9]");
            sway.ipc = first_match(sway.runtime + "/sway-ipc.*.sock");
            if (sway.socket.empty() || sway.ipc.empty()) return false;
            sway.socket = sway.socket.substr(sway.runtime.size() + 1);
            return sway_command(sway, "swaymsg -t get_version");
        },
        30000);
    if (!ready) {
        stop_sway(&sway);
        throw std::runtime_error("sway did not start");
    }
    return sway;
}

void stop_sway(Sway* sway) {
    if (sway->pid) {
        kill(sway->pid, SIGTERM);
        Child child;
        child.pid = sway->pid;
        if (wait_exit(&child, 10000) < 0) kill_child(&child);
        sway->pid = 0;
    }
    sway->files = Scratch();
}

std::vector<std::string> sway_env(const Sway& sway, bool keep_display) {
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + sway.runtime, "WAYLAND_DISPLAY=" + sway.socket,
                                    "SWAYSOCK=" + sway.ipc, "WAYLAND_SOCKET", "ORRELUNE_DRIVER"};
    if (!keep_display) env.push_back("DISPLAY");
    return env;
}

bool sway_command(const Sway& sway, const std::string& command, std::string* output) {
    FILE* pipe = popen((client_prefix(sway) + command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return false;
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
    int status = pclose(pipe);
    if (output) *output = text;
    return status == 0;
}

std::vector<std::string> sway_outputs(const Sway& sway) {
    std::string text;
    sway_command(sway, "swaymsg -t get_outputs -r | grep -o '\"name\": \"[^\"]*\"' | cut -d'\"' -f4", &text);
    std::vector<std::string> names;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        if (end > start) names.push_back(text.substr(start, end - start));
    return names;
}

std::string add_output(Sway* sway) {
    std::vector<std::string> before = sway_outputs(*sway);
    if (!sway_command(*sway, "swaymsg create_output >/dev/null")) return "";
    std::string added;
    wait_until(
        [&] {
            for (const std::string& name : sway_outputs(*sway))
                if (std::find(before.begin(), before.end(), name) == before.end()) added = name;
            return !added.empty();
        },
        10000);
    return added;
}

std::string xwayland_display(const Sway& sway) {
    std::string display;
    wait_until(
        [&] {
            std::ifstream(sway.runtime + "/display") >> display;
            return !display.empty();
        },
        30000);
    return display;
}

bool screenshot(const Sway& sway, const std::string& output, Picture* picture) {
    std::string path = sway.files.dir + "/shot.ppm";
    if (!sway_command(sway, "grim -t ppm -o '" + output + "' '" + path + "'")) return false;
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    int max = 0;
    file >> magic >> picture->width >> picture->height >> max;
    file.get();
    if (magic != "P6" || max != 255 || picture->width <= 0 || picture->height <= 0) return false;
    picture->rgb.resize((size_t)picture->width * picture->height * 3);
    file.read((char*)picture->rgb.data(), (std::streamsize)picture->rgb.size());
    return (size_t)file.gcount() == picture->rgb.size();
}

double share_unlike(const Picture& picture, unsigned rgb) {
    if (picture.rgb.empty()) return 0;
    size_t unlike = 0, pixels = picture.rgb.size() / 3;
    for (size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = &picture.rgb[i * 3];
        if (p[0] != ((rgb >> 16) & 0xFF) || p[1] != ((rgb >> 8) & 0xFF) || p[2] != (rgb & 0xFF)) ++unlike;
    }
    return (double)unlike / (double)pixels;
}

VirtualPointer start_pointer(const Sway& sway) {
    VirtualPointer pointer;
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe");
    std::string command = client_prefix(sway) + "exec " + VIRTUAL_POINTER_PATH;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, "/bin/sh", &actions, nullptr, (char**)argv, environ) != 0)
        throw std::runtime_error("cannot start the virtual pointer");
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    pointer.pid = pid;
    pointer.commands = in[1];
    pointer.replies = fdopen(out[0], "r");
    char line[64];
    if (!fgets(line, sizeof line, pointer.replies) || strncmp(line, "ready", 5) != 0) {
        stop_pointer(&pointer);
        throw std::runtime_error("the virtual pointer did not start");
    }
    return pointer;
}

bool pointer_command(VirtualPointer* pointer, const std::string& command) {
    std::string line = command + "\n";
    if (write(pointer->commands, line.data(), line.size()) != (ssize_t)line.size()) return false;
    char reply[64];
    return fgets(reply, sizeof reply, pointer->replies) && strncmp(reply, "done", 4) == 0;
}

void stop_pointer(VirtualPointer* pointer) {
    if (pointer->commands >= 0) close(pointer->commands);
    if (pointer->replies) fclose(pointer->replies);
    pointer->commands = -1;
    pointer->replies = nullptr;
    if (pointer->pid) {
        Child child;
        child.pid = pointer->pid;
        if (wait_exit(&child, 10000) < 0) kill_child(&child);
        pointer->pid = 0;
    }
}

bool press_key(const Sway& sway, const std::string& key, int bind_ms) {
    return sway_command(sway, "wtype -s " + std::to_string(bind_ms) + " -k '" + key + "'");
}
