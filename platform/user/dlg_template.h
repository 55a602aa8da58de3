// Reading a dialog template (the plain DLGTEMPLATE form, as a resource
// compiler writes it) into records. Nothing here makes windows: the dialog
// manager (dialog.cpp) creates the dialog and its controls from the records.
//   Others may use: DialogTemplate, DialogItemTemplate, parse_dialog_template.
#pragma once

#include <windows.h>

#include <stddef.h>

#include <string>
#include <vector>

struct DialogItemTemplate {
    DWORD style, ex_style;
    short x, y, cx, cy;  // dialog units
    WORD id;
    std::string class_name;  // predefined classes given by ordinal become their names ("Button", "Static"...)
    std::string title;       // UTF-8; empty when the title is an ordinal
};

struct DialogTemplate {
    DWORD style, ex_style;
    short x, y, cx, cy;  // dialog units
    bool has_menu;
    std::string class_name;  // empty: the standard dialog class
    std::string caption;     // UTF-8
    WORD point_size;         // 0 without DS_SETFONT
    std::string font;
    std::vector<DialogItemTemplate> items;
};

// False when the data is not a whole plain template (too short, cut off
// inside a string, or the extended DLGTEMPLATEEX form, which is not read).
bool parse_dialog_template(const void* data, size_t size, DialogTemplate* out);
