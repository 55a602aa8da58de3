// The dialog manager: DialogBoxParamA makes a modal dialog from a template
// resource (dlg_template.cpp reads it), with the built-in "Button" and
// "Static" controls, the keyboard interface of a dialog (Tab, arrows within
// a group, Space, Enter for the default button, Escape and the close box for
// IDCANCEL) and the calls a dialog procedure uses. Drawing is the display
// driver's (LayerDialogDriver); on the null driver nothing is drawn and the
// dialog's font measures as Windows measures "MS Sans Serif" 8 at 96 DPI.
//   Others may use: DialogBoxParamA, EndDialog, GetDlgItem, GetDlgCtrlID,
//   CheckRadioButton, IsDlgButtonChecked; layer_set_dialog_step
//   (layer_test.h).
#include "user/user_internal.h"

#include <strings.h>

#include <map>

#include <layer_test.h>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"
#include "user/dlg_template.h"

namespace {

// Windows names its dialog class "#32770"; the message box already holds
// that name in the layer with a procedure of its own, so dialogs made from
// templates get a class of their own.
const char dialog_class[] = "#32770 template";

struct Dialog {
    DLGPROC proc;
    std::vector<HWND> controls;  // template order, which is also tab and group order
    const LayerDialogDriver* driver;
    bool ended;
    INT_PTR result;
    bool shift;  // for Shift+Tab
};

std::map<HWND, Dialog*> dialogs;
std::map<HWND, LayerDialogControl> controls;

void (*pending_step)(HWND, void*);
void* pending_step_context;

Dialog* dialog_of(HWND window) {
    auto it = dialogs.find(window);
    return it == dialogs.end() ? nullptr : it->second;
}

LayerDialogControl* control_of(HWND window) {
    auto it = controls.find(window);
    return it == controls.end() ? nullptr : &it->second;
}

Dialog* dialog_of_control(HWND window) {
    LayerDialogControl* control = control_of(window);
    return control ? dialog_of(control->dialog) : nullptr;
}

void repaint_control(HWND window) {
    LayerDialogControl* control = control_of(window);
    Dialog* dialog = dialog_of_control(window);
    if (!control || !dialog || !dialog->driver) return;
    control->focused = GetFocus() == window;
    dialog->driver->paint_control(window, control);
    layer_core_validate(window);
}

bool can_take_focus(const LayerDialogControl* control, HWND window) {
    if (control->kind == LAYER_CONTROL_STATIC || control->kind == LAYER_CONTROL_GROUP_BOX) return false;
    DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

// A group runs from a WS_GROUP control to the control before the next one.
void group_bounds(const Dialog* dialog, size_t index, size_t* first, size_t* end) {
    *first = index;
    while (*first > 0 && !(controls[dialog->controls[*first]].style & WS_GROUP)) --*first;
    *end = index + 1;
    while (*end < dialog->controls.size() && !(controls[dialog->controls[*end]].style & WS_GROUP)) ++*end;
}

size_t index_in(const Dialog* dialog, HWND window) {
    for (size_t i = 0; i < dialog->controls.size(); ++i)
        if (dialog->controls[i] == window) return i;
    return dialog->controls.size();
}

void set_check(HWND window, bool checked) {
    LayerDialogControl* control = control_of(window);
    if (!control || control->kind != LAYER_CONTROL_RADIO || control->checked == checked) return;
    control->checked = checked;
    repaint_control(window);
}

// A click: an auto radio button checks itself and clears every other auto
// radio button of its group, then the dialog hears BN_CLICKED.
void click(HWND window) {
    LayerDialogControl* control = control_of(window);
    if (!control || control->kind == LAYER_CONTROL_GROUP_BOX || control->kind == LAYER_CONTROL_STATIC) return;
    if (control->kind == LAYER_CONTROL_RADIO) {
        set_check(window, true);
        if (Dialog* dialog = dialog_of(control->dialog)) {
            size_t first, end;
            group_bounds(dialog, index_in(dialog, window), &first, &end);
            for (size_t i = first; i < end; ++i)
                if (dialog->controls[i] != window) set_check(dialog->controls[i], false);
        }
    }
    SendMessageA(control->dialog, WM_COMMAND, MAKEWPARAM(control->id, BN_CLICKED), reinterpret_cast<LPARAM>(window));
}

bool inside(HWND window, LPARAM where) {
    RECT client;
    GetClientRect(window, &client);
    int x = static_cast<short>(LOWORD(where)), y = static_cast<short>(HIWORD(where));
    return x >= client.left && x < client.right && y >= client.top && y < client.bottom;
}

void set_pressed(HWND window, LayerDialogControl* control, bool pressed) {
    if (control->pressed == pressed) return;
    control->pressed = pressed;
    repaint_control(window);
}

LRESULT CALLBACK control_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    LayerDialogControl* control = control_of(window);
    if (!control) return DefWindowProcA(window, message, wparam, lparam);
    switch (message) {
    case BM_GETCHECK: return control->checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK: set_check(window, wparam == BST_CHECKED); return 0;
    case BM_CLICK: click(window); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (control->kind == LAYER_CONTROL_PUSH_BUTTON || control->kind == LAYER_CONTROL_RADIO) {
            SetFocus(window);
            set_pressed(window, control, true);
        }
        return 0;
    case WM_LBUTTONUP:
        if (control->pressed) {
            set_pressed(window, control, false);
            if (inside(window, lparam)) click(window);
        }
        return 0;
    case WM_KEYDOWN:
        // A button goes down with Space and is clicked when it comes up.
        if (wparam == VK_SPACE) set_pressed(window, control, true);
        return 0;
    case WM_KEYUP:
        if (wparam == VK_SPACE && control->pressed) {
            set_pressed(window, control, false);
            click(window);
        }
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (message == WM_KILLFOCUS) control->pressed = false;
        repaint_control(window);
        return 0;
    case WM_PAINT: repaint_control(window); return 0;
    case WM_DESTROY: controls.erase(window); return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

LRESULT CALLBACK dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Dialog* dialog = dialog_of(window);
    if (!dialog) return DefWindowProcA(window, message, wparam, lparam);
    if (dialog->proc && dialog->proc(window, message, wparam, lparam)) return TRUE;
    switch (message) {
    case WM_CLOSE:
        // The close box is Cancel, never a plain destroy.
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, IDCANCEL)));
        return 0;
    case WM_PAINT:
        if (dialog->driver) dialog->driver->paint_dialog(window);
        layer_core_validate(window);
        return 0;
    case WM_COMMAND: return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

void register_classes() {
    struct ClassEntry {
        const char* name;
        WNDPROC proc;
    };
    const ClassEntry entries[] = {{dialog_class, dialog_proc}, {"Button", control_proc}, {"Static", control_proc}};
    for (const ClassEntry& entry : entries) {
        if (user_find_class(entry.name)) continue;
        WNDCLASSA wc = {};
        wc.lpfnWndProc = entry.proc;
        wc.lpszClassName = entry.name;
        RegisterClassA(&wc);
    }
}

LayerControlKind kind_of(const DialogItemTemplate& item) {
    // Class names match without regard to case; resource compilers write "STATIC".
    if (strcasecmp(item.class_name.c_str(), "Static") == 0) {
        DWORD type = item.style & 0x1F;
        if (type > SS_CENTER + 1)
            layer_fixme_once("DialogBoxParamA: static control type 0x%lx is not implemented (drawn as text)",
                             static_cast<unsigned long>(type));
        return LAYER_CONTROL_STATIC;
    }
    if (strcasecmp(item.class_name.c_str(), "Button") != 0)
        layer_fixme_once("DialogBoxParamA: control class \"%s\" is not implemented (made a button)",
                         item.class_name.c_str());
    switch (item.style & BS_TYPEMASK) {
    case BS_PUSHBUTTON: return LAYER_CONTROL_PUSH_BUTTON;
    case BS_DEFPUSHBUTTON: return LAYER_CONTROL_PUSH_BUTTON;
    case BS_AUTORADIOBUTTON: return LAYER_CONTROL_RADIO;
    case BS_GROUPBOX: return LAYER_CONTROL_GROUP_BOX;
    default:
        layer_fixme_once("DialogBoxParamA: button style 0x%lx is not implemented (made a push button)",
                         static_cast<unsigned long>(item.style & BS_TYPEMASK));
        return LAYER_CONTROL_PUSH_BUTTON;
    }
}

// The dialog template resource, read; false when there is none or it is
// no template.
bool load_template(HINSTANCE instance, LPCSTR template_name, DialogTemplate* tmpl) {
    HRSRC resource = FindResourceA(instance, template_name, RT_DIALOG);
    const void* data = resource ? LockResource(LoadResource(instance, resource)) : nullptr;
    if (!data || !parse_dialog_template(data, SizeofResource(instance, resource), tmpl)) return false;
    if (!tmpl->class_name.empty())
        layer_fixme_once("DialogBoxParamA: dialog class \"%s\" is not implemented (the standard class is used)",
                         tmpl->class_name.c_str());
    if (tmpl->has_menu) layer_fixme_once("DialogBoxParamA: dialog menus are not implemented");
    return true;
}

// Dialog units: a quarter of the font's average character width across, an
// eighth of its height down, as Windows converts them (MulDiv rounding).
int to_pixels(int units, int base, int divisor) {
    long long product = static_cast<long long>(units) * base;
    return static_cast<int>((product + (product >= 0 ? divisor / 2 : -divisor / 2)) / divisor);
}

struct DialogUnits {
    int base_x, base_y;
    int x(int units) const { return to_pixels(units, base_x, 4); }
    int y(int units) const { return to_pixels(units, base_y, 8); }
};

// The dialog font's base units; without a driver to measure it, those of
// "MS Sans Serif" 8 at 96 DPI.
DialogUnits measure_units(const LayerDialogDriver* driver, const LayerDialogFont* font) {
    DialogUnits units = {6, 13};
    if (driver) driver->measure_font(font, &units.base_x, &units.base_y);
    return units;
}

// The dialog's window, hidden, placed by the template relative to its owner;
// null when it can't be made.
HWND create_dialog_window(HINSTANCE instance, const DialogTemplate& tmpl, HWND owner, const DialogUnits& units) {
    int x = units.x(tmpl.x), y = units.y(tmpl.y);
    RECT owner_rect;
    if (owner && GetWindowRect(owner, &owner_rect)) {
        x += owner_rect.left;
        y += owner_rect.top;
    }
    DWORD style = (tmpl.style & ~(WS_VISIBLE | DS_SETFONT | DS_MODALFRAME)) | WS_POPUP;
    return CreateWindowExA(tmpl.ex_style | WS_EX_DLGMODALFRAME, dialog_class, tmpl.caption.c_str(), style, x, y,
                           units.x(tmpl.cx), units.y(tmpl.cy), owner, nullptr, instance, nullptr);
}

// The template's controls, made in its order; a control that can't be made
// is left out.
void create_controls(HINSTANCE instance, const DialogTemplate& tmpl, HWND window, const DialogUnits& units,
                     Dialog* dialog) {
    for (const DialogItemTemplate& item : tmpl.items) {
        LayerControlKind kind = kind_of(item);
        HWND control =
            CreateWindowExA(item.ex_style, kind == LAYER_CONTROL_STATIC ? "Static" : "Button", item.title.c_str(),
                            item.style | WS_CHILD, units.x(item.x), units.y(item.y), units.x(item.cx), units.y(item.cy),
                            window, reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(item.id)), instance, nullptr);
        if (!control) continue;
        LayerDialogControl record = {};
        record.dialog = window;
        record.id = item.id;
        record.kind = kind;
        record.style = item.style;
        record.is_default = kind == LAYER_CONTROL_PUSH_BUTTON && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        record.text = item.title;
        controls[control] = record;
        dialog->controls.push_back(control);
    }
}

