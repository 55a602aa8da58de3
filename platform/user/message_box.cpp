// MessageBoxA: the Win32 rules of a message box (its buttons, keys, close
// box, result codes and modal loop) over a window of the core, which the
// display driver lays out and draws. The test seam's answers and its record
// of the boxes asked for live here too.
//   Others may use: MessageBoxA; layer_push_message_box_answer,
//   layer_message_box_count, layer_message_box_shown (layer_test.h);
//   user_message_box_reset, for the seam's layer_reset.
#include "user/user_internal.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>

#include <layer_test.h>

#include "kernel/layer_kernel.h"
#include "layer_driver.h"

namespace {

struct ShownRecord {
    std::string text;
    std::string caption;
    UINT type;
    HWND owner;
};

std::deque<int> answers;
// Each record stays put until the reset, so the seam can hand out its strings.
std::vector<std::unique_ptr<ShownRecord>> shown;

struct ButtonSet {
    int count;
    int ids[3];
    const char* labels[3];
    int escape_id;  // what Escape and the close box give; 0: they do nothing
};

// The button sets of MB_OK to MB_CANCELTRYCONTINUE. Windows has no Cancel
// for Yes/No and Abort/Retry/Ignore, so there Escape and the close box do
// nothing, while a lone OK takes Escape as OK.
const ButtonSet button_sets[] = {
    {1, {IDOK}, {"OK"}, IDOK},
    {2, {IDOK, IDCANCEL}, {"OK", "Cancel"}, IDCANCEL},
    {3, {IDABORT, IDRETRY, IDIGNORE}, {"&Abort", "&Retry", "&Ignore"}, 0},
    {3, {IDYES, IDNO, IDCANCEL}, {"&Yes", "&No", "Cancel"}, IDCANCEL},
    {2, {IDYES, IDNO}, {"&Yes", "&No"}, 0},
    {2, {IDRETRY, IDCANCEL}, {"&Retry", "Cancel"}, IDCANCEL},
    {3, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, {"Cancel", "&Try Again", "&Continue"}, IDCANCEL},
};

const char box_class[] = "#32770";  // the class Windows gives dialogs

struct BoxState {
    const ButtonSet* set;
    LayerMessageBox look;
    const LayerMessageBoxDriver* driver;
    int result;       // 0 until a button is chosen
    bool shift;       // for Shift+Tab
    bool close_held;  // the box's own close button is held down
};

// The open boxes by window (boxes can nest: a timer behind one may show another).
std::map<HWND, BoxState*> open_boxes;

BoxState* state_of(HWND window) {
    auto it = open_boxes.find(window);
    return it == open_boxes.end() ? nullptr : it->second;
}

int default_index(const ButtonSet* set, UINT type) {
    int index = static_cast<int>((type & MB_DEFMASK) >> 8);
    return index < set->count ? index : 0;  // as Windows: a default past the last button is the first
}

LayerBoxIcon icon_of(UINT type) {
    switch (type & MB_ICONMASK) {
    case 0: return LAYER_ICON_NONE;
    case MB_ICONHAND: return LAYER_ICON_ERROR;
    case MB_ICONQUESTION: return LAYER_ICON_QUESTION;
    case MB_ICONEXCLAMATION: return LAYER_ICON_WARNING;
    case MB_ICONASTERISK: return LAYER_ICON_INFORMATION;
    default:
        layer_fixme_once("MessageBoxA: icon kind 0x%02x is not implemented (no icon shown)",
                         static_cast<unsigned>(type & MB_ICONMASK));
        return LAYER_ICON_NONE;
    }
}

void repaint(HWND window, BoxState* box) {
    box->driver->paint(window, &box->look);
    layer_core_validate(window);
}

void choose(BoxState* box, int index) {
    box->result = box->set->ids[index];
}

void escape(BoxState* box) {
    if (box->set->escape_id) box->result = box->set->escape_id;
}

void move_focus(HWND window, BoxState* box, int step) {
    int count = box->set->count;
    box->look.focused = (box->look.focused + step + count) % count;
    box->look.pressed = -1;
    repaint(window, box);
}

// The letter after "&" in a label presses that button, with or without Alt.
bool press_mnemonic(BoxState* box, WPARAM key) {
    for (int i = 0; i < box->set->count; ++i) {
        const char* amp = strchr(box->set->labels[i], '&');
        if (amp && amp[1] && static_cast<WPARAM>(amp[1] & ~0x20) == key) {
            choose(box, i);
            return true;
        }
    }
    return false;
}

bool inside(const RECT& r, LPARAM where) {
    int x = static_cast<short>(LOWORD(where)), y = static_cast<short>(HIWORD(where));
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

int button_at(const BoxState* box, LPARAM where) {
    for (int i = 0; i < box->set->count; ++i)
        if (inside(box->look.buttons[i], where)) return i;
    return -1;
}

LRESULT CALLBACK box_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    BoxState* box = state_of(window);
    if (!box) return DefWindowProcA(window, message, wparam, lparam);
    switch (message) {
    case WM_PAINT: repaint(window, box); return 0;
    case WM_KEYDOWN:
        switch (wparam) {
        case VK_SHIFT: box->shift = true; break;
        case VK_TAB: move_focus(window, box, box->shift ? -1 : 1); break;
        case VK_LEFT:
        case VK_UP: move_focus(window, box, -1); break;
        case VK_RIGHT:
        case VK_DOWN: move_focus(window, box, 1); break;
        case VK_RETURN: choose(box, box->look.focused); break;
        case VK_ESCAPE: escape(box); break;
        case VK_SPACE:
            // A push button goes down with Space and is pressed when it comes up.
            box->look.pressed = box->look.focused;
            repaint(window, box);
            break;
        default: press_mnemonic(box, wparam); break;
        }
        return 0;
    case WM_KEYUP:
        if (wparam == VK_SHIFT) box->shift = false;
        if (wparam == VK_SPACE && box->look.pressed == box->look.focused) choose(box, box->look.focused);
        return 0;
    case WM_SYSKEYDOWN:
        if (wparam == VK_SHIFT) box->shift = true;
        if (wparam == VK_F4 && (lparam & (1 << 29)))
            escape(box);  // Alt+F4 is the close box
        else
            press_mnemonic(box, wparam);
        return 0;
    case WM_SYSKEYUP:
        if (wparam == VK_SHIFT) box->shift = false;
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        int hit = button_at(box, lparam);
        if (hit >= 0) {
            box->look.focused = box->look.pressed = hit;
            repaint(window, box);
        } else if (box->set->escape_id && inside(box->look.close_button, lparam)) {
            box->close_held = true;
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        int held = box->look.pressed;
        if (held >= 0) {
            box->look.pressed = -1;
            repaint(window, box);
            if (button_at(box, lparam) == held) choose(box, held);
        } else if (box->close_held && inside(box->look.close_button, lparam)) {
            escape(box);
        }
        box->close_held = false;
        return 0;
    }
    case WM_CLOSE:
        // The window manager's close button: the same as Escape, never a plain destroy.
        escape(box);
        return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

int run_box(const LayerMessageBoxDriver* driver, HWND owner, LPCSTR text, LPCSTR caption, UINT type,
            const ButtonSet* set) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = box_proc;
    wc.lpszClassName = box_class;
    if (!user_find_class(box_class)) RegisterClassA(&wc);

    BoxState box = {};
    box.set = set;
    box.driver = driver;
    box.look.text = text;
    box.look.caption = caption;
    box.look.icon = icon_of(type);
    box.look.button_count = set->count;
    for (int i = 0; i < set->count; ++i) box.look.labels[i] = set->labels[i];
    box.look.focused = default_index(set, type);
    box.look.pressed = -1;
    driver->layout(&box.look);

    // Centred on the screen, as Windows places a message box.
    int screen_width = GetSystemMetrics(SM_CXSCREEN), screen_height = GetSystemMetrics(SM_CYSCREEN);
    int x = (screen_width - box.look.width) / 2, y = (screen_height - box.look.height) / 2;
    HWND previous = GetActiveWindow();
    HWND window = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, box_class, caption,
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU, x < 0 ? 0 : x, y < 0 ? 0 : y, box.look.width,
                                  box.look.height, owner, nullptr, nullptr, nullptr);
    if (!window) return 0;
    open_boxes[window] = &box;
    driver->prepare(window, owner, set->escape_id != 0);
    ShowWindow(window, SW_SHOW);

    const bool quit = user_modal_loop(
        window, [&] { return box.result != 0; }, driver->hold_input, nullptr);
    open_boxes.erase(window);
    int result = box.result;
    if (IsWindow(window)) {
        driver->release(window);
        DestroyWindow(window);
    }
    // A quit request ended the box. Win32 quirk: the result is then IDOK,
    // whatever the buttons.
    if (quit) result = IDOK;
    if (previous && previous != GetActiveWindow() && IsWindowVisible(previous)) SetForegroundWindow(previous);
    return result;
}

}  // namespace

