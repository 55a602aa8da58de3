// The registry's file on disk: its place, its reading, the writers' lock,
// and its atomic replacement.
#include "advapi/reg_store.h"

#include <layer_test.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The test seam's hook (layer_test.h), called just before the rename.
bool (*before_rename_hook)(const char* temp_path) = nullptr;

// How long a writer waits for another's lock.
unsigned lock_wait_ms = 30000;

const char not_regular[] = "it is not a regular file";

RegStamp stamp_of(const struct stat& st) {
    RegStamp stamp;
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modified = st.st_mtim;
    stamp.changed = st.st_ctim;
    return stamp;
}

bool same_time(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

bool reg_same_stamp(const RegStamp& a, const RegStamp& b) {
    if (!a.exists || !b.exists) return a.exists == b.exists;
    return a.device == b.device && a.inode == b.inode && a.size == b.size && same_time(a.modified, b.modified) &&
           same_time(a.changed, b.changed);
}

RegStamp reg_file_stamp(const std::string& path) {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) return RegStamp();
    return stamp_of(st);
}

std::string reg_file_path() {
    const char* config = getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = getenv("HOME");
        if (!home || home[0] != '/') {
            struct passwd* pw = getpwuid(getuid());
            home = pw ? pw->pw_dir : nullptr;
        }
        if (!home || home[0] != '/') return "";
        base = std::string(home) + "/.config";
    }
    return base + "/orrelune/registry.reg";
}

RegRead reg_read_file(const std::string& path, std::string* text, std::string* why, RegStamp* stamp) {
    text->clear();
    if (stamp) *stamp = RegStamp();
    if (path.empty()) return RegRead::Missing;
    auto unreadable = [why](const char* reason) {
        if (why) *why = reason;
        return RegRead::Unreadable;
    };
    // Only a regular file (or a link to one) is opened: opening a named pipe
    // waits for a writer, and opening a device may act on it.
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return (errno == ENOENT || errno == ENOTDIR) ? RegRead::Missing : unreadable(strerror(errno));
    if (!S_ISREG(st.st_mode)) return unreadable(not_regular);
    auto too_large = [why] {
        if (why) *why = "it is larger than 16 MB";
        return RegRead::TooLarge;
    };
    if (st.st_size > reg_max_file_size) return too_large();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? RegRead::Missing : unreadable(strerror(errno));
    const char* failure = nullptr;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        failure = not_regular;  // swapped for something else since the look
    } else {
        // Read in place; one byte more than the bound tells a file that
        // grew past it since the look.
        size_t done = 0;
        text->resize(size_t(st.st_size) + 1);
        for (;;) {
            if (done == text->size()) text->resize(std::min(done * 2, size_t(reg_max_file_size) + 1));
            if (done > size_t(reg_max_file_size)) {
                close(fd);
                text->clear();
                return too_large();
            }
            ssize_t n = read(fd, &(*text)[done], text->size() - done);
            if (n == 0) break;
            if (n < 0) {
                if (errno == EINTR) continue;
                failure = strerror(errno);
                break;
            }
            done += size_t(n);
        }
        text->resize(done);
        if (stamp) *stamp = stamp_of(st);
    }
    close(fd);
    if (!failure) return RegRead::Read;
    text->clear();
    return unreadable(failure);
}

