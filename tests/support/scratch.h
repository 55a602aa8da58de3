// A scratch folder for a test or a benchmark, and everything put in it.
// The rest of the tests may use: Scratch.
//
// Made as /tmp/NAME-XXXXXX when the record is made (std::runtime_error when
// it can't be) and removed, with all that is in it, when the record goes:
// on every way out of a test, a failed assertion's early return and an
// exception included. Only the process that made it removes it: a forked
// child that ends through exit() leaves it to its parent. Set
// ORRELUNE_KEEP_SCRATCH to keep the folders instead, to look at what a
// failing test left there; each kept folder is named on stderr.
#pragma once

#include <sys/types.h>

#include <string>

struct Scratch {
    std::string dir;  // empty: no folder (made empty, or moved from)
    pid_t owner = 0;  // the process that made it

    Scratch() = default;
    // mode 0755 lets a process of another user read it: a compositor or a
    // screen-saver daemon that a test runs as the unprivileged user.
    explicit Scratch(const std::string& name, mode_t mode = 0700);
    ~Scratch();
    Scratch(Scratch&& other) noexcept;
    Scratch& operator=(Scratch&& other) noexcept;
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
};
