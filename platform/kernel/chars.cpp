// Character stepping in the user's code page, which on this layer is UTF-8.
#include "kernel/layer_kernel.h"

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

extern "C" LPSTR WINAPI CharNextA(LPCSTR text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    if (*p == 0) return const_cast<LPSTR>(text);
    int length = sequence_length(p);
    return const_cast<LPSTR>(text + (length > 0 ? length : 1));
}
