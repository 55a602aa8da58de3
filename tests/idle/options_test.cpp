// The watcher's command line: what it accepts, and the one line it gives
// for what it refuses.
#include "options.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scratch.h"

namespace {

Parsed parse(std::vector<std::string> words, Options* options, std::string* message) {
    words.insert(words.begin(), "orrelune-idle");
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    return parse_options((int)words.size(), argv.data(), options, message);
}

TEST(IdleOptions, RefusesWithOneLineNamingTheArgument) {
    struct Case {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"--timeout", "0"}, "'0'"},
        {{"--timeout", "-5"}, "'-5'"},
        {{"--timeout", "86401"}, "'86401'"},
        {{"--timeout", "99999999999999999999"}, "'99999999999999999999'"},
        {{"--timeout", "10s"}, "'10s'"},
        {{"--timeout", ""}, "''"},
        {{"--timeout"}, "'--timeout' wants a value"},
        {{"--lock-after", "0"}, "'0'"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-h"}, "unknown option '-h'"},
        {{"/s"}, "unexpected argument '/s'"},
        {{"--command", "saver 'unclosed"}, "--command 'saver 'unclosed'"},
        {{"--command", "saver $(rm -rf ~)"}, "command substitution"},
        {{"--command", "saver; reboot"}, "only a shell"},
        {{"--command", "  "}, "empty"},
        {{"--lock-command", "lock"}, "--lock-command needs --lock-after"},
        {{"--command", "saver $IDLE_TEST_UNSET"}, "not set"},
        {{"--command", "saver `id`"}, "command substitution"},
        {{"--command", "saver \"$(id)\""}, "command substitution"},
        {{"--command", "saver ${IDLE_TEST_WORD:-x}"}, "only variables written $NAME or ${NAME}"},
        {{"--command", "saver \\"}, "backslash"},
        // Options that take no value, abbreviations that fit several, and
        // arguments that would reach the terminal raw.
        {{"--verbose=1"}, "'--verbose=1': --verbose takes no value"},
        {{"--help=x"}, "'--help=x': --help takes no value"},
        {{"--ver"}, "'--ver' is ambiguous: it may be --verbose or --version"},
        {{"--lock"}, "it may be --lock-after or --lock-command"},
        {{"--timeout", "1\n2\x1b[31m"}, "not '1\\n2\\x1b[31m'"},
        {{"--bogus\xc2\x9b"
          "1m"},
         "unknown option '--bogus\\xc2\\x9b1m'"},
        {{"/s\r"}, "unexpected argument '/s\\r'"},
    };
    for (const auto& c : cases) {
        Options options;
        std::string message;
        EXPECT_EQ(parse(c.args, &options, &message), Parsed::error) << c.args[0];
        EXPECT_NE(message.find(c.said), std::string::npos) << message;
        EXPECT_EQ(message.find_first_of("\n\r\x1b"), std::string::npos) << message;
    }
}

TEST(IdleOptions, ReadsValuesAndSplitsCommandsAsAShell) {
    setenv("IDLE_TEST_WORD", "two words", 1);
    Options options;
    std::string message;
    ASSERT_EQ(parse({"--timeout=30", "--command", "saver --root 'a b' \"$IDLE_TEST_WORD\" c\\ d", "--lock-after", "60",
                     "--lock-command", "locker -n", "--verbose"},
                    &options, &message),
              Parsed::run)
        << message;
    EXPECT_EQ(options.timeout, 30u);
    EXPECT_EQ(options.command, (std::vector<std::string>{"saver", "--root", "a b", "two words", "c d"}));
    EXPECT_EQ(options.lock_after, 60u);
    EXPECT_EQ(options.lock_command, (std::vector<std::string>{"locker", "-n"}));
    EXPECT_TRUE(options.verbose);

    Options defaults;
    EXPECT_EQ(parse({}, &defaults, &message), Parsed::run);
    EXPECT_EQ(defaults.timeout, 300u);
    EXPECT_EQ(defaults.lock_after, 0u);
    Options abbreviated;
    EXPECT_EQ(parse({"--time=30", "--verb"}, &abbreviated, &message), Parsed::run) << message;
    EXPECT_EQ(abbreviated.timeout, 30u);
    EXPECT_TRUE(abbreviated.verbose);
    EXPECT_EQ(parse({"--timeout", "abc", "--help"}, &defaults, &message), Parsed::error);
    EXPECT_EQ(parse({"--help", "--timeout", "abc"}, &defaults, &message), Parsed::help);
}

