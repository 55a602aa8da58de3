// The process entry of a program on the layer: reads the Linux options that
// come before the program's own switches (a screen-saver daemon's --root and
// --window-id, --fps, --help, --version), keeps argv for GetCommandLineA and
// calls WinMain with the argument tail, as a Windows C run-time does. The
// program ends itself with ExitProcess.
//
// A daemon-hosted run reaches the program as the Win32 switch that means
// "draw inside this window" (/p and the window's decimal handle), and the
// layer answers the program's question whether a daemon hosts it.
#include <windows.h>

#include <errno.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "kernel/layer_kernel.h"
#include "kernel/start_options.h"

namespace {

void print_usage(const char* name) {
    printf(
        "Usage: %s [/s | /p HANDLE | /c | /a]\n"
        "       %s --root [--fps]\n"
        "       %s --window-id ID [--fps]\n"
        "\n"
        "Switches, as a screen saver is started on Windows:\n"
        "  /s                run full screen until a key, a click or a move of the mouse\n"
        "  /p HANDLE         preview inside the X window with that decimal id\n"
        "  /c, no switch     the settings dialog\n"
        "  /a                change the screen-saver password (only where the system has one)\n"
        "\n"
        "Hosted by a screen-saver daemon (XScreenSaver, xsecurelock), which owns the\n"
        "screen, the keyboard and the mouse, and ends the run with a signal:\n"
        "  --root, -root     draw into the window named by XSCREENSAVER_WINDOW (0x... or\n"
        "                    decimal), or into the root window when it is unset; with\n"
        "                    no arguments at all, XSCREENSAVER_WINDOW alone means --root\n"
        "  --window-id ID, -window-id ID\n"
        "                    draw into the X window ID (0x... or decimal), also\n"
        "                    when --root is given too\n"
        "  --fps, -fps       show the frames per second in the bottom-left corner\n"
        "  --help            this text\n"
        "  --version         the version\n"
        "\n"
        "ORRELUNE_DRIVER=x11|wayland picks the display; unset, Wayland comes before X11\n"
        "(the preview, the settings dialog, --root and --window-id need X: on Wayland,\n"
        "Xwayland's DISPLAY)\n"
        "\n"
        "Exit status: 0 after a run, 1 when the window named does not exist or there is\n"
        "no display (for /p, --root and --window-id, no X display; also, in every mode,\n"
        "an X server or a Wayland compositor that does not answer within 10 seconds at\n"
        "start), 2 for a mistake on the command line, 3 after a fault (a crash) inside a\n"
        "run, 255 for a switch that is not recognised (or /a), a preview window that is\n"
        "not valid and a settings dialog with no X display to show on.\n",
        name, name, name);
}

// The window a hosted run draws into; null after saying why there is none.
HWND hosted_window(const LayerStartOptions& options, const char* name, int* exit_code) {
    if (options.window_source.empty()) {
        HWND desktop = GetDesktopWindow();
        if (!desktop) {
            fprintf(stderr, "%s: this display has no root window to draw into\n", name);
            *exit_code = 1;
        }
        return desktop;
    }
    DWORD id;
    const std::string shown = layer_printable(options.window_text.c_str());
    if (!layer_parse_window_id(options.window_text.c_str(), &id)) {
        fprintf(stderr, "%s: %s \"%s\" is not a window id (0x... or decimal)\n", name, options.window_source.c_str(),
                shown.c_str());
        *exit_code = 2;
        return nullptr;
    }
    HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(id));
    if (!IsWindow(window)) {
        fprintf(stderr, "%s: there is no window 0x%lx (%s %s)\n", name, static_cast<unsigned long>(id),
                options.window_source.c_str(), shown.c_str());
        *exit_code = 1;
        return nullptr;
    }
    return window;
}

}  // namespace

int main(int argc, char** argv) {
    const char* name = program_invocation_short_name;
    LayerStartOptions options = layer_read_start_options(argc, argv, getenv("XSCREENSAVER_WINDOW"));
    switch (options.action) {
    case LayerStartOptions::HELP: print_usage(name); return 0;
    case LayerStartOptions::VERSION: printf("%s %s\n", name, ORRELUNE_VERSION); return 0;
    case LayerStartOptions::USAGE_ERROR: fprintf(stderr, "%s: %s\n", name, options.error.c_str()); return 2;
    case LayerStartOptions::SWITCH_ERROR: fprintf(stderr, "%s: %s\n", name, options.error.c_str()); return 255;
    case LayerStartOptions::RUN: break;
    }

    std::vector<std::string> args = {argv[0]};
    if (options.hosted) {
        layer_set_run_switch('h');
        int exit_code = 0;
        HWND window = hosted_window(options, name, &exit_code);
        if (!window) return exit_code;
        layer_set_hosted(window);
        layer_end_on_signals();
        args.push_back("/p");
        args.push_back(std::to_string(reinterpret_cast<UINT_PTR>(window)));
    } else {
        args.insert(args.end(), options.program_args.begin(), options.program_args.end());
        layer_set_run_switch(options.program_switch ? options.program_switch : 'c');
    }
    layer_set_show_fps(options.show_fps);

    std::vector<char*> program_argv;
    for (std::string& arg : args) program_argv.push_back(&arg[0]);
    layer_kernel_set_argv(static_cast<int>(program_argv.size()), program_argv.data());
    return WinMain(GetModuleHandleA(nullptr), nullptr, layer_command_tail(), SW_SHOWDEFAULT);
}
