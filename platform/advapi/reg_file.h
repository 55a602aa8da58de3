// The registry's file: HKEY_CURRENT_USER kept as a text file in the .reg
// export form, so that a user can read and edit it.
//
// For the rest of the layer: reg_parse turns the file's text into lines that
// keep their exact bytes; reg_find_value, reg_key_exists, reg_add_key,
// reg_set_value and reg_delete_value look at and edit those lines, touching
// only the lines of what they change; reg_text gives the text back.
// reg_file_path, reg_read_file and reg_write_file locate, read and atomically
// replace the file. Key paths are below HKEY_CURRENT_USER ("" is the root),
// backslash separated; keys and value names match without regard to case.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RegValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};

enum class RegLineKind {
    Other,    // blank, comment, the version line, or anything unparsable
    Section,  // [HKEY_...\path]
    Value,    // a value line that parsed
    Damaged,  // a value line whose name parsed but whose data did not
};

// One logical line of the file: a value may continue over several physical
// lines, each ending in a backslash.
struct RegLine {
    std::string text;  // the exact bytes, line ending included
    RegLineKind kind = RegLineKind::Other;
    bool current_user = false;  // Section: under HKEY_CURRENT_USER
    std::string key;            // Section: the path below HKEY_CURRENT_USER
    std::string name;           // Value, Damaged: "" for the default value (@)
    RegValue value;             // Value
};

struct RegDocument {
    std::vector<RegLine> lines;
    std::string newline = "\n";  // what new lines end with: the file's own style
    // Exports from Windows come as UTF-16LE with a byte-order mark; such a
    // file is read as UTF-8 lines and written back in UTF-16LE.
    bool utf16 = false;
};

RegDocument reg_parse(const std::string& text);
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

// $XDG_CONFIG_HOME/orrelune/registry.reg, else ~/.config/orrelune/registry.reg;
// "" when no home directory can be found.
std::string reg_file_path();

// Only a regular file, or a link to one, is read; anything else in its
// place (a directory, a named pipe, a device) is Unreadable, found without
// opening it. why, when given, gets the reason for Unreadable.
enum class RegRead { Missing, Read, Unreadable };
RegRead reg_read_file(const std::string& path, std::string* text, std::string* why = nullptr);

// Replaces the file with the text through a temporary file in the same
// directory, flushed and renamed over it; creates the directory (0700) when
// missing. A link keeps pointing where it did and its target is written,
// made if it doesn't exist yet. Temporary files that earlier writes left
// behind go. Returns ERROR_SUCCESS or an error code, with the reason in why
// when given; on failure the old file is left as it was, and so is
// anything but a regular file in its place.
LONG reg_write_file(const std::string& path, const std::string& text, std::string* why = nullptr);
