// Extruded outline letters in display lists, and the centred printer.
#include "assets/outline_font.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

OutlineFont& outline_font() {
    static OutlineFont font;
    return font;
}

namespace {

const int font_list_count = 256;
// Codes 0 to 254; the list and metrics of 255 stay empty.
const DWORD glyph_count = 255;
const FLOAT letter_depth = 0.2f;

}  // namespace

BOOL build_outline_font(HDC device_context) {
    OutlineFont& outline = outline_font();
    outline.list_base = glGenLists(font_list_count);
    // -12: matched against the character height, not the cell height.
    HFONT font = CreateFontA(-12, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial");
    SelectObject(device_context, font);
    return wglUseFontOutlinesA(device_context, 0, glyph_count, outline.list_base, 0.0f, letter_depth, WGL_FONT_POLYGONS,
                               outline.glyph_metrics);
}

void print_centred(const char* format, ...) {
    if (!format) return;
    // Bounded: a text longer than the buffer is cut, never written past it.
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    if (vsnprintf(text, sizeof text, format, arguments) < 0) text[0] = '\0';
    va_end(arguments);

    const OutlineFont& outline = outline_font();
    const size_t length = strlen(text);
    float width = 0.0f;
    for (size_t i = 0; i < length; ++i) width += outline.glyph_metrics[static_cast<unsigned char>(text[i])].gmfCellIncX;
    glTranslatef(-width / 2, 0.0f, 0.0f);

    glPushAttrib(GL_LIST_BIT);
    glListBase(outline.list_base);
    glCallLists(static_cast<GLsizei>(length), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}
