// Dialog template reader: the plain DLGTEMPLATE and its DLGITEMTEMPLATEs.
//   Others may use: parse_dialog_template (dlg_template.h).
#include "user/dlg_template.h"

#include <string.h>

#include "kernel/layer_kernel.h"

namespace {

struct Reader {
    const unsigned char* data;
    size_t size;
    size_t at;
    bool ok;

    WORD word() {
        if (at + 2 > size) {
            ok = false;
            return 0;
        }
        WORD value = static_cast<WORD>(data[at] | data[at + 1] << 8);
        at += 2;
        return value;
    }
    DWORD dword() {
        DWORD low = word();
        return low | static_cast<DWORD>(word()) << 16;
    }
    // Items start on a DWORD boundary of the template.
    void align() { at = (at + 3) & ~static_cast<size_t>(3); }

    // A NUL-terminated UTF-16 string, as UTF-8.
    std::string text() {
        std::string out;
        for (;;) {
            unsigned code = word();
            if (!ok || code == 0) return out;
            if (code >= 0xD800 && code < 0xDC00) {
                unsigned low = word();
                if (!ok || low == 0) return out;
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            }
            if (code < 0x80) {
                out += static_cast<char>(code);
            } else if (code < 0x800) {
                out += static_cast<char>(0xC0 | code >> 6);
                out += static_cast<char>(0x80 | (code & 0x3F));
            } else if (code < 0x10000) {
                out += static_cast<char>(0xE0 | code >> 12);
                out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
                out += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | code >> 18);
                out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
                out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
                out += static_cast<char>(0x80 | (code & 0x3F));
            }
        }
    }

    // A string or an ordinal (0xFFFF followed by the number); 0x0000 alone is
    // neither. Returns the ordinal, or -1 for a string (put into *out).
    int text_or_ordinal(std::string* out) {
        out->clear();
        if (at + 2 <= size && data[at] == 0xFF && data[at + 1] == 0xFF) {
            word();
            return word();
        }
        *out = text();
        return -1;
    }
};

// The predefined control classes a template may name by ordinal.
const char* predefined_class(int ordinal) {
    switch (ordinal) {
    case 0x80: return "Button";
    case 0x81: return "Edit";
    case 0x82: return "Static";
    case 0x83: return "ListBox";
    case 0x84: return "ScrollBar";
    case 0x85: return "ComboBox";
    default: return nullptr;
    }
}

}  // namespace

bool parse_dialog_template(const void* data, size_t size, DialogTemplate* out) {
    Reader in = {static_cast<const unsigned char*>(data), size, 0, true};
    *out = DialogTemplate();
    if (size >= 4 && in.data[2] == 0xFF && in.data[3] == 0xFF) {
        layer_fixme_once("DialogBoxParamA: extended dialog templates (DLGTEMPLATEEX) are not implemented");
        return false;
    }
    out->style = in.dword();
    out->ex_style = in.dword();
    int count = in.word();
    out->x = static_cast<short>(in.word());
    out->y = static_cast<short>(in.word());
    out->cx = static_cast<short>(in.word());
    out->cy = static_cast<short>(in.word());
    std::string menu;
    out->has_menu = in.text_or_ordinal(&menu) >= 0 || !menu.empty();
    int class_ordinal = in.text_or_ordinal(&out->class_name);
    if (class_ordinal >= 0) layer_fixme_once("DialogBoxParamA: dialog classes given by ordinal are not implemented");
    out->caption = in.text();
    if (out->style & DS_SETFONT) {
        out->point_size = in.word();
        out->font = in.text();
    }
    for (int i = 0; i < count && in.ok; ++i) {
        in.align();
        DialogItemTemplate item;
        item.style = in.dword();
        item.ex_style = in.dword();
        item.x = static_cast<short>(in.word());
        item.y = static_cast<short>(in.word());
        item.cx = static_cast<short>(in.word());
        item.cy = static_cast<short>(in.word());
        item.id = in.word();
        int ordinal = in.text_or_ordinal(&item.class_name);
        if (ordinal >= 0) {
            const char* name = predefined_class(ordinal);
            item.class_name = name ? name : "";
        }
        if (in.text_or_ordinal(&item.title) >= 0) item.title.clear();  // an icon or bitmap resource id
        WORD extra = in.word();
        in.at += extra;  // creation data, passed to WM_CREATE on Windows; no control here reads it
        if (in.at > size) in.ok = false;
        out->items.push_back(item);
    }
    return in.ok;
}
