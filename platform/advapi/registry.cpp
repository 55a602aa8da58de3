// The registry calls over the registry file (reg_format.h, reg_store.h).
// Only HKEY_CURRENT_USER exists.
//
// Reads: the file is read and parsed once and read again only when it has
// changed (another run's change is seen by the next call). A file larger
// than settings ever are (reg_store.h) is not read: one line on stderr says
// so, the values read as absent (the program's defaults), and a write is
// refused with ERROR_FILE_TOO_LARGE, the file left as it is.
//
// Writes: RegSetValueExA and RegDeleteValueA on an opened key are kept in
// the process and seen by its own queries at once; RegFlushKey or
// RegCloseKey writes them all to the file as one change, under the writers'
// lock: the file is read, changed and replaced whole, so that two processes
// never lose each other's values and another process sees all of them or
// none. Their result is the write's. A process that ends with changes not
// yet flushed loses them; a change through HKEY_CURRENT_USER itself, which
// is never closed, is written at once. A key that RegCreateKeyExA makes
// lives in the process until a value is written into it: a run that only
// reads never creates the file. Nothing here shows a message: a failed
// write's error code goes to the caller and its reason to stderr.
//
// Provides RegOpenKeyA, RegOpenKeyExA, RegCreateKeyExA, RegQueryValueExA,
// RegSetValueExA, RegDeleteValueA, RegFlushKey and RegCloseKey, declared in
// windows.h.
#include "advapi/reg_format.h"
#include "advapi/reg_store.h"
#include "advapi/registry.h"
#include "kernel/layer_kernel.h"

#include <cerrno>  // program_invocation_short_name
#include <cstdio>
#include <cstring>

