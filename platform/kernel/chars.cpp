// Character stepping in the user's code page, which on this layer is UTF-8,
// and text from outside made safe for a terminal.
#include "kernel/layer_kernel.h"

#include <stdio.h>

namespace {

bool is_continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at text, or 0 when it is broken.
// The zero terminator never passes as a continuation byte, so a sequence
// cut short by the end of the string counts as broken.
int sequence_length(const unsigned char* text) {
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

}  // namespace

std::string layer_printable(const char* text) {
    std::string out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : "");
    while (*p) {
        int length = sequence_length(p);
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

extern "C" LPSTR WINAPI CharNextA(LPCSTR text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    if (*p == 0) return const_cast<LPSTR>(text);
    int length = sequence_length(p);
    return const_cast<LPSTR>(text + (length > 0 ? length : 1));
}