namespace {

LONG error_from_errno(int e) {
    switch (e) {
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENOENT:
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    default: return ERROR_WRITE_FAULT;
    }
}

// mkdir -p; the directories it makes are the user's alone.
bool make_directories(const std::string& dir) {
    struct stat st;
    if (dir.empty()) {
        errno = ENOENT;
        return false;
    }
    if (stat(dir.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) errno = ENOTDIR;
        return S_ISDIR(st.st_mode);
    }
    size_t slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0 && !make_directories(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool write_all(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// Where a write to path lands: the end of its chain of links, followed even
// when it points nowhere yet (a managed dotfile whose target is still to be
// made), so that the links stay. False on a loop.
bool follow_links(const std::string& path, std::string* target) {
    *target = path;
    for (int hops = 0; hops < 40; ++hops) {
        char link[PATH_MAX];
        ssize_t n = readlink(target->c_str(), link, sizeof link - 1);
        if (n < 0) return true;  // not a link: the file itself, or nothing yet
        std::string next(link, size_t(n));
        if (next[0] != '/') {
            size_t slash = target->rfind('/');
            next = (slash == std::string::npos ? std::string() : target->substr(0, slash + 1)) + next;
        }
        *target = next;
    }
    errno = ELOOP;
    return false;
}

// A temporary file's name: ".NAME." and mkostemp's six characters.
std::string temporary_prefix(const std::string& name) {
    return "." + name + ".";
}

// Temporary files that earlier writes left behind (a process killed before
// its rename). A write in progress holds a lock on its file, so only the
// abandoned ones are taken.
void remove_stale_temporaries(const std::string& dir, const std::string& name) {
    DIR* entries = opendir(dir.c_str());
    if (!entries) return;
    const std::string prefix = temporary_prefix(name);
    while (dirent* entry = readdir(entries)) {
        std::string found = entry->d_name;
        if (found.size() != prefix.size() + 6 || found.compare(0, prefix.size(), prefix) != 0) continue;
        std::string stale = dir + "/" + found;
        int fd = open(stale.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) continue;
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0) unlink(stale.c_str());
        close(fd);
    }
    closedir(entries);
}

// A new temporary file beside the target, locked for as long as it is open.
// One that another write's clean-up holds or has taken before the lock
// held is left to it.
int create_temporary(const std::string& dir, const std::string& name, std::string* temp) {
    for (;;) {
        *temp = dir + "/" + temporary_prefix(name) + "XXXXXX";
        int fd = mkostemp(&(*temp)[0], O_CLOEXEC);
        if (fd < 0) return fd;
        struct stat st;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
        close(fd);
    }
}

// The file a write to path lands in, as its directory and name.
bool locate(const std::string& path, std::string* dir, std::string* name) {
    std::string target;
    if (!follow_links(path, &target)) return false;
    size_t slash = target.rfind('/');
    *dir = slash == std::string::npos ? "." : target.substr(0, slash);
    *name = target.substr(slash == std::string::npos ? 0 : slash + 1);
    return true;
}

LONG failed(std::string* why, LONG code, const char* reason) {
    if (why) *why = reason;
    return code;
}

LONG failed_with_errno(std::string* why, int error) {
    return failed(why, error_from_errno(error), strerror(error));
}

}  // namespace

LONG reg_lock(const std::string& path, RegLock* lock, std::string* why) {
    lock->fd = -1;
    if (path.empty()) return failed(why, ERROR_PATH_NOT_FOUND, "there is no home directory");
    std::string dir, name;
    if (!locate(path, &dir, &name) || !make_directories(dir)) return failed_with_errno(why, errno);
    std::string lock_path = dir + "/." + name + ".lock";
    int fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0) return failed_with_errno(why, errno);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return failed(why, ERROR_ACCESS_DENIED, "its lock file is not a regular file");
    }
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    long pause_ns = 1000000;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            close(fd);
            return failed_with_errno(why, error);
        }
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        long long waited_ms = (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (waited_ms >= lock_wait_ms) {
            close(fd);
            return failed(why, ERROR_LOCK_VIOLATION, "another program holds its lock");
        }
        // A lock is held for one write, a few milliseconds as a rule.
        timespec pause = {0, pause_ns};
        nanosleep(&pause, nullptr);
        if (pause_ns < 16000000) pause_ns *= 2;
    }
    lock->fd = fd;
    return ERROR_SUCCESS;
}

void reg_unlock(RegLock* lock) {
    if (lock->fd >= 0) close(lock->fd);
    lock->fd = -1;
}

LONG reg_write_file(const std::string& path, const std::string& text, std::string* why) {
    if (path.empty()) return failed(why, ERROR_PATH_NOT_FOUND, "there is no home directory");
    std::string dir, name;
    if (!locate(path, &dir, &name) || !make_directories(dir)) return failed_with_errno(why, errno);
    std::string target = dir + "/" + name;
    // Whatever else stands in the file's place (a directory, a named pipe)
    // is the user's and stays.
    struct stat st;
    bool exists = lstat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return failed(why, ERROR_ACCESS_DENIED, not_regular);
    mode_t mode = exists ? (st.st_mode & 07777) : 0600;

    remove_stale_temporaries(dir, name);
    std::string temp;
    int fd = create_temporary(dir, name, &temp);
    if (fd < 0) return failed_with_errno(why, errno);

    int error = 0;
    if (!write_all(fd, text) || fsync(fd) != 0 || fchmod(fd, mode) != 0) error = errno;
    if (!error && before_rename_hook && !before_rename_hook(temp.c_str())) error = EIO;
    if (!error && rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) unlink(temp.c_str());
    close(fd);  // after the rename or the unlink, so the lock covers both
    if (error) return failed_with_errno(why, error);
    // The rename itself is made durable with the directory.
    int dir_fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd >= 0) {
        fsync(dir_fd);
        close(dir_fd);
    }
    return ERROR_SUCCESS;
}

void layer_set_registry_write_hook(bool (*hook)(const char* temp_path)) {
    before_rename_hook = hook;
}

void layer_set_registry_lock_wait(unsigned milliseconds) {
    lock_wait_ms = milliseconds;
}
