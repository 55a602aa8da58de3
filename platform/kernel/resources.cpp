// FindResourceA, LoadResource, LockResource, SizeofResource and FreeResource
// over the program's compiled resource script. The build embeds the .res
// image in the program as the symbol pair layer_embedded_res /
// layer_embedded_res_size; they are weak here, so a binary built without
// resources links all the same and simply has none.
#include <windows.h>

#include <iconv.h>
#include <locale.h>
#include <stdio.h>
#include <wctype.h>

#include <string>
#include <vector>

#include "kernel/layer_kernel.h"
#include "kernel/res_file.h"

extern "C" {
extern const BYTE layer_embedded_res[] __attribute__((weak));
extern const uint64_t layer_embedded_res_size __attribute__((weak));
}

namespace {

// Read once, on first use; the image never changes, so the records (and the
// HRSRC pointers into this vector) stay valid for the whole run.
const std::vector<ResRecord>& records() {
    static const std::vector<ResRecord> table = [] {
        std::vector<ResRecord> parsed;
        if (layer_embedded_res && &layer_embedded_res_size &&
            !res_parse(layer_embedded_res, layer_embedded_res_size, &parsed))
            fprintf(stderr, "err: the embedded resources are damaged after %zu records\n", parsed.size());
        return parsed;
    }();
    return table;
}

const ResRecord* record_of(HRSRC resource) {
    const std::vector<ResRecord>& table = records();
    for (const ResRecord& record : table) {
        if (reinterpret_cast<HRSRC>(const_cast<ResRecord*>(&record)) == resource) return &record;
    }
    return nullptr;
}

char16_t upcase(char16_t unit) {
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (unit < 0x80 || !utf8) return unit >= u'a' && unit <= u'z' ? unit - (u'a' - u'A') : unit;
    return static_cast<char16_t>(towupper_l(unit, utf8));
}

std::u16string upcase(const std::u16string& text) {
    std::u16string result = text;
    for (char16_t& unit : result) unit = upcase(unit);
    return result;
}

// An ANSI (UTF-8 here) name as UTF-16; false when it is not valid UTF-8.
bool widen(const char* text, std::u16string* wide) {
    iconv_t convert = iconv_open("UTF-16LE", "UTF-8");
    if (convert == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in = text;
    std::string out(in.size() * 4 + 4, '\0');
    char* in_at = in.data();
    size_t in_left = in.size();
    char* out_at = out.data();
    size_t out_left = out.size();
    bool ok = iconv(convert, &in_at, &in_left, &out_at, &out_left) != static_cast<size_t>(-1);
    iconv_close(convert);
    if (!ok) return false;
    wide->clear();
    for (const char* p = out.data(); p + 1 < out_at; p += 2)
        wide->push_back(static_cast<char16_t>(static_cast<BYTE>(p[0]) | static_cast<BYTE>(p[1]) << 8));
    return true;
}

// What FindResourceA is asked for: MAKEINTRESOURCEA(n), "#n" or a name.
// Win32 upper-cases a name before it looks, and the resource compiler stored
// names upper-case, so the lookup is blind to case.
bool request_id(LPCSTR request, ResId* id) {
    if (IS_INTRESOURCE(request)) {
        *id = ResId{true, LOWORD(request), {}};
        return true;
    }
    if (request[0] == '#') {
        DWORD value = 0;
        for (const char* p = request + 1; *p >= '0' && *p <= '9'; ++p) {
            value = value * 10 + static_cast<DWORD>(*p - '0');
            if (value > 0xFFFF) return false;
        }
        *id = ResId{true, static_cast<WORD>(value), {}};
        return true;
    }
    *id = ResId{false, 0, {}};
    if (!widen(request, &id->name)) return false;
    id->name = upcase(id->name);
    return true;
}

bool same_id(const ResId& stored, const ResId& asked) {
    if (stored.is_ordinal != asked.is_ordinal) return false;
    return stored.is_ordinal ? stored.ordinal == asked.ordinal : upcase(stored.name) == asked.name;
}

bool own_module(HMODULE module) {
    return !module || module == layer_own_instance();
}

}  // namespace

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    const std::vector<ResRecord>& table = records();
    if (!own_module(module) || table.empty()) {
        // Only the program itself carries resources on the layer.
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    ResId type_id, name_id;
    if (!name || !type || !request_id(type, &type_id) || !request_id(name, &name_id)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Any language will do, neutral first: the script gives each resource
    // one, and Win32 falls back to whatever language there is.
    const ResRecord* found = nullptr;
    bool type_seen = false;
    for (const ResRecord& record : table) {
        if (!same_id(record.type, type_id)) continue;
        type_seen = true;
        if (!same_id(record.name, name_id)) continue;
        if (!found || (record.language == 0 && found->language != 0)) found = &record;
    }
    if (!found) {
        SetLastError(type_seen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<ResRecord*>(found));
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
    const ResRecord* record = own_module(module) ? record_of(resource) : nullptr;
    if (!record) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // As for a module's resources on Win32, the "global" is the bytes
    // themselves, in place for as long as the program runs.
    return const_cast<BYTE*>(record->data);
}

LPVOID WINAPI LockResource(HGLOBAL data) {
    return data;
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) {
    const ResRecord* record = own_module(module) ? record_of(resource) : nullptr;
    if (!record) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return record->size;
}

// Obsolete on Win32, where it does nothing and returns FALSE.
BOOL WINAPI FreeResource(HGLOBAL) {
    return FALSE;
}

}  // extern "C"