HWND next_tab_stop(Dialog* dialog, HWND from, bool backwards) {
    size_t count = dialog->controls.size();
    if (!count) return nullptr;
    size_t at = index_in(dialog, from);
    if (at == count) at = backwards ? 0 : count - 1;
    for (size_t step = 1; step <= count; ++step) {
        size_t i = backwards ? (at + count - step) % count : (at + step) % count;
        HWND window = dialog->controls[i];
        const LayerDialogControl& control = controls[window];
        if ((control.style & WS_TABSTOP) && can_take_focus(&control, window)) return window;
    }
    return nullptr;
}

HWND next_in_group(Dialog* dialog, HWND from, bool backwards) {
    size_t at = index_in(dialog, from);
    if (at == dialog->controls.size()) return nullptr;
    size_t first, end;
    group_bounds(dialog, at, &first, &end);
    size_t count = end - first;
    for (size_t step = 1; step < count; ++step) {
        size_t offset = at - first;
        size_t i = first + (backwards ? (offset + count - step) % count : (offset + step) % count);
        HWND window = dialog->controls[i];
        // Win32 quirk: arrows stop on every visible, enabled control of the
        // group, group boxes and static text too (the focus then shows nowhere).
        DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
        if ((style & WS_VISIBLE) && !(style & WS_DISABLED)) return window;
    }
    return nullptr;
}

