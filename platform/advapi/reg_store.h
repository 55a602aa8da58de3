// The registry's file: where it is, reading it, and replacing it whole.
// Only bytes here; what they say is reg_format.h's.
//
// For the rest of the layer: reg_file_path finds the file; reg_read_file
// reads it and reg_file_stamp tells whether it changed since; reg_lock and
// reg_unlock serialise the writers of all processes; reg_write_file replaces
// the file atomically. A change is read, edited and written under one lock,
// so that no writer loses another's change.
#pragma once

#include <windows.h>

#include <ctime>
#include <string>
#include <sys/types.h>

// $XDG_CONFIG_HOME/orrelune/registry.reg, else ~/.config/orrelune/registry.reg;
// "" when no home directory can be found.
std::string reg_file_path();

// What stood at the path when it was read: the same stamp later means the
// same file, unchanged.
struct RegStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified = {0, 0};
    timespec changed = {0, 0};
};
bool reg_same_stamp(const RegStamp& a, const RegStamp& b);
// The stamp of the file at path now, links followed, without opening it.
RegStamp reg_file_stamp(const std::string& path);

// Only a regular file, or a link to one, is read; anything else in its
// place (a directory, a named pipe, a device) is Unreadable, found without
// opening it. A file larger than reg_max_file_size is TooLarge, and not
// read: a settings file is a few hundred bytes, and no store of ours
// reads or writes a larger one. why, when given, gets the reason for
// Unreadable or TooLarge; stamp, when given, the stamp of what was read.
// Reading never creates anything.
enum class RegRead { Missing, Read, Unreadable, TooLarge };
const off_t reg_max_file_size = 16 * 1024 * 1024;
RegRead reg_read_file(const std::string& path, std::string* text, std::string* why = nullptr,
                      RegStamp* stamp = nullptr);

// The writers' lock: a lock file beside the file a write lands in (the end
// of its links), so that every path to one file shares one lock. Takes it,
// creating the directory (0700) and the lock file when missing; a writer
// that can't get it waits, and gives up with ERROR_LOCK_VIOLATION after
// half a minute (a test may shorten that through layer_test.h). The lock
// file stays: removing it could let two writers hold two locks. Returns
// ERROR_SUCCESS or an error code, with the reason in why when given.
struct RegLock {
    int fd = -1;
};
LONG reg_lock(const std::string& path, RegLock* lock, std::string* why = nullptr);
void reg_unlock(RegLock* lock);

// Replaces the file with the text through a temporary file in the same
// directory, flushed and renamed over it; creates the directory (0700) when
// missing. A link keeps pointing where it did and its target is written,
// made if it doesn't exist yet. The caller holds the lock, whose file names
// the temporary file while it exists: one that a killed write left behind
// goes with the next write, and no other file. Returns ERROR_SUCCESS or an
// error code, with the reason in why when given; on failure the old file is
// left as it was, and so is anything but a regular file in its place.
LONG reg_write_file(const std::string& path, const std::string& text, const RegLock& lock, std::string* why = nullptr);
