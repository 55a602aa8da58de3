// Key translation for the drivers: keysyms to Windows virtual-key codes,
// and key codes to PC scan codes.
#include "keys/keys.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace {

// Virtual keys that the layer's windows.h leaves out (Win32 values).
const UINT vk_clear = 0x0C;     // VK_CLEAR
const UINT vk_snapshot = 0x2C;  // VK_SNAPSHOT
const UINT vk_apps = 0x5D;      // VK_APPS
const UINT vk_oem_102 = 0xE2;   // VK_OEM_102
const UINT vk_none = 0xFF;      // what Windows reports for a key without a code

struct KeysymVk {
    uint32_t keysym;
    UINT vk;
};

const KeysymVk keysym_table[] = {
    {XKB_KEY_BackSpace, VK_BACK},
    {XKB_KEY_Tab, VK_TAB},
    {XKB_KEY_ISO_Left_Tab, VK_TAB},
    {XKB_KEY_Return, VK_RETURN},
    {XKB_KEY_KP_Enter, VK_RETURN},
    {XKB_KEY_Escape, VK_ESCAPE},
    {XKB_KEY_space, VK_SPACE},
    {XKB_KEY_Pause, VK_PAUSE},
    {XKB_KEY_Break, VK_PAUSE},
    {XKB_KEY_Caps_Lock, VK_CAPITAL},
    {XKB_KEY_Num_Lock, VK_NUMLOCK},
    {XKB_KEY_Scroll_Lock, VK_SCROLL},
    {XKB_KEY_Print, vk_snapshot},
    {XKB_KEY_Sys_Req, vk_snapshot},
    {XKB_KEY_Menu, vk_apps},
    {XKB_KEY_Shift_L, VK_SHIFT},
    {XKB_KEY_Shift_R, VK_SHIFT},
    {XKB_KEY_Control_L, VK_CONTROL},
    {XKB_KEY_Control_R, VK_CONTROL},
    {XKB_KEY_Alt_L, VK_MENU},
    {XKB_KEY_Alt_R, VK_MENU},
    {XKB_KEY_Meta_L, VK_MENU},
    {XKB_KEY_Meta_R, VK_MENU},
    {XKB_KEY_ISO_Level3_Shift, VK_MENU},
    {XKB_KEY_Super_L, VK_LWIN},
    {XKB_KEY_Super_R, VK_RWIN},
    {XKB_KEY_Prior, VK_PRIOR},
    {XKB_KEY_Next, VK_NEXT},
    {XKB_KEY_End, VK_END},
    {XKB_KEY_Home, VK_HOME},
    {XKB_KEY_Left, VK_LEFT},
    {XKB_KEY_Up, VK_UP},
    {XKB_KEY_Right, VK_RIGHT},
    {XKB_KEY_Down, VK_DOWN},
    {XKB_KEY_Insert, VK_INSERT},
    {XKB_KEY_Delete, VK_DELETE},
    // The keypad with Num Lock off gives the navigation keys.
    {XKB_KEY_KP_Prior, VK_PRIOR},
    {XKB_KEY_KP_Next, VK_NEXT},
    {XKB_KEY_KP_End, VK_END},
    {XKB_KEY_KP_Home, VK_HOME},
    {XKB_KEY_KP_Left, VK_LEFT},
    {XKB_KEY_KP_Up, VK_UP},
    {XKB_KEY_KP_Right, VK_RIGHT},
    {XKB_KEY_KP_Down, VK_DOWN},
    {XKB_KEY_KP_Insert, VK_INSERT},
    {XKB_KEY_KP_Delete, VK_DELETE},
    {XKB_KEY_KP_Begin, vk_clear},
    {XKB_KEY_KP_Multiply, VK_MULTIPLY},
    {XKB_KEY_KP_Add, VK_ADD},
    {XKB_KEY_KP_Subtract, VK_SUBTRACT},
    {XKB_KEY_KP_Decimal, VK_DECIMAL},
    {XKB_KEY_KP_Separator, VK_DECIMAL},
    {XKB_KEY_KP_Divide, VK_DIVIDE},
    // Punctuation by its place on a US keyboard, as Windows names it.
    {XKB_KEY_semicolon, VK_OEM_1},
    {XKB_KEY_equal, VK_OEM_PLUS},
    {XKB_KEY_comma, VK_OEM_COMMA},
    {XKB_KEY_minus, VK_OEM_MINUS},
    {XKB_KEY_period, VK_OEM_PERIOD},
    {XKB_KEY_slash, VK_OEM_2},
    {XKB_KEY_grave, VK_OEM_3},
    {XKB_KEY_bracketleft, VK_OEM_4},
    {XKB_KEY_backslash, VK_OEM_5},
    {XKB_KEY_bracketright, VK_OEM_6},
    {XKB_KEY_apostrophe, VK_OEM_7},
    {XKB_KEY_less, vk_oem_102},
};

}  // namespace

UINT layer_vk_from_keysym(uint32_t keysym) {
    if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z) return 'A' + (UINT)(keysym - XKB_KEY_a);
    if (keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) return 'A' + (UINT)(keysym - XKB_KEY_A);
    if (keysym >= XKB_KEY_0 && keysym <= XKB_KEY_9) return '0' + (UINT)(keysym - XKB_KEY_0);
    if (keysym >= XKB_KEY_KP_0 && keysym <= XKB_KEY_KP_9) return VK_NUMPAD0 + (UINT)(keysym - XKB_KEY_KP_0);
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F24) return VK_F1 + (UINT)(keysym - XKB_KEY_F1);
    for (const KeysymVk& entry : keysym_table)
        if (entry.keysym == keysym) return entry.vk;
    return vk_none;
}

// X servers with the evdev key codes (Xorg, Xvfb, Xwayland) and xkb number
// keys as Linux does plus 8, and Linux numbers the main block by PC set-1
// scan codes. The keys that set 1 reaches through the E0 prefix sit elsewhere in
// Linux's numbering; they are the extended keys of the lParam.
UINT layer_scan_from_keycode(unsigned keycode, bool* extended) {
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
