// The cursor: position, shape (only "none" or "some" matters on the layer)
// and the display counter of ShowCursor.
#include "user/user_internal.h"

#include "layer_driver.h"

namespace {

// The arrow that a thread starts with; the layer draws the driver's default.
HCURSOR const arrow_cursor = reinterpret_cast<HCURSOR>(0x10003);

HCURSOR current_cursor = arrow_cursor;
int display_count = 0;

bool cursor_shows() {
    return current_cursor && display_count >= 0;
}

void apply_to_all() {
    for (HWND handle : user_window_list()) user_apply_cursor(handle);
}

}  // namespace

void user_apply_cursor(HWND handle) {
    if (const LayerCursorDriver* cursor = layer_driver()->cursor) cursor->set_visible(handle, cursor_shows());
}

void user_cursor_reset() {
    current_cursor = arrow_cursor;
    display_count = 0;
}

extern "C" {

BOOL WINAPI GetCursorPos(LPPOINT point) {
    const LayerCursorDriver* cursor = layer_driver()->cursor;
    if (cursor) return cursor->get_pos(point);
    // A driver that can't tell the pointer's place has reported it with
    // its input.
    *point = user_last_pointer();
    return TRUE;
}

BOOL WINAPI SetCursorPos(int x, int y) {
    const LayerCursorDriver* cursor = layer_driver()->cursor;
    return cursor && cursor->set_pos(x, y);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    HCURSOR previous = current_cursor;
    bool showed = cursor_shows();
    current_cursor = cursor;
    if (cursor_shows() != showed) apply_to_all();
    return previous;
}

int WINAPI ShowCursor(BOOL show) {
    bool showed = cursor_shows();
    display_count += show ? 1 : -1;
    if (cursor_shows() != showed) apply_to_all();
    return display_count;
}

}  // extern "C"
