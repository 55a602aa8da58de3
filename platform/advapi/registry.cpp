// The registry calls over the registry file (reg_file.h). Only
// HKEY_CURRENT_USER exists. Every call reads the file afresh, so a change
// made by another run (the configuration dialog) is seen by the next one;
// every change rewrites the file atomically, and a change that can't be
// saved says so in a message box.
//
// Provides RegOpenKeyA, RegOpenKeyExA, RegCreateKeyExA, RegQueryValueExA,
// RegSetValueExA, RegDeleteValueA and RegCloseKey, declared in windows.h.
#include "advapi/reg_file.h"

#include <cstdio>
#include <cstring>
#include <set>

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

void fixme_once(const char* what) {
    static std::set<std::string> said;
    if (said.insert(what).second) fprintf(stderr, "fixme:advapi: %s\n", what);
}

bool is_predefined(HKEY key) {
    intptr_t v = intptr_t(key);
    return v >= intptr_t(LONG(0x80000000)) && v <= intptr_t(LONG(0x80000060));
}

// The key's path and the access it was opened with.
const OpenKey* find_key(HKEY key) {
    static OpenKey current_user = {true, "", KEY_ALL_ACCESS};
    if (key == HKEY_CURRENT_USER) return &current_user;
    if (is_predefined(key)) {
        fixme_once("predefined keys other than HKEY_CURRENT_USER are not provided");
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

RegDocument read_document() {
    std::string text;
    reg_read_file(reg_file_path(), &text);
    return reg_parse(text);
}

// A save that failed is told once, naming the file and the reason; more
// failures in a row (the next value of the same save) are the same trouble.
bool last_save_failed = false;

void tell_save_result(LONG result, const std::string& path, const std::string& why) {
    if (result == ERROR_SUCCESS) {
        last_save_failed = false;
        return;
    }
    if (!last_save_failed) {
        std::string text = "The settings could not be saved";
        if (!path.empty()) text += " to\n" + path;
        text += ":\n" + why + ".";
        MessageBoxA(nullptr, text.c_str(), "Error", MB_OK | MB_ICONERROR);
    }
    last_save_failed = true;
}

enum class Failure { Quiet, Told };

// Reads the file afresh, lets change edit it, and writes it back when change
// returns ERROR_SUCCESS. A file that exists but can't be read is never
// replaced: what it holds would be lost. With Failure::Told a failed
// write shows a message box.
template <typename Change>
LONG edit_document(Failure failure, Change change) {
    std::string path = reg_file_path();
    std::string text, why;
    LONG result;
    if (reg_read_file(path, &text, &why) == RegRead::Unreadable) {
        result = ERROR_ACCESS_DENIED;
    } else {
        RegDocument doc = reg_parse(text);
        LONG changed = change(doc);
        if (changed != ERROR_SUCCESS) return changed;
        result = reg_write_file(path, reg_text(doc), &why);
    }
    if (failure == Failure::Told) tell_save_result(result, path, why);
    return result;
}

std::string value_name(LPCSTR name) {
    return name ? name : "";
}

}  // namespace

void advapi_registry_reset() {
    last_save_failed = false;
}

extern "C" {

LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM desired, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const OpenKey* parent = find_key(key);
    if (!parent) return ERROR_INVALID_HANDLE;
    if (options & REG_OPTION_OPEN_LINK) fixme_once("RegOpenKeyExA: REG_OPTION_OPEN_LINK is not provided");
    std::string path;
    if (!join_path(parent->path, sub_key, &path)) return ERROR_BAD_PATHNAME;
    if (!reg_key_exists(read_document(), path)) return ERROR_FILE_NOT_FOUND;
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
        fixme_once("RegCreateKeyExA: REG_OPTION_VOLATILE is not provided; the key is stored");
    if (options & (REG_OPTION_CREATE_LINK | REG_OPTION_BACKUP_RESTORE | REG_OPTION_OPEN_LINK))
        fixme_once("RegCreateKeyExA: link and backup options are not provided");
    if (security) fixme_once("RegCreateKeyExA: security attributes are ignored");
    std::string path;
    if (!join_path(parent->path, sub_key, &path)) return ERROR_BAD_PATHNAME;
    REGSAM parent_access = parent->access;

    bool created = false;
    if (!reg_key_exists(read_document(), path)) {
        if (!(parent_access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        // Unlike Win32, a key that can't be written to the file (a read-only
        // home, a directory in the file's place) is still handed out: it
        // reads as empty, and setting a value in it tells the user why the
        // value is not saved, where failing here would lose that in silence.
        edit_document(Failure::Quiet, [&](RegDocument& doc) -> LONG {
            // Another run may have made it since.
            if (reg_key_exists(doc, path)) return ERROR_ALREADY_EXISTS;
            reg_add_key(doc, path);
            created = true;
            return ERROR_SUCCESS;
        });
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
    if (!reg_find_value(read_document(), k->path, value_name(name), &value)) return ERROR_FILE_NOT_FOUND;
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
    std::string path = k->path;
    return edit_document(Failure::Told, [&](RegDocument& doc) -> LONG {
        reg_set_value(doc, path, n, value);
        return ERROR_SUCCESS;
    });
}

LSTATUS WINAPI RegDeleteValueA(HKEY key, LPCSTR name) {
    const OpenKey* k = find_key(key);
    if (!k) return ERROR_INVALID_HANDLE;
    if (!(k->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::string path = k->path;
    return edit_document(Failure::Told, [&](RegDocument& doc) -> LONG {
        return reg_delete_value(doc, path, value_name(name)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    // Closing a predefined key succeeds and changes nothing, as on Windows.
    if (is_predefined(key)) return ERROR_SUCCESS;
    uintptr_t v = uintptr_t(key);
    if (!find_key(key)) return ERROR_INVALID_HANDLE;
    open_keys[v / 4 - 1] = OpenKey();
    return ERROR_SUCCESS;
}

}  // extern "C"
