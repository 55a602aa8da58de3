// The Linux entry's own options, read before the program's switches.
#include "kernel/start_options.h"

#include "kernel/layer_kernel.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

namespace {

// "--" and a word: a long option. "--s", "--//s" and "--p 1234" stay the
// program's switches, which skip dashes as separators.
bool is_long_option(const char* arg) {
    return arg[0] == '-' && arg[1] == '-' && ((arg[2] >= 'a' && arg[2] <= 'z') || (arg[2] >= 'A' && arg[2] <= 'Z')) &&
           arg[3] != '\0';
}

// The daemons' spellings: "--name" and the older "-name".
bool is_option(const char* arg, const char* name) {
    return (arg[0] == '-' && strcmp(arg + 1, name) == 0) ||
           (arg[0] == '-' && arg[1] == '-' && strcmp(arg + 2, name) == 0);
}

LayerStartOptions usage_error(const std::string& text) {
    LayerStartOptions options;
    options.action = LayerStartOptions::USAGE_ERROR;
    options.error = text;
    return options;
}

// The program's switches decide by the first byte that is not a space, dash
// or slash of the command tail that the arguments make. Those it cannot run
// here would end it at once with -1 and no word; say which, and why.
LayerStartOptions check_switch(const LayerStartOptions& options) {
    for (const std::string& arg : options.program_args) {
        LayerStartOptions error;
        error.action = LayerStartOptions::SWITCH_ERROR;
        // The tail holds this one in quotes, and the program stops at the
        // quote.
        if (layer_quotes_argument(arg.c_str())) {
            error.error = "unknown switch '" + layer_printable(arg.c_str()) + "' (" +
                          (arg.empty() ? "an empty argument" : "a switch is one word, with no space or quote in it") +
                          "; see --help)";
            return error;
        }
        size_t at = arg.find_first_not_of("-/");
        if (at == std::string::npos) continue;
        switch (arg[at]) {
        case 'C':
        case 'c':
        case 'L':
        case 'l':
        case 'P':
        case 'p':
        case 'S':
        case 's': {
            LayerStartOptions known = options;
            char letter = static_cast<char>(arg[at] | 0x20);
            known.program_switch = letter == 'l' ? 'p' : letter;
            return known;
        }
        case 'A':
        case 'a':
            error.error = "'" + layer_printable(arg.c_str()) +
                          "': there is no screen-saver password to change on Linux (see --help)";
            return error;
        default: error.error = "unknown switch '" + layer_printable(arg.c_str()) + "' (see --help)"; return error;
        }
    }
    return options;
}

}  // namespace

LayerStartOptions layer_read_start_options(int argc, const char* const* argv, const char* env_window) {
    LayerStartOptions options;
    bool root = false, window_id = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (strcmp(arg, "--help") == 0) {
            options.action = LayerStartOptions::HELP;
            return options;
        }
        if (strcmp(arg, "--version") == 0) {
            options.action = LayerStartOptions::VERSION;
            return options;
        }
        if (is_option(arg, "root")) {
            root = true;
        } else if (is_option(arg, "window-id") || strncmp(arg, "--window-id=", 12) == 0) {
            const char* value = strchr(arg, '=');
            if (value) {
                ++value;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return usage_error("--window-id needs a window id");
            }
            window_id = true;
            options.window_text = value;
            options.window_source = "--window-id";
        } else if (is_option(arg, "fps")) {
            options.show_fps = true;
        } else if (is_long_option(arg)) {
            return usage_error("unknown option '" + layer_printable(arg) + "' (see --help)");
        } else {
            options.program_args.push_back(arg);
        }
    }
    // A daemon that names its window in the environment and passes no
    // arguments (xsecurelock's savers get none) means --root.
    if (argc == 1 && env_window && *env_window) root = true;
    // --window-id is the more particular: XScreenSaver's settings program
    // adds it to a saver's --root command line for its preview.
    if (root && !window_id && env_window) {
        options.window_text = env_window;
        options.window_source = "XSCREENSAVER_WINDOW";
    }
    options.hosted = root || window_id;
    if (options.hosted && !options.program_args.empty())
        return usage_error("unexpected argument '" + layer_printable(options.program_args[0].c_str()) + "' with " +
                           (root ? "--root" : "--window-id"));
    return check_switch(options);
}

bool layer_parse_window_id(const char* text, DWORD* id) {
    int base = 10;
    const char* digits = text;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits = text + 2;
    }
    // strtoul would also take spaces, a sign and a second "0x".
    const char* valid = base == 16 ? "0123456789abcdefABCDEF" : "0123456789";
    if (*digits == '\0' || strspn(digits, valid) != strlen(digits)) return false;
    errno = 0;
    unsigned long long value = strtoull(digits, nullptr, base);
    if (errno == ERANGE || value == 0 || value > 0xFFFFFFFFull) return false;
    *id = static_cast<DWORD>(value);
    return true;
}
