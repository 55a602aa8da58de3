// The watcher's command line.
#include "options.h"

#include <getopt.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wordexp.h>

namespace {

bool parse_seconds(const char* text, const char* name, unsigned min, unsigned* value, std::string* message) {
    char* end = nullptr;
    errno = 0;
    long long n = strtoll(text, &end, 10);
    if (*text == '\0' || *end != '\0' || errno || n < min || n > max_seconds) {
        *message = std::string("--") + name + " wants whole seconds from " + std::to_string(min) + " to " +
                   std::to_string(max_seconds) + ", not '" + text + "'";
        return false;
    }
    *value = (unsigned)n;
    return true;
}

bool executable_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

const char* usage_text() {
    return "Usage: orrelune-idle [OPTION]...\n"
           "Starts the Orrelune screen saver when the session has been idle, and ends it\n"
           "when the user comes back. It asks the session for idleness: a Wayland\n"
           "compositor's idle protocol, GNOME's idle monitor, or the X server.\n"
           "\n"
           "  --timeout SECONDS       idle time before the saver starts (default 300)\n"
           "  --command CMD           the saver, a command line split as a shell would\n"
           "                          (default: orrelune /s, beside this program or on PATH)\n"
           "  --lock-after SECONDS    that long after the saver starts, end it and lock the\n"
           "                          session (default: never)\n"
           "  --lock-command CMD      how to lock (default: ask logind, as loginctl\n"
           "                          lock-session does)\n"
           "  --verbose               say on stderr what it watches and does\n"
           "  --help                  show this help and exit\n"
           "  --version               show the version and exit\n"
           "\n"
           "Exit status: 0 when ended by SIGTERM, SIGINT or SIGHUP; 1 when the session\n"
           "offers no way to watch idleness, or its display or bus went away or does not\n"
           "answer; 2 on a bad command line; 3 when another orrelune-idle watches the\n"
           "session.\n";
}

bool split_command(const std::string& line, std::vector<std::string>* argv, std::string* message) {
    wordexp_t words;
    int result = wordexp(line.c_str(), &words, WRDE_NOCMD | WRDE_UNDEF);
    if (result != 0) {
        switch (result) {
        case WRDE_CMDSUB: *message = "a command substitution is not run"; break;
        case WRDE_BADVAL: *message = "it names a variable that is not set"; break;
        case WRDE_BADCHAR:
            *message = "it holds a character only a shell understands (| & ; < > ( ) { } or newline)";
            break;
        default: *message = "it is not a command line a shell would accept"; break;
        }
        if (result == WRDE_NOSPACE) wordfree(&words);  // the other failures free what they made
        return false;
    }
    argv->assign(words.we_wordv, words.we_wordv + words.we_wordc);
    wordfree(&words);
    if (argv->empty()) {
        *message = "it is empty";
        return false;
    }
    return true;
}

std::string find_program(const std::string& name) {
    if (name.empty()) return "";
    if (name.find('/') != std::string::npos) return executable_file(name) ? name : "";
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (size_t start = 0;;) {
        size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (executable_file(candidate)) return candidate;
        if (end == std::string::npos) return "";
        start = end + 1;
    }
}

Parsed parse_options(int argc, char** argv, Options* options, std::string* message) {
    enum { TIMEOUT = 256, COMMAND, LOCK_AFTER, LOCK_COMMAND, VERBOSE, HELP, VERSION };
    static const option long_options[] = {
        {"timeout", required_argument, nullptr, TIMEOUT},
        {"command", required_argument, nullptr, COMMAND},
        {"lock-after", required_argument, nullptr, LOCK_AFTER},
        {"lock-command", required_argument, nullptr, LOCK_COMMAND},
        {"verbose", no_argument, nullptr, VERBOSE},
        {"help", no_argument, nullptr, HELP},
        {"version", no_argument, nullptr, VERSION},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    optind = 0;  // from the start, also when called again (the tests)
    for (;;) {
        int index = optind ? optind : 1;
        int option = getopt_long(argc, argv, "+", long_options, nullptr);
        if (option == -1) break;
        std::string why;
        switch (option) {
        case TIMEOUT:
            if (!parse_seconds(optarg, "timeout", 1, &options->timeout, message)) return Parsed::error;
            break;
        case LOCK_AFTER:
            if (!parse_seconds(optarg, "lock-after", 1, &options->lock_after, message)) return Parsed::error;
            break;
        case COMMAND:
        case LOCK_COMMAND: {
            const char* name = option == COMMAND ? "--command" : "--lock-command";
            auto* target = option == COMMAND ? &options->command : &options->lock_command;
            if (!split_command(optarg, target, &why)) {
                *message = std::string(name) + " '" + optarg + "': " + why;
                return Parsed::error;
            }
            break;
        }
        case VERBOSE: options->verbose = true; break;
        case HELP: return Parsed::help;
        case VERSION: return Parsed::version;
        default:
            if (optopt >= TIMEOUT)
                *message = std::string("'") + argv[index] + "' wants a value";
            else
                *message = std::string("unknown option '") + argv[index] + "'";
            *message += " (see --help)";
            return Parsed::error;
        }
    }
    if (optind < argc) {
        *message = std::string("unexpected argument '") + argv[optind] + "' (see --help)";
        return Parsed::error;
    }
    if (!options->lock_command.empty() && !options->lock_after) {
        *message = "--lock-command needs --lock-after";
        return Parsed::error;
    }
    return Parsed::run;
}

bool resolve_commands(Options* options, const std::string& self_dir, std::string* message) {
    if (options->command.empty()) {
        std::string beside = self_dir + "/orrelune";
        std::string program = executable_file(beside) ? beside : find_program("orrelune");
        if (program.empty()) {
            *message =
                "no saver to run: orrelune is neither beside orrelune-idle nor on PATH (--command names another)";
            return false;
        }
        options->command = {program, "/s"};
    } else if (find_program(options->command[0]).empty()) {
        *message = "--command: '" + options->command[0] + "' is not a program that can be run";
        return false;
    }
    if (!options->lock_command.empty() && find_program(options->lock_command[0]).empty()) {
        *message = "--lock-command: '" + options->lock_command[0] + "' is not a program that can be run";
        return false;
    }
    return true;
}
