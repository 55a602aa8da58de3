// The settings key and its two values.
#include "settings/settings_store.h"

namespace {

const char settings_key_path[] = "Software\\Orrelune";
const char resolution_value[] = "resolution";
const char colour_value[] = "color";

LONG read_dword(HKEY key, const char* name) {
    LONG value = 0;
    DWORD size = sizeof value;
    // The stored type is not looked at and only 4 bytes are taken; a value
    // of 1 to 3 bytes fills only its own bytes of the zeroed number. A
    // failed read (absent, or longer than 4 bytes) leaves the number alone,
    // so it reads as 0.
    if (RegQueryValueExA(key, name, NULL, NULL, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) return 0;
    return value;
}

LONG write_dword(HKEY key, const char* name, LONG value) {
    DWORD data = static_cast<DWORD>(value);
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

}  // namespace

const char settings_key_name[] = "HKEY_CURRENT_USER\\Software\\Orrelune";

HKEY open_settings_key(LONG* error) {
    HKEY key = NULL;
    DWORD disposition = 0;
    char key_class[] = "NONE";
    LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, settings_key_path, 0, key_class, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, NULL, &key, &disposition);
    if (error) *error = result;
    return result == ERROR_SUCCESS ? key : NULL;
}

void close_settings_key(HKEY key) {
    if (key) RegCloseKey(key);
}

SaverSettings read_settings(HKEY key) {
    SaverSettings settings = {0, 0};
    if (!key) return settings;
    settings.resolution_id = read_dword(key, resolution_value);
    settings.colour_id = read_dword(key, colour_value);
    return settings;
}

LONG write_settings(HKEY key, const SaverSettings& settings) {
    if (!key) return ERROR_INVALID_HANDLE;
    LONG result = write_dword(key, resolution_value, settings.resolution_id);
    if (result == ERROR_SUCCESS) result = write_dword(key, colour_value, settings.colour_id);
    // The flush is where the store makes the two values one change, and
    // where a write that can't be saved shows.
    if (result == ERROR_SUCCESS) result = RegFlushKey(key);
    return result;
}

SaverSettings load_saver_settings() {
    HKEY key = open_settings_key();
    SaverSettings settings = read_settings(key);
    close_settings_key(key);
    return settings;
}
