// The registry's file on disk: its place, its reading, the writers' lock,
// and its atomic replacement.
#include "advapi/reg_store.h"

#include <layer_test.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
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

// A temporary file's name: ".NAME." and six letters or digits.
std::string temporary_prefix(const std::string& name) {
    return "." + name + ".";
}

// The lock file holds the name of the temporary file that the write under
// the lock makes, from before the file is made until it is renamed or
// removed: a name still there when the next writer takes the lock is the
// file of a write that was killed. That file, and no other, is removed:
// whatever else stands beside the settings is the user's, whatever its name.
void record_temporary(int lock_fd, const std::string& leaf) {
    if (ftruncate(lock_fd, 0) != 0 || leaf.empty()) return;
    // A record that fails costs at most a file left behind by a write that
    // is killed as well.
    ssize_t ignored = pwrite(lock_fd, leaf.data(), leaf.size(), 0);
    (void)ignored;
}

void remove_abandoned_temporary(int lock_fd, const std::string& dir, const std::string& name) {
    char recorded[NAME_MAX + 1];
    ssize_t n = pread(lock_fd, recorded, sizeof recorded, 0);
    if (n <= 0) return;
    const std::string leaf(recorded, size_t(n)), prefix = temporary_prefix(name);
    if (leaf.size() != prefix.size() + 6 || leaf.compare(0, prefix.size(), prefix) != 0 ||
        leaf.find('/') != std::string::npos)
        return;  // not a record of ours
    const std::string abandoned = dir + "/" + leaf;
    struct stat st;
    if (lstat(abandoned.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(abandoned.c_str());
    record_temporary(lock_fd, "");
}

// A new temporary file beside the target, recorded in the lock file first.
int create_temporary(int lock_fd, const std::string& dir, const std::string& name, std::string* temp) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int tries = 0; tries < 100; ++tries) {
        unsigned char random[6];
        if (getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) return -1;
        std::string leaf = temporary_prefix(name);
        for (unsigned char byte : random) leaf += letters[byte % (sizeof letters - 1)];
        record_temporary(lock_fd, leaf);
        *temp = dir + "/" + leaf;
        int fd = open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;  // errno: EEXIST
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

LONG reg_write_file(const std::string& path, const std::string& text, const RegLock& lock, std::string* why) {
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

    remove_abandoned_temporary(lock.fd, dir, name);
    std::string temp;
    int fd = create_temporary(lock.fd, dir, name, &temp);
    if (fd < 0) {
        int error = errno;
        record_temporary(lock.fd, "");
        return failed_with_errno(why, error);
    }

    int error = 0;
    if (!write_all(fd, text) || fsync(fd) != 0 || fchmod(fd, mode) != 0) error = errno;
    if (!error && before_rename_hook && !before_rename_hook(temp.c_str())) error = EIO;
    if (!error && rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) unlink(temp.c_str());
    close(fd);
    record_temporary(lock.fd, "");
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
