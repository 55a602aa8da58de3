// The configuration dialog's procedure. For now the dialog has no behaviour
// of its own: every message gets the dialog manager's default handling.
#include "settings/configure_dialog.h"

INT_PTR CALLBACK configure_dialog_proc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}
