// Private to the layer's gdi part: font objects and their faces, shared by
// the font calls (CreateFontA, SelectObject, ...) and the outline builder.
//   gdi_font       - the record of a font handle made by CreateFontA
//   gdi_font_face  - the FreeType face that fontconfig matched to it
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <windows.h>

struct FontFace {
    FT_Face face;      // null when no outline face could be had
    bool embolden;     // fontconfig asks for synthetic bold (no bold face)
    bool transformed;  // fontconfig asks for a matrix (synthetic oblique)
    FT_Matrix matrix;
};

struct FontObject {
    LOGFONTA request;
    bool looked_up;  // the face is found on first use, as Windows realises a font
    FontFace face;
};

// The record of a live font object; null for any other handle.
FontObject* gdi_font(HGDIOBJ handle);
// The font's outline face, looked up the first time; null face when
// nothing installed can stand for the request.
const FontFace* gdi_font_face(FontObject* font);
