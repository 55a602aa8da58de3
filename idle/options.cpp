// The watcher's command line: its options, and the commands it runs split
// into words as a shell would, but without running anything or looking at
// the file system.
#include "options.h"

#include <errno.h>
#include <pwd.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The words being made of a command line.
struct Words {
    std::vector<std::string> done;
    std::string word;
    bool started = false;  // a word has begun (an empty quoted one counts)

    void add(char c) {
        word += c;
        started = true;
    }
    void end() {
        if (started) done.push_back(word);
        word.clear();
        started = false;
    }
};

bool is_name_char(char c, bool first) {
    return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (!first && c >= '0' && c <= '9');
}

// The variable at line[*at] (just past the $): its value into *value, *at
// past its name; false with the message if it is not one that is expanded.
bool expand_variable(const std::string& line, size_t* at, std::string* value, std::string* message) {
    size_t i = *at;
    bool braced = i < line.size() && line[i] == '{';
    if (i < line.size() && (line[i] == '(' || line[i] == '`')) {
        *message = "a command substitution is not run";
        return false;
    }
    size_t name_start = braced ? i + 1 : i, end = name_start;
    while (end < line.size() && is_name_char(line[end], end == name_start)) ++end;
    if (end == name_start || (braced && (end >= line.size() || line[end] != '}'))) {
        *message = "only variables written $NAME or ${NAME} are expanded";
        return false;
    }
    std::string name = line.substr(name_start, end - name_start);
    const char* set = getenv(name.c_str());
    if (!set) {
        *message = "it names a variable that is not set ($" + layer_printable(name.c_str()) + ")";
        return false;
    }
    *value = set;
    *at = braced ? end + 1 : end;
    return true;
}

// A ~ or ~user that begins a word, up to the first slash: that home folder.
// A user that does not exist leaves the text as it is, as a shell does.
size_t expand_tilde(const std::string& line, size_t at, Words* words) {
    size_t end = at + 1;
    while (end < line.size() && line[end] != '/' && line[end] != ' ' && line[end] != '\t') ++end;
    std::string user = line.substr(at + 1, end - at - 1);
    if (user.find_first_of("'\"\\$`") != std::string::npos) return at;  // quoting: no tilde prefix
    const char* home = user.empty() ? getenv("HOME") : nullptr;
    if (!home) {
        passwd* entry = user.empty() ? getpwuid(getuid()) : getpwnam(user.c_str());
        if (!entry) return at;
        home = entry->pw_dir;
    }
    for (const char* c = home; *c; ++c) words->add(*c);
    words->started = true;
    return end;
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
           "  --command CMD           the saver, a command line split as a shell would,\n"
           "                          without file names for * ? [ (default: orrelune /s,\n"
           "                          beside this program or on PATH)\n"
           "  --lock-after SECONDS    that long after the saver starts, end it and lock the\n"
           "                          session (default: never)\n"
           "  --lock-command CMD      how to lock, a command that runs until unlocked\n"
           "                          (default: ask logind, as loginctl lock-session does)\n"
           "  --verbose               say on stderr what it watches and does\n"
           "  --help                  show this help and exit\n"
           "  --version               show the version and exit\n"
           "\n"
           "Exit status: 0 when ended by SIGTERM, SIGINT or SIGHUP; 1 when the session\n"
           "offers no way to watch idleness, or its display or bus went away or does not\n"
           "answer; 2 on a bad command line; 3 when another orrelune-idle watches the\n"
           "session; 4 when the system refused what the watcher needs (memory, file\n"
           "descriptors).\n";
}

bool split_command(const std::string& line, std::vector<std::string>* argv, std::string* message) {
    Words words;
    std::string value;
    for (size_t i = 0; i < line.size();) {
        char c = line[i];
        if (c == '~' && !words.started && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
            size_t after = expand_tilde(line, i, &words);
            if (after != i) {
                i = after;
                continue;
            }
        }
        ++i;
        switch (c) {
        case ' ':
        case '\t': words.end(); break;
        case '\\':
            if (i == line.size()) {
                *message = "it ends in a backslash";
                return false;
            }
            words.add(line[i++]);
            break;
        case '\'': {
            size_t close = line.find('\'', i);
            if (close == std::string::npos) {
                *message = "a quote is not closed";
                return false;
            }
            words.started = true;
            for (; i < close; ++i) words.add(line[i]);
            ++i;
            break;
        }
        case '"':
            words.started = true;
            for (;; ++i) {
                if (i == line.size()) {
                    *message = "a quote is not closed";
                    return false;
                }
                char q = line[i];
                if (q == '"') break;
                if (q == '`') {
                    *message = "a command substitution is not run";
                    return false;
                }
                if (q == '\\' && i + 1 < line.size() && strchr("$`\"\\", line[i + 1])) {
                    words.add(line[++i]);
                } else if (q == '$' && i + 1 < line.size() && line[i + 1] != '"' && line[i + 1] != ' ') {
                    ++i;
                    if (!expand_variable(line, &i, &value, message)) return false;
                    for (char v : value) words.add(v);
                    --i;
                } else {
                    words.add(q);
                }
            }
            ++i;
            break;
        case '$':
            if (i == line.size() || line[i] == ' ' || line[i] == '\t') {
                words.add(c);
                break;
            }
            if (!expand_variable(line, &i, &value, message)) return false;
            // Split where the value has blanks, as a shell does; its * ? [
            // stay as they are.
            for (char v : value)
                if (v == ' ' || v == '\t' || v == '\n')
                    words.end();
                else
                    words.add(v);
            break;
        case '`': *message = "a command substitution is not run"; return false;
        case '|':
        case '&':
        case ';':
        case '<':
        case '>':
        case '(':
        case ')':
        case '{':
        case '}':
        case '\n':
            *message = "it holds a character only a shell understands (| & ; < > ( ) { } or newline)";
            return false;
        default: words.add(c);
        }
    }
    words.end();
    if (words.done.empty()) {
        *message = "it is empty";
        return false;
    }
    *argv = words.done;
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