void command(HWND dialog_window, int id) {
    SendMessageA(dialog_window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog_window, id)));
}

// The keys a dialog takes for itself before its controls see them.
bool dialog_key(HWND window, Dialog* dialog, const MSG& msg) {
    if (msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP) {
        if (msg.wParam == VK_SHIFT) dialog->shift = false;
        return false;
    }
    if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4) {
        // Alt+F4 is the close box.
        SendMessageA(window, WM_CLOSE, 0, 0);
        return true;
    }
    if (msg.message != WM_KEYDOWN) return false;
    HWND focus = GetFocus();
    switch (msg.wParam) {
    case VK_SHIFT: dialog->shift = true; return false;
    case VK_TAB:
        if (HWND next = next_tab_stop(dialog, focus, dialog->shift)) SetFocus(next);
        return true;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
        HWND next = next_in_group(dialog, focus, msg.wParam == VK_LEFT || msg.wParam == VK_UP);
        if (!next) return true;
        SetFocus(next);
        // Moving onto an auto radio button chooses it.
        const LayerDialogControl& control = controls[next];
        if (control.kind == LAYER_CONTROL_RADIO && !control.checked) click(next);
        return true;
    }
    case VK_RETURN: {
        const LayerDialogControl* control = control_of(focus);
        if (control && control->kind == LAYER_CONTROL_PUSH_BUTTON) {
            command(window, control->id);
        } else {
            int default_id = IDOK;
            for (HWND item : dialog->controls)
                if (controls[item].is_default) default_id = controls[item].id;
            command(window, default_id);
        }
        return true;
    }
    case VK_ESCAPE: command(window, IDCANCEL); return true;
    default: return false;
    }
}

