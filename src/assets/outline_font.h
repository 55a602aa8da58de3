// Solid extruded 3D letters: one display list per character code, built
// once, and a printer that centres a formatted text on the current origin.
// The rest of the program may use: build_outline_font (once, from the
// display's GL set-up, with the rendering context current), print_centred,
// and the font's record for tests that look inside.
#pragma once

#include "platform.h"

struct OutlineFont {
    // The first of 256 consecutive display lists; code c draws with
    // list_base + c.
    GLuint list_base;
    // Per character code; only the cell advance x is read.
    GLYPHMETRICSFLOAT glyph_metrics[256];
};
// The one font, owned by outline_font.cpp.
OutlineFont& outline_font();

// Builds the lists of codes 0 to 254 from a bold italic "Arial" outline,
// selected into `device_context` (the one whose rendering context is
// current); the outline build's result (non-zero for success).
BOOL build_outline_font(HDC device_context);

// Formats like printf into 256 bytes (a longer text is cut) and draws it
// centred on the current origin along x, with the caller's colour and GL
// state. Leaves the centring translation on the caller's matrix.
void print_centred(const char* format, ...);
