// The tests' scratch folder: gone with all it holds on every way out of
// its scope, kept only when asked, and left alone by a forked child.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <utility>

#include "scratch.h"

namespace {

// A folder that holds a file and a folder with a file.
Scratch filled() {
    Scratch scratch("orrelune-scratch-test");
    std::ofstream(scratch.dir + "/file") << "x";
    mkdir((scratch.dir + "/inner").c_str(), 0700);
    std::ofstream(scratch.dir + "/inner/file") << "x";
    return scratch;
}

bool exists(const std::string& path) {
    return std::filesystem::exists(path);
}

TEST(Scratch, GoesWithAllItHoldsOnEveryWayOut) {
    struct Case {
        const char* name;
        std::function<void(std::string* dir)> use;  // sets *dir to the folder it made
    };
    const Case cases[] = {
        {"the end of its scope",
         [](std::string* dir) {
             Scratch scratch = filled();
             *dir = scratch.dir;
         }},
        {"an exception",
         [](std::string* dir) {
             try {
                 Scratch scratch = filled();
                 *dir = scratch.dir;
                 throw std::runtime_error("a failing step");
             } catch (const std::runtime_error&) {
             }
         }},
        {"moved on, then gone",
         [](std::string* dir) {
             Scratch first = filled();
             *dir = first.dir;
             {
                 Scratch second = std::move(first);
                 EXPECT_TRUE(exists(*dir)) << "the move removed it";
             }
             EXPECT_TRUE(first.dir.empty());
         }},
        {"another moved over it",
         [](std::string* dir) {
             Scratch scratch = filled();
             *dir = scratch.dir;
             Scratch other = filled();
             const std::string kept = other.dir;
             scratch = std::move(other);
             EXPECT_FALSE(exists(*dir));
             EXPECT_TRUE(exists(kept));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string dir;
        c.use(&dir);
        ASSERT_FALSE(dir.empty());
        EXPECT_FALSE(exists(dir));
    }
}

TEST(Scratch, IsKeptWhenAskedAndLeftToTheProcessThatMadeIt) {
    std::string kept;
    setenv("ORRELUNE_KEEP_SCRATCH", "1", 1);
    {
        Scratch scratch = filled();
        kept = scratch.dir;
    }
    unsetenv("ORRELUNE_KEEP_SCRATCH");
    EXPECT_TRUE(exists(kept + "/inner/file"));
    std::filesystem::remove_all(kept);

    Scratch scratch = filled();
    const pid_t child = fork();
    if (child == 0) {
        // As a child that ends through exit() destroys the records it was given.
        { Scratch taken = std::move(scratch); }
        _exit(0);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(exists(scratch.dir + "/inner/file"));
}

}  // namespace