// Quotes, backslashes, $NAME and ~ as a shell takes them, but no file
// names: * ? and [ stay as they are, even where files would match them.
TEST(IdleOptions, SplitsCommandsWithoutExpandingFileNames) {
    const Scratch dir("orrelune-idle-split");
    for (const char* name : {"a.c", "b.c"}) std::ofstream(dir.dir + "/" + name) << "";
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.dir);
    setenv("IDLE_TEST_WORD", "two words", 1);
    setenv("IDLE_TEST_GLOB", "*.c", 1);
    setenv("HOME", "/home/someone", 1);
    struct Case {
        std::string line;
        std::vector<std::string> words;
    } cases[] = {
        {"/bin/echo *.c", {"/bin/echo", "*.c"}},
        {"x [ab].c ?.c", {"x", "[ab].c", "?.c"}},
        {"x $IDLE_TEST_GLOB", {"x", "*.c"}},
        {"x $IDLE_TEST_WORD", {"x", "two", "words"}},
        {"x ${IDLE_TEST_WORD}s", {"x", "two", "wordss"}},
        {"x \"$IDLE_TEST_WORD\"", {"x", "two words"}},
        {"x '$IDLE_TEST_WORD'", {"x", "$IDLE_TEST_WORD"}},
        {"x '' \"\"", {"x", "", ""}},
        {"x 'a'\"b\"c", {"x", "abc"}},
        {"x \"a\\\"b\\$c\\d\"", {"x", "a\"b$c\\d"}},
        {"x ~/f '~/g' a~ $", {"x", "/home/someone/f", "~/g", "a~", "$"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words;
        std::string message;
        EXPECT_TRUE(split_command(c.line, &words, &message)) << c.line << ": " << message;
        EXPECT_EQ(words, c.words) << c.line;
    }
    std::filesystem::current_path(before);
}

TEST(IdleOptions, CommandsMustNameAProgram) {
    std::string message;
    Options missing;
    missing.command = {"no-such-saver-anywhere"};
    EXPECT_FALSE(resolve_commands(&missing, "/nonexistent", &message));
    EXPECT_NE(message.find("'no-such-saver-anywhere' is not a program"), std::string::npos) << message;

    Options folder;
    folder.command = {"/tmp"};  // a directory is not a program
    EXPECT_FALSE(resolve_commands(&folder, "/nonexistent", &message));

    Options lock;
    lock.command = {"sh"};
    lock.lock_after = 5;
    lock.lock_command = {"/nonexistent/locker"};
    EXPECT_FALSE(resolve_commands(&lock, "/nonexistent", &message));
    EXPECT_NE(message.find("--lock-command"), std::string::npos) << message;

    // The default saver: the one beside the watcher before the one on PATH.
    const Scratch beside_dir("orrelune-idle-beside"), path_dir("orrelune-idle-path");
    for (const Scratch* dir : {&beside_dir, &path_dir}) {
        std::string program = dir->dir + "/orrelune";
        std::ofstream(program) << "#!/bin/sh\n";
        chmod(program.c_str(), 0755);
    }
    setenv("PATH", "/nonexistent", 1);
    Options none;
    EXPECT_FALSE(resolve_commands(&none, "/nonexistent", &message));
    EXPECT_NE(message.find("orrelune is neither beside"), std::string::npos) << message;
    setenv("PATH", path_dir.dir.c_str(), 1);
    Options on_path, beside;
    EXPECT_TRUE(resolve_commands(&on_path, "/nonexistent", &message)) << message;
    EXPECT_EQ(on_path.command, (std::vector<std::string>{path_dir.dir + "/orrelune", "/s"}));
    EXPECT_TRUE(resolve_commands(&beside, beside_dir.dir, &message)) << message;
    EXPECT_EQ(beside.command, (std::vector<std::string>{beside_dir.dir + "/orrelune", "/s"}));
}

}  // namespace
