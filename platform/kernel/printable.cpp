// Text from outside made safe for a terminal, and the UTF-8 stepping it
// shares with CharNextA. A library of its own, without Win32: the idle
// watcher repeats its arguments through it too.
#include "kernel/printable.h"

#include <stdio.h>

namespace {

bool is_continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

int utf8_sequence_length(const unsigned char* text) {
    unsigned char lead = text[0];
    int length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (text[1] < low || text[1] > high) return 0;
    for (int i = 2; i < length; ++i) {
        if (!is_continuation(text[i])) return 0;
    }
    return length;
}

std::string layer_printable(const char* text) {
    std::string out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : "");
    while (*p) {
        int length = utf8_sequence_length(p);
        // C1 controls (U+0080 to U+009F) act on a terminal as ESC does.
        bool control = length == 1 ? (*p < 0x20 || *p == 0x7F) : length == 2 && p[0] == 0xC2 && p[1] < 0xA0;
        if (length > 0 && !control) {
            out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(length));
            p += length;
            continue;
        }
        // Each byte of a control or of a broken sequence, as C writes it.
        for (int i = 0; i < (length > 0 ? length : 1); ++i, ++p) {
            switch (*p) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: {
                char escaped[5];
                snprintf(escaped, sizeof escaped, "\\x%02x", *p);
                out += escaped;
            }
            }
        }
    }
    return out;
}