namespace {

struct OpenKey {
    bool used = false;
    std::string path;  // below HKEY_CURRENT_USER
    REGSAM access = 0;
};

// An open key's handle is 4 × (its slot + 1), as Windows' own handles are
// multiples of 4. They all lie in the first 64 KiB, which is never mapped,
// so a handle is never a valid pointer to anything.
const size_t kMaxOpenKeys = 4096;
std::vector<OpenKey> open_keys;

bool is_predefined(HKEY key) {
    intptr_t v = intptr_t(key);
    return v >= intptr_t(LONG(0x80000000)) && v <= intptr_t(LONG(0x80000060));
}

// The key's path and the access it was opened with.
const OpenKey* find_key(HKEY key) {
    static OpenKey current_user = {true, "", KEY_ALL_ACCESS};
    if (key == HKEY_CURRENT_USER) return &current_user;
    if (is_predefined(key)) {
        layer_fixme_once("predefined keys other than HKEY_CURRENT_USER are not provided");
        return nullptr;
    }
    uintptr_t v = uintptr_t(key);
    if (v == 0 || v % 4 != 0 || v / 4 > open_keys.size()) return nullptr;
    const OpenKey& k = open_keys[v / 4 - 1];
    return k.used ? &k : nullptr;
}

HKEY new_handle(const std::string& path, REGSAM access) {
    size_t slot = 0;
    while (slot < open_keys.size() && open_keys[slot].used) ++slot;
    if (slot == kMaxOpenKeys) return nullptr;
    if (slot == open_keys.size()) open_keys.emplace_back();
    open_keys[slot] = {true, path, access};
    return HKEY((slot + 1) * 4);
}

// The full path of a subkey below an open key. A path with an empty part
// ("\Software", "a\\b") names no key; one trailing backslash is allowed.
bool join_path(const std::string& base, LPCSTR sub_key, std::string* path) {
    std::string sub = sub_key ? sub_key : "";
    if (!sub.empty() && sub.back() == '\\') sub.pop_back();
    *path = base;
    if (sub.empty()) return sub_key == nullptr || sub_key[0] == '\0';
    if (sub.front() == '\\' || sub.find("\\\\") != std::string::npos || !reg_name_fits(sub)) return false;
    *path = base.empty() ? sub : base + "\\" + sub;
    return true;
}

// The file as last read.
struct StoredFile {
    bool current = false;
    std::string path;
    RegStamp stamp;
    RegDocument doc;
};
StoredFile stored;

// A change not yet written, made through the key handle `by`.
struct PendingChange {
    HKEY by;
    std::string key;
    std::string name;
    bool remove;
    RegValue value;
};
std::vector<PendingChange> pending;
// The keys this process has made or written into, as sections of a
// document of their own.
RegDocument made_keys;

const RegDocument& stored_document() {
    std::string path = reg_file_path();
    if (stored.current && stored.path == path && reg_same_stamp(reg_file_stamp(path), stored.stamp)) return stored.doc;
    std::string text;
    RegStamp stamp;
    std::string why;
    RegRead read = reg_read_file(path, &text, &why, &stamp);
    stored.path = path;
    stored.stamp = stamp;
    stored.doc = reg_parse(std::move(text));
    // Something unreadable in the file's place is looked at again next time.
    stored.current = read == RegRead::Missing || read == RegRead::Read;
    // A file too large to be settings may be anything: said once, and left.
    static bool said_too_large = false;
    if (read == RegRead::TooLarge && !said_too_large) {
        said_too_large = true;
        fprintf(stderr, "%s: the settings in %s are not read: %s; the defaults are used\n",
                program_invocation_short_name, layer_printable(path.c_str()).c_str(), why.c_str());
    }
    return stored.doc;
}

bool key_exists(const std::string& path) {
    return reg_key_exists(made_keys, path) || reg_key_exists(stored_document(), path);
}

// The value as this process sees it: its own changes over the file.
bool find_value(const std::string& key, const std::string& name, RegValue* value) {
    for (auto change = pending.rbegin(); change != pending.rend(); ++change) {
        if (!reg_keys_equal(change->key, key) || !reg_names_equal(change->name, name)) continue;
        if (change->remove) return false;
        *value = change->value;
        return true;
    }
    return reg_find_value(stored_document(), key, name, value);
}

// Reads the file afresh under the lock, makes the changes and replaces it.
// A file that exists but can't be read, or can't be written back in its own
// encoding, is never replaced: what it holds would be lost.
LONG write_changes(const std::string& path, const std::vector<PendingChange>& changes, const RegLock& lock,
                   std::string* why) {
    std::string text;
    RegRead read = reg_read_file(path, &text, why);
    if (read == RegRead::Unreadable) return ERROR_ACCESS_DENIED;
    if (read == RegRead::TooLarge) return ERROR_FILE_TOO_LARGE;
    stored.doc = reg_parse(std::move(text));
    stored.path = path;
    // Until the write is done the document holds changes the file may never get.
    stored.current = false;
    RegDocument& doc = stored.doc;
    if (doc.read_only_encoding) {
        *why = std::string("it is in ") + doc.read_only_encoding + ", which is read but not written";
        return ERROR_UNSUPPORTED_TYPE;
    }
    for (const PendingChange& change : changes) {
        if (change.remove)
            reg_delete_value(doc, change.key, change.name);
        else
            reg_set_value(doc, change.key, change.name, change.value);
    }
    std::string new_text = reg_text(doc);
    LONG result = reg_write_file(path, new_text, lock, why);
    if (result != ERROR_SUCCESS) return result;
    stored.stamp = reg_file_stamp(path);
    stored.current = true;
    return ERROR_SUCCESS;
}

// Writes the changes made through `by` as one change of the file. They are
// gone from the process either way: after a failure the file's values are
// the ones in force.
LONG commit(HKEY by) {
    std::vector<PendingChange> changes;
    std::vector<PendingChange> others;
    for (PendingChange& change : pending) (change.by == by ? changes : others).push_back(std::move(change));
    pending = std::move(others);
    if (changes.empty()) return ERROR_SUCCESS;

    std::string path = reg_file_path(), why;
    RegLock lock;
    LONG result = reg_lock(path, &lock, &why);
    if (result == ERROR_SUCCESS) {
        result = write_changes(path, changes, lock, &why);
        reg_unlock(&lock);
    }
    if (result != ERROR_SUCCESS)
        fprintf(stderr, "err:advapi: the registry could not be saved to %s: %s\n",
                path.empty() ? "its file" : layer_printable(path.c_str()).c_str(), why.c_str());
    return result;
}

std::string value_name(LPCSTR name) {
    return name ? name : "";
}

}  // namespace

void advapi_registry_reset() {
    stored = StoredFile();
    pending.clear();
    made_keys = RegDocument();
}

