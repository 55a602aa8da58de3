// The registry's text form: parsing and writing the .reg text, and edits
// of it. Every line keeps its exact bytes, so that a rewrite loses nothing
// that a user wrote, not even lines we can't read.
#include "advapi/reg_format.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <string_view>

namespace {

const char kVersionLine[] = "Windows Registry Editor Version 5.00";
const char kCurrentUser[] = "HKEY_CURRENT_USER";

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool equal_nocase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool starts_nocase(std::string_view s, size_t at, const char* prefix) {
    size_t n = strlen(prefix);
    return s.size() - at >= n && equal_nocase(s.substr(at, n), prefix);
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

size_t skip_blanks(std::string_view s, size_t at) {
    while (at < s.size() && is_blank(s[at])) ++at;
    return at;
}

// Whether only blanks (and a CR) follow.
bool rest_is_blank(std::string_view s, size_t at) {
    for (; at < s.size(); ++at)
        if (!is_blank(s[at]) && s[at] != '\r') return false;
    return true;
}

// The line without its ending.
std::string_view content_of(std::string_view line) {
    size_t n = line.size();
    if (n && line[n - 1] == '\n') --n;
    if (n && line[n - 1] == '\r') --n;
    return line.substr(0, n);
}

bool ends_with_newline(std::string_view line) {
    return !line.empty() && line.back() == '\n';
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A quoted string starting at s[at] == '"', with \\ and \" as escapes. Any
// other backslash stays as written. Returns the index after the closing
// quote, or npos when the string doesn't end.
size_t parse_quoted(std::string_view s, size_t at, std::string* out) {
    out->clear();
    for (size_t i = at + 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') return i + 1;
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out->push_back(s[++i]);
            continue;
        }
        out->push_back(c);
    }
    return std::string::npos;
}

std::string quote(const std::string& s) {
    std::string q = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') q.push_back('\\');
        q.push_back(c);
    }
    q.push_back('"');
    return q;
}

// "xx,xx,..." with continuations already removed; an empty list is a value
// of no bytes.
bool parse_hex_bytes(std::string_view s, size_t at, std::vector<BYTE>* out) {
    out->clear();
    at = skip_blanks(s, at);
    if (rest_is_blank(s, at)) return true;
    for (;;) {
        at = skip_blanks(s, at);
        int hi = at < s.size() ? hex_digit(s[at]) : -1;
        if (hi < 0) return false;
        int byte = hi;
        ++at;
        if (at < s.size() && hex_digit(s[at]) >= 0) byte = byte * 16 + hex_digit(s[at++]);
        out->push_back(BYTE(byte));
        at = skip_blanks(s, at);
        if (rest_is_blank(s, at)) return true;
        if (s[at] != ',') return false;
        ++at;
        if (rest_is_blank(s, at)) return true;  // a trailing comma
    }
}

// The data after '=': a string, dword:, hex: or hex(N):. A value line that is
// '-' (the import form's deletion) has no data and reads as absent.
bool parse_data(std::string_view s, size_t at, RegValue* value) {
    at = skip_blanks(s, at);
    if (at < s.size() && s[at] == '"') {
        std::string text;
        size_t end = parse_quoted(s, at, &text);
        if (end == std::string::npos || !rest_is_blank(s, end)) return false;
        value->type = REG_SZ;
        value->data.assign(text.begin(), text.end());
        value->data.push_back(0);
        return true;
    }
    if (starts_nocase(s, at, "dword:")) {
        at += 6;
        DWORD n = 0;
        size_t digits = 0;
        for (; at < s.size() && hex_digit(s[at]) >= 0; ++at, ++digits) n = n * 16 + DWORD(hex_digit(s[at]));
        if (digits == 0 || digits > 8 || !rest_is_blank(s, at)) return false;
        value->type = REG_DWORD;
        value->data = {BYTE(n), BYTE(n >> 8), BYTE(n >> 16), BYTE(n >> 24)};
        return true;
    }
    if (starts_nocase(s, at, "hex:")) {
        value->type = REG_BINARY;
        return parse_hex_bytes(s, at + 4, &value->data);
    }
    if (starts_nocase(s, at, "hex(")) {
        at += 4;
        DWORD type = 0;
        size_t digits = 0;
        for (; at < s.size() && hex_digit(s[at]) >= 0; ++at, ++digits) type = type * 16 + DWORD(hex_digit(s[at]));
        if (digits == 0 || digits > 8 || !starts_nocase(s, at, "):")) return false;
        value->type = type;
        return parse_hex_bytes(s, at + 2, &value->data);
    }
    return false;
}

// The name of a value line: "name"= or @=. Returns the index after '=', or
// npos when the line is not a value line at all.
size_t parse_name(std::string_view s, std::string* name) {
    size_t at = skip_blanks(s, 0);
    if (at < s.size() && s[at] == '@') {
        name->clear();
        ++at;
    } else if (at < s.size() && s[at] == '"') {
        at = parse_quoted(s, at, name);
        if (at == std::string::npos) return at;
    } else {
        return std::string::npos;
    }
    at = skip_blanks(s, at);
    if (at >= s.size() || s[at] != '=') return std::string::npos;
    return at + 1;
}

bool parse_section(std::string_view s, bool* current_user, std::string* key) {
    size_t open = skip_blanks(s, 0);
    size_t close = s.rfind(']');
    if (open >= s.size() || s[open] != '[' || close == std::string::npos || close < open ||
        !rest_is_blank(s, close + 1))
        return false;
    std::string_view path = s.substr(open + 1, close - open - 1);
    size_t root_end = path.find('\\');
    *current_user = equal_nocase(path.substr(0, root_end), kCurrentUser);
    if (key) {
        key->assign(root_end == std::string::npos ? std::string_view() : path.substr(root_end + 1));
        while (!key->empty() && key->back() == '\\') key->pop_back();
    }
    return true;
}

// Whether a value line goes on: its content ends in a backslash.
bool continues(std::string_view physical) {
    std::string_view c = content_of(physical);
    size_t n = c.size();
    while (n && is_blank(c[n - 1])) --n;
    return n && c[n - 1] == '\\';
}

// The first physical line of a text, line ending included.
std::string_view first_line(std::string_view text) {
    size_t end = text.find('\n');
    return text.substr(0, end == std::string::npos ? text.size() : end + 1);
}

// The logical content of a value spread over physical lines: each ending
// backslash and the next line's leading blanks go.
std::string join_continued(std::string_view text) {
    std::string joined;
    for (bool first = true; !text.empty(); first = false) {
        std::string_view physical = first_line(text);
        text.remove_prefix(physical.size());
        std::string_view c = content_of(physical);
        if (!first) c.remove_prefix(std::min(skip_blanks(c, 0), c.size()));
        if (!text.empty()) {
            while (!c.empty() && is_blank(c.back())) c.remove_suffix(1);
            if (!c.empty()) c.remove_suffix(1);  // the backslash
        }
        joined += c;
    }
    return joined;
}

std::string hex_pair(BYTE b) {
    static const char digits[] = "0123456789abcdef";
    return {digits[b >> 4], digits[b & 15]};
}

// A string value that reads back to the same bytes: one terminating NUL and
// nothing that the quoted form can't hold.
bool fits_quoted(const RegValue& v) {
    if (v.type != REG_SZ || v.data.empty() || v.data.back() != 0) return false;
    for (size_t i = 0; i + 1 < v.data.size(); ++i)
        if (v.data[i] < 0x20 || v.data[i] == 0x7f) return false;
    return true;
}

std::string format_value(const std::string& name, const RegValue& v, const std::string& newline) {
    std::string line = name.empty() ? "@=" : quote(name) + "=";
    if (fits_quoted(v)) {
        line += quote(std::string(v.data.begin(), v.data.end() - 1));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        char digits[9];
        snprintf(digits, sizeof digits, "%08x",
                 unsigned(v.data[0] | v.data[1] << 8 | v.data[2] << 16 | unsigned(v.data[3]) << 24));
        line += "dword:";
        line += digits;
    } else {
        if (v.type == REG_BINARY) {
            line += "hex:";
        } else {
            char prefix[16];
            snprintf(prefix, sizeof prefix, "hex(%x):", unsigned(v.type));
            line += prefix;
        }
        // Wrapped to lines of at most 80 columns, as exports are.
        size_t column = line.size();
        for (size_t i = 0; i < v.data.size(); ++i) {
            line += hex_pair(v.data[i]);
            column += 2;
            if (i + 1 < v.data.size()) {
                line += ',';
                ++column;
                if (column > 76) {
                    line += "\\" + newline + "  ";
                    column = 2;
                }
            }
        }
    }
    return line + newline;
}

const char kByteOrderMark[] = "\xEF\xBB\xBF";

// A line's exact bytes.
std::string_view text_of(const RegDocument& doc, const RegLine& line) {
    if (line.added) return doc.added[line.at];
    return std::string_view(doc.source).substr(line.at, line.size);
}

// The bytes that are parsed: a byte-order mark before the version line is
// kept but not parsed.
std::string_view parsed_text(const RegDocument& doc, const RegLine& line) {
    std::string_view text = text_of(doc, line);
    if (!line.added && line.at == 0 && text.compare(0, 3, kByteOrderMark) == 0) text.remove_prefix(3);
    return text;
}

// What a logical line is; for a section, whether it is under
// HKEY_CURRENT_USER, and for a value line that parses, its value.
RegLineKind describe(std::string_view text, bool* current_user, RegValue* value = nullptr) {
    std::string_view first = first_line(text), c = content_of(first);
    if (parse_section(c, current_user, nullptr)) return RegLineKind::Section;
    std::string name;
    size_t data_at = parse_name(c, &name);
    if (data_at == std::string::npos) return RegLineKind::Other;
    RegValue own_value;
    if (!value) value = &own_value;
    if (first.size() == text.size()) return parse_data(c, data_at, value) ? RegLineKind::Value : RegLineKind::Damaged;
    // Over several lines: cut off inside a continuation, the value is damaged.
    std::string_view last = content_of(text);
    last.remove_prefix(last.rfind('\n') + 1);
    if (continues(last)) return RegLineKind::Damaged;
    return parse_data(join_continued(text), data_at, value) ? RegLineKind::Value : RegLineKind::Damaged;
}

std::string key_of(const RegDocument& doc, const RegLine& section) {
    std::string key;
    bool current_user;
    parse_section(content_of(first_line(parsed_text(doc, section))), &current_user, &key);
    return key;
}

std::string name_of(const RegDocument& doc, const RegLine& line) {
    std::string name;
    parse_name(content_of(first_line(parsed_text(doc, line))), &name);
    return name;
}

// Gives the line new bytes of its own, leaving its kind as it is.
void set_text(RegDocument& doc, RegLine& line, std::string text) {
    if (!line.added) {
        line.added = true;
        line.at = uint32_t(doc.added.size());
        doc.added.emplace_back();
    }
    doc.added[line.at] = std::move(text);
}

RegLine new_line(RegDocument& doc, std::string text, RegLineKind kind) {
    RegLine line;
    line.kind = kind;
    line.current_user = kind == RegLineKind::Section;
    set_text(doc, line, std::move(text));
    return line;
}

RegLine section_line(RegDocument& doc, const std::string& key) {
    return new_line(doc, "[" + std::string(kCurrentUser) + (key.empty() ? "" : "\\" + key) + "]" + doc.newline,
                    RegLineKind::Section);
}

bool in_key(const RegDocument& doc, const RegLine& section, const std::string& key) {
    return section.current_user && reg_keys_equal(key_of(doc, section), key);
}

// The line that decides a value: the last line of that name in the key's
// sections, as a later line overrides an earlier one on import.
int line_in_force(const RegDocument& doc, const std::string& key, const std::string& name) {
    int found = -1;
    bool inside = false;
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        const RegLine& line = doc.lines[i];
        if (line.kind == RegLineKind::Section)
            inside = in_key(doc, line, key);
        else if (inside && line.kind != RegLineKind::Other && equal_nocase(name_of(doc, line), name))
            found = int(i);
    }
    return found;
}

