// In-process modules: LoadLibraryA, GetProcAddress, FreeLibrary and
// GetModuleHandleA over a table that the tests fill with fakes. In a
// production run the table is empty, so every optional module is missing.
#include "kernel/layer_kernel.h"

#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include <layer_test.h>

namespace {

struct Module {
    std::string name;
    std::vector<std::string> entry_names;
    std::vector<FARPROC> entry_procs;
    int load_count;
};

std::vector<Module> modules;

// Handles are made up from the table index; 0x10000 apart like real images.
HMODULE handle_of(size_t index) {
    return reinterpret_cast<HMODULE>(0x10000000 + (index + 1) * 0x10000);
}

Module* loaded_module(HMODULE handle) {
    for (size_t i = 0; i < modules.size(); ++i) {
        if (handle_of(i) == handle && modules[i].load_count > 0) return &modules[i];
    }
    return nullptr;
}

// Windows appends ".DLL" to a name without an extension when it looks it up.
bool same_module_name(const std::string& registered, const char* asked) {
    if (strcasecmp(registered.c_str(), asked) == 0) return true;
    if (strchr(asked, '.')) return false;
    std::string with_suffix = std::string(asked) + ".dll";
    return strcasecmp(registered.c_str(), with_suffix.c_str()) == 0;
}

int find_module(const char* name) {
    for (size_t i = 0; i < modules.size(); ++i) {
        if (same_module_name(modules[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

void layer_register_module(const char* name, const LayerModuleEntry* entries, int count) {
    int index = find_module(name);
    if (index < 0) {
        modules.push_back(Module{name, {}, {}, 0});
        index = static_cast<int>(modules.size()) - 1;
    }
    Module& module = modules[index];
    module.entry_names.clear();
    module.entry_procs.clear();
    for (int i = 0; i < count; ++i) {
        module.entry_names.push_back(entries[i].name);
        module.entry_procs.push_back(entries[i].proc);
    }
}

int layer_module_load_count(const char* name) {
    int index = find_module(name);
    return index < 0 ? 0 : modules[index].load_count;
}

void layer_modules_reset() {
    modules.clear();
}

extern "C" {

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    if (!name) return layer_own_instance();
    int index = find_module(name);
    if (index < 0 || modules[index].load_count == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return handle_of(index);
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    int index = name ? find_module(name) : -1;
    if (index < 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ++modules[index].load_count;
    return handle_of(index);
}

BOOL WINAPI FreeLibrary(HMODULE handle) {
    Module* module = loaded_module(handle);
    if (!module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    --module->load_count;
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE handle, LPCSTR name) {
    Module* module = loaded_module(handle);
    if (!module) {
        SetLastError(handle == layer_own_instance() ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!IS_INTRESOURCE(name)) {
        // Entry names are case-sensitive, as in an export table.
        for (size_t i = 0; i < module->entry_names.size(); ++i) {
            if (module->entry_names[i] == name) return module->entry_procs[i];
        }
    } else {
        layer_fixme_once("GetProcAddress by ordinal is not implemented");
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

}  // extern "C"
