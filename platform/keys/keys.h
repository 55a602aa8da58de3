// Key translation that every driver shares: what a key is to Win32, from
// what the display server tells of it. Keysyms are X's numbers, which xkb
// keeps; key codes are X's, which are Linux's evdev codes plus 8 on X
// servers with the evdev key codes (Xorg, Xvfb, Xwayland) and in xkb.
#pragma once

#include <windows.h>

#include <stdint.h>

// The Windows virtual-key code of a keysym; 0xFF when there is none, as
// Windows reports keys without a code.
UINT layer_vk_from_keysym(uint32_t keysym);
// The PC set-1 scan code of a key code (0 when it has none), and whether
// the key is one that set 1 reaches through the E0 prefix (an extended key).
UINT layer_scan_from_keycode(unsigned keycode, bool* extended);
