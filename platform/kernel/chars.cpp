// Character stepping in the user's code page, which on this layer is UTF-8.
#include "kernel/layer_kernel.h"

extern "C" LPSTR WINAPI CharNextA(LPCSTR text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    if (*p == 0) return const_cast<LPSTR>(text);
    int length = utf8_sequence_length(p);
    return const_cast<LPSTR>(text + (length > 0 ? length : 1));
}