void terminate_line(RegDocument& doc, RegLine& line) {
    std::string_view text = text_of(doc, line);
    if (!ends_with_newline(text)) set_text(doc, line, std::string(text) + doc.newline);
}

// Inserts a line after index at, keeping the line before it whole.
void insert_after(RegDocument& doc, size_t at, RegLine line) {
    terminate_line(doc, doc.lines[at]);
    doc.lines.insert(doc.lines.begin() + long(at) + 1, line);
}

// A new section at the end of the file, after a blank line.
void append_section(RegDocument& doc, const std::string& key) {
    if (doc.lines.empty()) {
        doc.lines.push_back(new_line(doc, kVersionLine + doc.newline, RegLineKind::Other));
    } else {
        terminate_line(doc, doc.lines.back());
    }
    std::string_view last = content_of(text_of(doc, doc.lines.back()));
    last.remove_prefix(last.rfind('\n') + 1);
    if (!rest_is_blank(last, 0)) doc.lines.push_back(new_line(doc, doc.newline, RegLineKind::Other));
    doc.lines.push_back(section_line(doc, key));
}

// Text from one encoding to another; false when it doesn't convert whole.
// Given a replacement, each unit of unit_size bytes that doesn't convert
// becomes the replacement instead, and the rest still converts.
bool convert(const char* to, const char* from, const std::string& in, std::string* out,
             const char* replacement = nullptr, size_t unit_size = 0) {
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1)) return false;
    out->clear();
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    bool ok = true;
    char buffer[4096];
    while (ok) {
        char* dst = buffer;
        size_t dst_left = sizeof buffer;
        size_t r = iconv(cd, src_left ? &src : nullptr, &src_left, &dst, &dst_left);
        out->append(buffer, size_t(dst - buffer));
        if (r != size_t(-1) && src_left == 0) break;
        if (r != size_t(-1) || errno == E2BIG) continue;
        if (replacement && (errno == EILSEQ || errno == EINVAL) && src_left >= unit_size) {
            out->append(replacement);
            src += unit_size;
            src_left -= unit_size;
            continue;
        }
        ok = false;
    }
    iconv_close(cd);
    return ok;
}

