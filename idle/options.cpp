// The watcher's command line.
#include "options.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wordexp.h>

#include "kernel/printable.h"

namespace {

std::string quoted(const std::string& text) {
    return "'" + layer_printable(text.c_str()) + "'";
}

bool parse_seconds(const std::string& text, const std::string& name, unsigned min, unsigned* value,
                   std::string* message) {
    char* end = nullptr;
    errno = 0;
    long long n = strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno || n < min || n > max_seconds) {
        *message = name + " wants whole seconds from " + std::to_string(min) + " to " + std::to_string(max_seconds) +
                   ", not " + quoted(text);
        return false;
    }
    *value = (unsigned)n;
    return true;
}

bool executable_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

enum class Option { timeout, command, lock_after, lock_command, verbose, help, version };
struct OptionName {
    const char* name;
    Option option;
    bool takes_value;
};
const OptionName option_names[] = {
    {"timeout", Option::timeout, true},       {"command", Option::command, true},
    {"lock-after", Option::lock_after, true}, {"lock-command", Option::lock_command, true},
    {"verbose", Option::verbose, false},      {"help", Option::help, false},
    {"version", Option::version, false},
};

// The option a word names, in full or by an abbreviation that fits only
// one; null (with the message) if none.
const OptionName* find_option(const std::string& word, const std::string& name, std::string* message) {
    std::vector<const OptionName*> fits;
    for (const auto& option : option_names) {
        if (name == option.name) return &option;
        if (!name.empty() && std::string(option.name).compare(0, name.size(), name) == 0) fits.push_back(&option);
    }
    if (fits.size() == 1) return fits[0];
    if (fits.empty()) {
        *message = "unknown option " + quoted(word);
    } else {
        *message = quoted(word) + " is ambiguous: it may be";
        for (size_t i = 0; i < fits.size(); ++i)
            *message += std::string(i == 0 ? " --" : i + 1 == fits.size() ? " or --" : ", --") + fits[i]->name;
    }
    return nullptr;
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
           "offers no way to watch idleness, or its display or bus went away; 2 on a bad\n"
           "command line.\n";
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
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--") {
            if (i + 1 < argc) {
                *message = "unexpected argument " + quoted(argv[i + 1]) + " (see --help)";
                return Parsed::error;
            }
            break;
        }
        if (word.compare(0, 2, "--") != 0) {
            *message = (word.size() > 1 && word[0] == '-' ? "unknown option " : "unexpected argument ") + quoted(word) +
                       " (see --help)";
            return Parsed::error;
        }
        size_t equals = word.find('=');
        std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const OptionName* option = find_option(word, name, message);
        if (!option) {
            *message += " (see --help)";
            return Parsed::error;
        }
        std::string shown = std::string("--") + option->name;
        std::string value;
        if (!option->takes_value && equals != std::string::npos) {
            *message = quoted(word) + ": " + shown + " takes no value (see --help)";
            return Parsed::error;
        }
        if (option->takes_value) {
            if (equals != std::string::npos) {
                value = word.substr(equals + 1);
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                *message = quoted(word) + " wants a value (see --help)";
                return Parsed::error;
            }
        }
        std::string why;
        switch (option->option) {
        case Option::timeout:
            if (!parse_seconds(value, shown, 1, &options->timeout, message)) return Parsed::error;
            break;
        case Option::lock_after:
            if (!parse_seconds(value, shown, 1, &options->lock_after, message)) return Parsed::error;
            break;
        case Option::command:
        case Option::lock_command: {
            auto* target = option->option == Option::command ? &options->command : &options->lock_command;
            if (!split_command(value, target, &why)) {
                *message = shown + " " + quoted(value) + ": " + why;
                return Parsed::error;
            }
            break;
        }
        case Option::verbose: options->verbose = true; break;
        case Option::help: return Parsed::help;
        case Option::version: return Parsed::version;
        }
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
