#include "scratch.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <utility>

namespace {

void drop(const std::string& dir, pid_t owner) {
    if (dir.empty() || owner != getpid()) return;
    const char* keep = getenv("ORRELUNE_KEEP_SCRATCH");
    if (keep && *keep) {
        fprintf(stderr, "kept the scratch folder %s\n", dir.c_str());
        return;
    }
    std::error_code error;
    std::filesystem::remove_all(dir, error);
    if (error) fprintf(stderr, "could not remove the scratch folder %s: %s\n", dir.c_str(), error.message().c_str());
}

}  // namespace

Scratch::Scratch(const std::string& name, mode_t mode) {
    std::string pattern = "/tmp/" + name + "-XXXXXX";
    if (!mkdtemp(&pattern[0])) throw std::runtime_error("no scratch folder " + pattern + ": " + strerror(errno));
    dir = pattern;
    owner = getpid();
    if (chmod(dir.c_str(), mode) != 0) {
        const std::string why = strerror(errno);
        drop(dir, owner);
        throw std::runtime_error("cannot set the mode of the scratch folder " + dir + ": " + why);
    }
}

Scratch::~Scratch() {
    drop(dir, owner);
}

Scratch::Scratch(Scratch&& other) noexcept
    : dir(std::exchange(other.dir, std::string())), owner(std::exchange(other.owner, 0)) {}

Scratch& Scratch::operator=(Scratch&& other) noexcept {
    if (this != &other) {
        drop(dir, owner);
        dir = std::exchange(other.dir, std::string());
        owner = std::exchange(other.owner, 0);
    }
    return *this;
}