// How a file's first bytes say it is encoded, when not in UTF-8: a mark,
// or with none (what an editor that left the mark out writes) the first
// character, which is of the ASCII range in any such file, in its units:
// x is that character, and a UTF-8 text never starts with a NUL.
struct WideForm {
    const char* mark;
    size_t mark_size;
    const char* first_character;  // without a mark: "x" for the character, "0" for a NUL
    const char* encoding;
    size_t unit;
    bool written_back;  // else read only: never mixed with UTF-8 lines
};

// The longer forms first: UTF-32LE's begins as UTF-16LE's does.
const WideForm wide_forms[] = {
    {"\xFF\xFE\x00\x00", 4, nullptr, "UTF-32LE", 4, false},
    {"\x00\x00\xFE\xFF", 4, nullptr, "UTF-32BE", 4, false},
    {"\xFF\xFE", 2, nullptr, "UTF-16LE", 2, true},
    {"\xFE\xFF", 2, nullptr, "UTF-16BE", 2, false},
    {"", 0, "x000", "UTF-32LE", 4, false},
    {"", 0, "000x", "UTF-32BE", 4, false},
    {"", 0, "x0", "UTF-16LE", 2, false},
    {"", 0, "0x", "UTF-16BE", 2, false},
};

bool starts_with_character(const std::string& text, const char* pattern) {
    size_t n = strlen(pattern);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (pattern[i] == '0' ? c != 0 : (c == 0 || c >= 0x80)) return false;
    }
    return true;
}