void user_message_box_reset() {
    answers.clear();
    shown.clear();
}

void layer_push_message_box_answer(int id) {
    answers.push_back(id);
}

int layer_message_box_count() {
    return static_cast<int>(shown.size());
}

bool layer_message_box_shown(int index, LayerMessageBoxShown* out) {
    if (index < 0 || index >= static_cast<int>(shown.size())) return false;
    const ShownRecord& record = *shown[index];
    *out = {record.text.c_str(), record.caption.c_str(), record.type, record.owner};
    return true;
}

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (!text) text = "";
    if (!caption) caption = "Error";  // Windows' caption for a box without one
    UINT buttons = type & MB_TYPEMASK;
    if (buttons >= sizeof button_sets / sizeof button_sets[0]) {
        SetLastError(ERROR_INVALID_MSGBOX_STYLE);
        return 0;
    }
    if (owner && !IsWindow(owner) && !user_is_foreign(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    shown.push_back(std::unique_ptr<ShownRecord>(new ShownRecord{text, caption, type, owner}));
    if (!answers.empty()) {
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    const UINT known = MB_TYPEMASK | MB_ICONMASK | MB_DEFMASK | MB_MODEMASK | MB_SETFOREGROUND | MB_TOPMOST;
    if (type & ~known) layer_fixme_once("MessageBoxA: style bits 0x%x are not implemented", type & ~known);

    const ButtonSet* set = &button_sets[buttons];
    const LayerMessageBoxDriver* driver = layer_hosted_window() ? nullptr : layer_driver()->message_box;
    if (!driver) {
        // Nobody could answer: the daemon that hosts the run holds the
        // keyboard and the mouse and its window covers the screen, or the
        // display has no boxes (the full-screen surfaces of a Wayland run
        // hold the keyboard, and nothing shows over them). The box is one
        // line on stderr, and its default button answers.
        std::string line = text;
        std::replace(line.begin(), line.end(), '\n', ' ');
        fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, caption, line.c_str());
        return set->ids[default_index(set, type)];
    }
    return run_box(driver, owner, text, caption, type, set);
}
