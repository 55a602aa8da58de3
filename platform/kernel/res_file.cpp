#include "kernel/res_file.h"

namespace {

WORD read_word(const BYTE* p) {
    return static_cast<WORD>(p[0] | p[1] << 8);
}

DWORD read_dword(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

size_t align4(size_t n) {
    return (n + 3) & ~static_cast<size_t>(3);
}

// Reads a type or name at header[*at], staying below end.
bool read_id(const BYTE* header, size_t end, size_t* at, ResId* id) {
    if (*at + 2 > end) return false;
    if (read_word(header + *at) == 0xFFFF) {
        if (*at + 4 > end) return false;
        *id = ResId{true, read_word(header + *at + 2), {}};
        *at += 4;
        return true;
    }
    *id = ResId{false, 0, {}};
    for (;;) {
        if (*at + 2 > end) return false;
        char16_t unit = read_word(header + *at);
        *at += 2;
        if (unit == 0) return true;
        id->name.push_back(unit);
    }
}

}  // namespace

bool res_parse(const BYTE* data, size_t size, std::vector<ResRecord>* records) {
    // Fixed part after the type and name: DataVersion, MemoryFlags,
    // LanguageId, Version, Characteristics.
    const size_t fixed_tail = 16;
    size_t at = 0;
    while (at < size) {
        if (size - at < 8) return false;
        const BYTE* header = data + at;
        DWORD data_size = read_dword(header);
        DWORD header_size = read_dword(header + 4);
        if (header_size < 8 + 4 + 4 + fixed_tail || header_size > size - at || data_size > size - at - header_size)
            return false;

        ResRecord record{};
        size_t field = 8;
        if (!read_id(header, header_size, &field, &record.type) || !read_id(header, header_size, &field, &record.name))
            return false;
        field = align4(field);
        if (field + fixed_tail > header_size) return false;
        record.language = read_word(header + field + 6);
        record.data = header + header_size;
        record.size = data_size;

        bool opening_record = record.type.is_ordinal && record.type.ordinal == 0;
        if (!opening_record) records->push_back(record);
        at = align4(at + header_size + data_size);
    }
    return true;
}