const WideForm* wide_form_of(const std::string& text) {
    for (const WideForm& form : wide_forms) {
        if (form.mark_size ? text.compare(0, form.mark_size, form.mark, form.mark_size) == 0
                           : starts_with_character(text, form.first_character))
            return &form;
    }
    return nullptr;
}

}  // namespace

bool reg_keys_equal(const std::string& a, const std::string& b) {
    auto trimmed = [](std::string s) {
        while (!s.empty() && s.back() == '\\') s.pop_back();
        return s;
    };
    return equal_nocase(trimmed(a), trimmed(b));
}

bool reg_names_equal(const std::string& a, const std::string& b) {
    return equal_nocase(a, b);
}

bool reg_name_fits(const std::string& name) {
    return name.find_first_of("\r\n") == std::string::npos;
}

RegDocument reg_parse(std::string file_text) {
    RegDocument doc;
    // The mark decides: a wide file stays one even with stray last bytes (a
    // cut copy), which go, as part of a character means nothing.
    if (const WideForm* form = wide_form_of(file_text)) {
        if (form->written_back)
            doc.utf16 = true;
        else
            doc.read_only_encoding = form->encoding;
        file_text.erase(0, form->mark_size);
        file_text.resize(file_text.size() / form->unit * form->unit);
        // A unit that is no character (a lone surrogate) reads as U+FFFD.
        convert("UTF-8", form->encoding, file_text, &doc.source, "\xEF\xBF\xBD", form->unit);
    } else {
        doc.source = std::move(file_text);
    }
    std::string_view text = doc.source;
    std::string_view first = first_line(text);
    if (content_of(first).size() + 2 == first.size()) doc.newline = "\r\n";

    for (size_t at = 0; at < text.size();) {
        RegLine line;
        line.at = uint32_t(at);
        std::string_view physical = first_line(text.substr(at));
        line.size = uint32_t(physical.size());
        // A hex value goes on over the lines its backslashes join.
        std::string name;
        std::string_view c = content_of(first_line(parsed_text(doc, line)));
        size_t data_at = parse_name(c, &name);
        if (data_at != std::string::npos && starts_nocase(c, skip_blanks(c, data_at), "hex")) {
            while (continues(physical) && at + line.size < text.size()) {
                physical = first_line(text.substr(at + line.size));
                line.size += uint32_t(physical.size());
            }
        }
        line.kind = describe(parsed_text(doc, line), &line.current_user);
        at += line.size;
        // Lines that say nothing to the registry are one.
        if (line.kind == RegLineKind::Other && !doc.lines.empty() && doc.lines.back().kind == RegLineKind::Other)
            doc.lines.back().size += line.size;
        else
            doc.lines.push_back(line);
    }
    return doc;
}

