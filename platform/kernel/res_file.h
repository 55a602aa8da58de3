// The compiled resource script format (.res): a run of records, each a
// header (data size, header size, type, name, language, ...) and its bytes,
// every record DWORD-aligned. Knows nothing of modules or handles; the
// layer's resource calls (resources.cpp) search what it reads.
//   ResId, ResRecord - one record as stored
//   res_parse        - the records of a .res image
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A type or name: an ordinal, or a UTF-16 string as the compiler stored it
// (upper-case for names written in the script).
struct ResId {
    bool is_ordinal;
    WORD ordinal;
    std::u16string name;
};

struct ResRecord {
    ResId type;
    ResId name;
    WORD language;
    const BYTE* data;  // points into the image given to res_parse
    DWORD size;
};

// Appends the records of data[0, size) to records, leaving out the empty
// record that opens every .res. Stops at the first record that does not fit
// or is malformed and returns false then; the records before it are kept.
bool res_parse(const BYTE* data, size_t size, std::vector<ResRecord>* records);
