// The registry's text form: HKEY_CURRENT_USER as the text of a .reg export,
// so that a user can read and edit it. Text only: the file itself is
// reg_store.h's.
//
// For the rest of the layer: reg_parse turns the text into lines that keep
// their exact bytes; reg_find_value, reg_key_exists, reg_add_key,
// reg_set_value and reg_delete_value look at and edit those lines, touching
// only the lines of what they change; reg_text gives the text back. Key
// paths are below HKEY_CURRENT_USER ("" is the root), backslash separated;
// keys and value names match without regard to case.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct RegValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};

enum class RegLineKind : unsigned char {
    Other,    // blank, comment, the version line, or anything unparsable
    Section,  // [HKEY_...\path]
    Value,    // a value line that parsed
    Damaged,  // a value line whose name parsed but whose data did not
};

// One logical line of the file: a value may continue over several physical
// lines, each ending in a backslash, and a run of Other lines is one. Only
// where its exact bytes are is kept (a file of many short lines costs a few
// times its size, not hundreds); the key, the name and the value are read
// from them when asked for.
struct RegLine {
    uint32_t at = 0;    // where the bytes are: in source, or the index in added
    uint32_t size = 0;  // in source
    RegLineKind kind = RegLineKind::Other;
    bool current_user = false;  // Section: under HKEY_CURRENT_USER
    bool added = false;         // made by an edit
};

struct RegDocument {
    std::string source;              // the text as read, as UTF-8
    std::vector<std::string> added;  // the lines that edits made
    std::vector<RegLine> lines;
    std::string newline = "\n";  // what new lines end with: the file's own style
    // Exports from Windows come as UTF-16LE with a byte-order mark; such a
    // text is read as UTF-8 lines and written back in UTF-16LE.
    bool utf16 = false;
    // Set for a text in another wide form (UTF-16BE, UTF-16 without a mark,
    // UTF-32): read as well as it goes, but reg_text would not give it
    // back in its own form, so it is not to be written.
    const char* read_only_encoding = nullptr;
};

RegDocument reg_parse(std::string text);
std::string reg_text(const RegDocument& doc);

// A key exists when a section names it or a key below it; the root always does.
bool reg_key_exists(const RegDocument& doc, const std::string& key);
// False when the value is absent, or when its line in force is damaged.
bool reg_find_value(const RegDocument& doc, const std::string& key, const std::string& name, RegValue* value);
// Adds a section for the key unless it exists.
void reg_add_key(RegDocument& doc, const std::string& key);
void reg_set_value(RegDocument& doc, const std::string& key, const std::string& name, const RegValue& value);
// False when there was no value to delete.
bool reg_delete_value(RegDocument& doc, const std::string& key, const std::string& name);

// Whether a key or value name can be written as a line of the file.
bool reg_name_fits(const std::string& name);

bool reg_keys_equal(const std::string& a, const std::string& b);
bool reg_names_equal(const std::string& a, const std::string& b);