std::string reg_text(const RegDocument& doc) {
    std::string text;
    for (const RegLine& line : doc.lines) text += text_of(doc, line);
    std::string wide;
    // Should a name the program gave not be UTF-8, the file goes on as UTF-8
    // with the same lines rather than lose them.
    if (doc.utf16 && convert("UTF-16LE", "UTF-8", text, &wide)) return "\xFF\xFE" + wide;
    return text;
}

bool reg_key_exists(const RegDocument& doc, const std::string& key) {
    if (reg_keys_equal(key, "")) return true;
    std::string k = key;
    while (!k.empty() && k.back() == '\\') k.pop_back();
    for (const RegLine& line : doc.lines) {
        if (line.kind != RegLineKind::Section || !line.current_user) continue;
        std::string section_key = key_of(doc, line);
        if (reg_keys_equal(section_key, k)) return true;
        if (section_key.size() > k.size() && section_key[k.size()] == '\\' &&
            equal_nocase(std::string_view(section_key).substr(0, k.size()), k))
            return true;
    }
    return false;
}

bool reg_find_value(const RegDocument& doc, const std::string& key, const std::string& name, RegValue* value) {
    int at = line_in_force(doc, key, name);
    if (at < 0 || doc.lines[size_t(at)].kind != RegLineKind::Value) return false;
    bool current_user;
    describe(parsed_text(doc, doc.lines[size_t(at)]), &current_user, value);
    return true;
}

void reg_add_key(RegDocument& doc, const std::string& key) {
    if (!reg_key_exists(doc, key)) append_section(doc, key);
}

void reg_set_value(RegDocument& doc, const std::string& key, const std::string& name, const RegValue& value) {
    // Made whole rather than parsed back: a long value spans lines.
    RegLine line = new_line(doc, format_value(name, value, doc.newline), RegLineKind::Value);
    int at = line_in_force(doc, key, name);
    if (at >= 0 && doc.lines[size_t(at)].kind == RegLineKind::Value) {
        doc.lines[size_t(at)] = line;
        return;
    }
    if (at >= 0) {
        // The damaged line stays as the user left it; the new one follows it
        // and so is the one in force.
        insert_after(doc, size_t(at), line);
        return;
    }
    // After the last value of the key's last section.
    int place = -1;
    bool inside = false;
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        const RegLine& l = doc.lines[i];
        if (l.kind == RegLineKind::Section) {
            inside = in_key(doc, l, key);
            if (inside) place = int(i);
        } else if (inside && l.kind != RegLineKind::Other) {
            place = int(i);
        }
    }
    if (place < 0) {
        append_section(doc, key);
        place = int(doc.lines.size()) - 1;
    }
    insert_after(doc, size_t(place), line);
}

bool reg_delete_value(RegDocument& doc, const std::string& key, const std::string& name) {
    int at = line_in_force(doc, key, name);
    if (at < 0 || doc.lines[size_t(at)].kind != RegLineKind::Value) return false;
    // Earlier lines of the name would come back into force: they go too. A
    // damaged one stays, and reads as absent as before.
    std::vector<RegLine> kept;
    bool inside = false;
    for (const RegLine& line : doc.lines) {
        if (line.kind == RegLineKind::Section) inside = in_key(doc, line, key);
        if (inside && line.kind == RegLineKind::Value && equal_nocase(name_of(doc, line), name)) continue;
        kept.push_back(line);
    }
    doc.lines = std::move(kept);
    return true;
}
