// Key translation: X keysyms to Windows virtual-key codes, and X key codes
// to PC scan codes.
#include "x11/x11_private.h"

#include <X11/keysym.h>

namespace {

// Virtual keys that the layer's windows.h leaves out (Win32 values).
const UINT vk_clear = 0x0C;     // VK_CLEAR
const UINT vk_snapshot = 0x2C;  // VK_SNAPSHOT
const UINT vk_apps = 0x5D;      // VK_APPS
const UINT vk_oem_102 = 0xE2;   // VK_OEM_102
const UINT vk_none = 0xFF;      // what Windows reports for a key without a code

struct KeysymVk {
    KeySym keysym;
    UINT vk;
};

const KeysymVk keysym_table[] = {
    {XK_BackSpace, VK_BACK},
    {XK_Tab, VK_TAB},
    {XK_ISO_Left_Tab, VK_TAB},
    {XK_Return, VK_RETURN},
    {XK_KP_Enter, VK_RETURN},
    {XK_Escape, VK_ESCAPE},
    {XK_space, VK_SPACE},
    {XK_Pause, VK_PAUSE},
    {XK_Break, VK_PAUSE},
    {XK_Caps_Lock, VK_CAPITAL},
    {XK_Num_Lock, VK_NUMLOCK},
    {XK_Scroll_Lock, VK_SCROLL},
    {XK_Print, vk_snapshot},
    {XK_Sys_Req, vk_snapshot},
    {XK_Menu, vk_apps},
    {XK_Shift_L, VK_SHIFT},
    {XK_Shift_R, VK_SHIFT},
    {XK_Control_L, VK_CONTROL},
    {XK_Control_R, VK_CONTROL},
    {XK_Alt_L, VK_MENU},
    {XK_Alt_R, VK_MENU},
    {XK_Meta_L, VK_MENU},
    {XK_Meta_R, VK_MENU},
    {XK_ISO_Level3_Shift, VK_MENU},
    {XK_Super_L, VK_LWIN},
    {XK_Super_R, VK_RWIN},
    {XK_Prior, VK_PRIOR},
    {XK_Next, VK_NEXT},
    {XK_End, VK_END},
    {XK_Home, VK_HOME},
    {XK_Left, VK_LEFT},
    {XK_Up, VK_UP},
    {XK_Right, VK_RIGHT},
    {XK_Down, VK_DOWN},
    {XK_Insert, VK_INSERT},
    {XK_Delete, VK_DELETE},
    // The keypad with Num Lock off gives the navigation keys.
    {XK_KP_Prior, VK_PRIOR},
    {XK_KP_Next, VK_NEXT},
    {XK_KP_End, VK_END},
    {XK_KP_Home, VK_HOME},
    {XK_KP_Left, VK_LEFT},
    {XK_KP_Up, VK_UP},
    {XK_KP_Right, VK_RIGHT},
    {XK_KP_Down, VK_DOWN},
    {XK_KP_Insert, VK_INSERT},
    {XK_KP_Delete, VK_DELETE},
    {XK_KP_Begin, vk_clear},
    {XK_KP_Multiply, VK_MULTIPLY},
    {XK_KP_Add, VK_ADD},
    {XK_KP_Subtract, VK_SUBTRACT},
    {XK_KP_Decimal, VK_DECIMAL},
    {XK_KP_Separator, VK_DECIMAL},
    {XK_KP_Divide, VK_DIVIDE},
    // Punctuation by its place on a US keyboard, as Windows names it.
    {XK_semicolon, VK_OEM_1},
    {XK_equal, VK_OEM_PLUS},
    {XK_comma, VK_OEM_COMMA},
    {XK_minus, VK_OEM_MINUS},
    {XK_period, VK_OEM_PERIOD},
    {XK_slash, VK_OEM_2},
    {XK_grave, VK_OEM_3},
    {XK_bracketleft, VK_OEM_4},
    {XK_backslash, VK_OEM_5},
    {XK_bracketright, VK_OEM_6},
    {XK_apostrophe, VK_OEM_7},
    {XK_less, vk_oem_102},
};

}  // namespace

UINT x11_vk_from_keysym(KeySym keysym) {
    if (keysym >= XK_a && keysym <= XK_z) return 'A' + (UINT)(keysym - XK_a);
    if (keysym >= XK_A && keysym <= XK_Z) return 'A' + (UINT)(keysym - XK_A);
    if (keysym >= XK_0 && keysym <= XK_9) return '0' + (UINT)(keysym - XK_0);
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return VK_NUMPAD0 + (UINT)(keysym - XK_KP_0);
    if (keysym >= XK_F1 && keysym <= XK_F24) return VK_F1 + (UINT)(keysym - XK_F1);
    for (const KeysymVk& entry : keysym_table)
        if (entry.keysym == keysym) return entry.vk;
    return vk_none;
}

// X servers with the evdev key codes (Xorg, Xvfb, Xwayland) number keys as
// Linux does plus 8, and Linux numbers the main block by PC set-1 scan
// codes. The keys that set 1 reaches through the E0 prefix sit elsewhere in
// Linux's numbering; they are the extended keys of the lParam.
UINT x11_scan_from_keycode(unsigned keycode, bool* extended) {
    struct Extended {
        unsigned linux_code;
        UINT scan;
    };
    static const Extended extended_keys[] = {
        {96, 0x1C},   // keypad Enter
        {97, 0x1D},   // right Control
        {98, 0x35},   // keypad divide
        {99, 0x37},   // Print Screen
        {100, 0x38},  // right Alt
        {102, 0x47}, {103, 0x48}, {104, 0x49}, {105, 0x4B}, {106, 0x4D}, {107, 0x4F}, {108, 0x50},
        {109, 0x51}, {110, 0x52}, {111, 0x53}, {125, 0x5B}, {126, 0x5C}, {127, 0x5D},  // Windows keys, Menu
    };
    *extended = false;
    if (keycode < 8) return 0;
    unsigned linux_code = keycode - 8;
    if (linux_code >= 1 && linux_code <= 88) return linux_code;
    for (const Extended& key : extended_keys) {
        if (key.linux_code == linux_code) {
            *extended = true;
            return key.scan;
        }
    }
    return 0;
}
