// The watcher's command line: what it runs, after how long, and how it locks.
#pragma once

#include <string>
#include <vector>

// The exit codes, as --help and the man page give them.
enum { EXIT_NO_SESSION = 1, EXIT_USAGE = 2, EXIT_ANOTHER_WATCHER = 3, EXIT_SETUP = 4 };

// Timeouts are whole seconds in this range: the compositors' idle protocols
// count milliseconds in 32 bits, and a day is already longer than any
// desktop's own blanking.
const unsigned max_seconds = 86400;

struct Options {
    unsigned timeout = 300;                 // idle seconds before the saver starts
    std::vector<std::string> command;       // the saver's argv; empty: the default
    unsigned lock_after = 0;                // seconds of saver before locking; 0: never
    std::vector<std::string> lock_command;  // empty: ask logind
    bool verbose = false;
};

enum class Parsed { run, help, version, error };
// On error, *message is one line naming the bad argument.
Parsed parse_options(int argc, char** argv, Options* options, std::string* message);

// Splits a command line as a shell would: quotes, backslashes, $NAME,
// ${NAME} and ~, but with no file names for * ? [. A command substitution,
// an unset variable or an unbalanced quote is an error.
bool split_command(const std::string& line, std::vector<std::string>* argv, std::string* message);

// The file a command name runs: the name itself when it holds a slash, else
// the first match on PATH; empty when it names no executable file.
std::string find_program(const std::string& name);

// Fills in the default saver (orrelune beside the watcher, else on PATH) and
// checks that the commands name programs; false with a message if not.
bool resolve_commands(Options* options, const std::string& self_dir, std::string* message);

const char* usage_text();
