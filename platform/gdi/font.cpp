// Font objects: CreateFontA, SelectObject, DeleteObject and GetObjectA for
// fonts. A font records the request; fontconfig finds the installed face
// that stands for it (so "Arial" bold italic is the metric-compatible
// Liberation Sans Bold Italic) and FreeType opens it, on first use. Only
// fonts are selectable on the layer.
#include "gdi/font_internal.h"

#include <string.h>

#include <fontconfig/fontconfig.h>

#include <map>

#include "gdi/gdi_internal.h"
#include "kernel/layer_kernel.h"

namespace {

std::map<HGDIOBJ, FontObject> fonts;
// Handles are never reused in a run, so a deleted font stays invalid.
const uintptr_t first_font = 0x40000;
uintptr_t next_font = first_font;

FT_Library freetype() {
    static FT_Library library = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (FT_Init_FreeType(&library)) library = nullptr;
    }
    return library;
}

HGDIOBJ system_font() {
    return GetStockObject(SYSTEM_FONT);
}

// The request as fontconfig reads it: family, weight and slant; the height
// plays no part because outlines are taken at the em size.
FcPattern* request_pattern(const LOGFONTA& request) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return nullptr;
    if (request.lfFaceName[0])
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.lfFaceName));
    int weight = request.lfWeight > 0 ? request.lfWeight : FW_NORMAL;
    if (weight > 1000) weight = 1000;
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, request.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

FontFace look_up_face(const LOGFONTA& request) {
    FontFace found{};
    if (request.lfEscapement || request.lfOrientation)
        layer_fixme_once("CreateFontA: escapement and orientation are not implemented; glyphs stay upright");
    if (request.lfWidth) layer_fixme_once("CreateFontA: a width is not implemented; glyphs keep the face's aspect");
    if (request.lfCharSet != ANSI_CHARSET && request.lfCharSet != DEFAULT_CHARSET)
        layer_fixme_once("CreateFontA: character set %d is not implemented; codes are read as Windows-1252",
                         request.lfCharSet);
    FT_Library library = freetype();
    FcPattern* pattern = request_pattern(request);
    if (!library || !pattern) {
        if (pattern) FcPatternDestroy(pattern);
        return found;
    }
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return found;

    FcChar8* file = nullptr;
    int index = 0;
    FcBool outline = FcFalse;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
        FcPatternGetBool(match, FC_OUTLINE, 0, &outline) == FcResultMatch && outline) {
        FT_Face face = nullptr;
        if (!FT_New_Face(library, reinterpret_cast<const char*>(file), index, &face)) {
            if (FT_IS_SCALABLE(face)) {
                found.face = face;
                FcBool embolden = FcFalse;
                FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
                found.embolden = embolden;
                FcMatrix* matrix = nullptr;
                if (FcPatternGetMatrix(match, FC_MATRIX, 0, &matrix) == FcResultMatch &&
                    (matrix->xx != 1 || matrix->xy != 0 || matrix->yx != 0 || matrix->yy != 1)) {
                    found.transformed = true;
                    found.matrix.xx = static_cast<FT_Fixed>(matrix->xx * 65536);
                    found.matrix.xy = static_cast<FT_Fixed>(matrix->xy * 65536);
                    found.matrix.yx = static_cast<FT_Fixed>(matrix->yx * 65536);
                    found.matrix.yy = static_cast<FT_Fixed>(matrix->yy * 65536);
                }
            } else {
                FT_Done_Face(face);
            }
        }
    }
    FcPatternDestroy(match);
    return found;
}

HFONT create_font(const LOGFONTA& request) {
    next_font += 4;
    HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(next_font);
    FontObject& font = fonts[handle];
    font = FontObject{};
    font.request = request;
    font.request.lfFaceName[LF_FACESIZE - 1] = '\0';
    return static_cast<HFONT>(handle);
}

}  // namespace

FontObject* gdi_font(HGDIOBJ handle) {
    auto it = fonts.find(handle);
    return it == fonts.end() ? nullptr : &it->second;
}

const FontFace* gdi_font_face(FontObject* font) {
    if (!font->looked_up) {
        font->looked_up = true;
        font->face = look_up_face(font->request);
    }
    return &font->face;
}

extern "C" {

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strike_out, DWORD char_set, DWORD out_precision, DWORD clip_precision,
                         DWORD quality, DWORD pitch_and_family, LPCSTR face_name) {
    LOGFONTA request{};
    request.lfHeight = height;
    request.lfWidth = width;
    request.lfEscapement = escapement;
    request.lfOrientation = orientation;
    request.lfWeight = weight;
    request.lfItalic = static_cast<BYTE>(italic);
    request.lfUnderline = static_cast<BYTE>(underline);
    request.lfStrikeOut = static_cast<BYTE>(strike_out);
    request.lfCharSet = static_cast<BYTE>(char_set);
    request.lfOutPrecision = static_cast<BYTE>(out_precision);
    request.lfClipPrecision = static_cast<BYTE>(clip_precision);
    request.lfQuality = static_cast<BYTE>(quality);
    request.lfPitchAndFamily = static_cast<BYTE>(pitch_and_family);
    // As on Windows, a longer face name is cut to fit the record.
    if (face_name) strncpy(request.lfFaceName, face_name, LF_FACESIZE - 1);
    return create_font(request);
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    DeviceContext* record = gdi_dc(dc);
    if (!record || !object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!gdi_font(object) && object != system_font()) {
        layer_fixme_once("SelectObject: only fonts are implemented");
        return nullptr;
    }
    // A fresh DC holds the stock system font, as on Windows.
    HGDIOBJ previous = record->font ? record->font : system_font();
    record->font = object;
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    auto it = fonts.find(object);
    if (it == fonts.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (it->second.face.face) FT_Done_Face(it->second.face.face);
    fonts.erase(it);
    return TRUE;
}

int WINAPI GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
    FontObject* font = gdi_font(object);
    if (!font) {
        uintptr_t value = reinterpret_cast<uintptr_t>(object);
        bool deleted_font = value > first_font && value <= next_font;
        if (object && !deleted_font) layer_fixme_once("GetObjectA: only fonts are implemented");
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!buffer) return sizeof(LOGFONTA);
    if (size <= 0) return 0;
    int copied = size < static_cast<int>(sizeof(LOGFONTA)) ? size : static_cast<int>(sizeof(LOGFONTA));
    memcpy(buffer, &font->request, copied);
    return copied;
}

}  // extern "C"