// WM_INITDIALOG, the first focus, the dialog shown where its template asks,
// and a test's step.
void start_dialog(HWND window, Dialog* dialog, DWORD template_style, LPARAM param) {
    // TRUE from WM_INITDIALOG asks for the focus on the first tab stop; FALSE
    // says the procedure has set it.
    HWND first = next_tab_stop(dialog, nullptr, false);
    if (dialog->proc && dialog->proc(window, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) && first)
        SetFocus(first);
    if (!dialog->ended && (template_style & WS_VISIBLE)) ShowWindow(window, SW_SHOW);

    if (pending_step) {
        void (*step)(HWND, void*) = pending_step;
        pending_step = nullptr;
        step(window, pending_step_context);
    }
}

// The modal loop until the dialog ends, then the dialog gone; its result.
INT_PTR run_dialog(HWND window, Dialog* dialog) {
    const bool quit = user_modal_loop(
        window, [&] { return dialog->ended; }, dialog->driver ? dialog->driver->hold_input : nullptr,
        [&](const MSG& msg) { return dialog_key(window, dialog, msg); });
    dialogs.erase(window);
    if (IsWindow(window)) {
        if (dialog->driver) dialog->driver->release(window);
        DestroyWindow(window);
    }
    // A quit request ended the dialog (and is posted again).
    return quit ? 0 : dialog->result;
}

}  // namespace

void layer_set_dialog_step(void (*step)(HWND dialog, void* context), void* context) {
    pending_step = step;
    pending_step_context = context;
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR template_name, HWND owner, DLGPROC proc, LPARAM param) {
    DialogTemplate tmpl;
    if (!load_template(instance, template_name, &tmpl)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    // Without a display the dialog can't be made, which the caller learns
    // as from any dialog that can't be created.
    if (!layer_open_driver()) return -1;
    register_classes();

    Dialog dialog = {};
    dialog.proc = proc;
    dialog.driver = layer_driver()->dialog;
    LayerDialogFont font = {tmpl.font.empty() ? "MS Shell Dlg" : tmpl.font.c_str(),
                            tmpl.point_size ? tmpl.point_size : 8};
    const DialogUnits units = measure_units(dialog.driver, &font);
    HWND window = create_dialog_window(instance, tmpl, owner, units);
    if (!window) return -1;
    dialogs[window] = &dialog;
    create_controls(instance, tmpl, window, units, &dialog);
    if (dialog.driver) dialog.driver->prepare(window, owner, &font);
    start_dialog(window, &dialog, tmpl.style, param);
    return run_dialog(window, &dialog);
}

BOOL WINAPI EndDialog(HWND window, INT_PTR result) {
    Dialog* dialog = dialog_of(window);
    if (!dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // The dialog goes when its procedure returns to the modal loop.
    dialog->ended = true;
    dialog->result = result;
    ShowWindow(window, SW_HIDE);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND window, int id) {
    Dialog* dialog = dialog_of(window);
    if (dialog)
        for (HWND control : dialog->controls)
            if (controls[control].id == static_cast<WORD>(id)) return control;
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND window) {
    LayerDialogControl* control = control_of(window);
    return control ? control->id : 0;
}

BOOL WINAPI CheckRadioButton(HWND window, int first_id, int last_id, int check_id) {
    for (int id = first_id; id <= last_id; ++id)
        if (HWND control = GetDlgItem(window, id))
            SendMessageA(control, BM_SETCHECK, id == check_id ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    return control ? static_cast<UINT>(SendMessageA(control, BM_GETCHECK, 0, 0)) : 0;
}