extern "C" {

LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM desired, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const OpenKey* parent = find_key(key);
    if (!parent) return ERROR_INVALID_HANDLE;
    if (options & REG_OPTION_OPEN_LINK) layer_fixme_once("RegOpenKeyExA: REG_OPTION_OPEN_LINK is not provided");
    std::string path;
    if (!join_path(parent->path, sub_key, &path)) return ERROR_BAD_PATHNAME;
    if (!key_exists(path)) return ERROR_FILE_NOT_FOUND;
    if (desired & MAXIMUM_ALLOWED) desired = KEY_ALL_ACCESS;
    *result = new_handle(path, desired);
    return *result ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

LSTATUS WINAPI RegOpenKeyA(HKEY key, LPCSTR sub_key, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    // Win32 quirk: with no subkey, RegOpenKeyA hands back the handle it was
    // given rather than a new one.
    if (!sub_key || !sub_key[0]) {
        *result = key;
        return find_key(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    }
    return RegOpenKeyExA(key, sub_key, 0, MAXIMUM_ALLOWED, result);
}

LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD, LPSTR, DWORD options, REGSAM desired,
                               const LPSECURITY_ATTRIBUTES security, HKEY* result, LPDWORD disposition) {
    // The class is not kept: the file form has no place for it, and nothing
    // reads it back.
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const OpenKey* parent = find_key(key);
    if (!parent) return ERROR_INVALID_HANDLE;
    if (options & REG_OPTION_VOLATILE)
        layer_fixme_once("RegCreateKeyExA: REG_OPTION_VOLATILE is not provided; the key is stored");
    if (options & (REG_OPTION_CREATE_LINK | REG_OPTION_BACKUP_RESTORE | REG_OPTION_OPEN_LINK))
        layer_fixme_once("RegCreateKeyExA: link and backup options are not provided");
    if (security) layer_fixme_once("RegCreateKeyExA: security attributes are ignored");
    std::string path;
    if (!join_path(parent->path, sub_key, &path)) return ERROR_BAD_PATHNAME;
    REGSAM parent_access = parent->access;

    bool created = !key_exists(path);
    if (created) {
        if (!(parent_access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        // Written with the first value set in it.
        reg_add_key(made_keys, path);
    }
    if (desired & MAXIMUM_ALLOWED) desired = KEY_ALL_ACCESS;
    *result = new_handle(path, desired);
    if (!*result) return ERROR_NOT_ENOUGH_MEMORY;
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD data_size) {
    const OpenKey* k = find_key(key);
    if (!k) return ERROR_INVALID_HANDLE;
    if (reserved || (data && !data_size)) return ERROR_INVALID_PARAMETER;
    if (!(k->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    RegValue value;
    if (!find_value(k->path, value_name(name), &value)) return ERROR_FILE_NOT_FOUND;
    if (type) *type = value.type;
    if (!data_size) return ERROR_SUCCESS;
    DWORD needed = DWORD(value.data.size());
    // A buffer that is too small gets nothing, only the size it would need.
    if (data && *data_size < needed) {
        *data_size = needed;
        return ERROR_MORE_DATA;
    }
    if (data && needed) memcpy(data, value.data.data(), needed);
    *data_size = needed;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD data_size) {
    const OpenKey* k = find_key(key);
    if (!k) return ERROR_INVALID_HANDLE;
    if (!(k->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!data && data_size) return ERROR_NOACCESS;
    std::string n = value_name(name);
    // A line break can't be written inside a line of the file.
    if (!reg_name_fits(n)) return ERROR_INVALID_PARAMETER;
    RegValue value;
    value.type = type;
    if (data_size) value.data.assign(data, data + data_size);
    pending.push_back({key, k->path, n, false, value});
    reg_add_key(made_keys, k->path);
    return is_predefined(key) ? commit(key) : ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY key, LPCSTR name) {
    const OpenKey* k = find_key(key);
    if (!k) return ERROR_INVALID_HANDLE;
    if (!(k->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    RegValue value;
    if (!find_value(k->path, value_name(name), &value)) return ERROR_FILE_NOT_FOUND;
    pending.push_back({key, k->path, value_name(name), true, RegValue()});
    return is_predefined(key) ? commit(key) : ERROR_SUCCESS;
}

LSTATUS WINAPI RegFlushKey(HKEY key) {
    return find_key(key) ? commit(key) : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    // Closing a predefined key succeeds and changes nothing, as on Windows.
    if (is_predefined(key)) return ERROR_SUCCESS;
    uintptr_t v = uintptr_t(key);
    if (!find_key(key)) return ERROR_INVALID_HANDLE;
    LONG result = commit(key);
    open_keys[v / 4 - 1] = OpenKey();
    return result;
}

}  // extern "C"
