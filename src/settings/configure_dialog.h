// The configuration dialog (template 2003).
// The rest of the program may use: configure_dialog_proc, the dialog procedure
// that the Configure mode runs the template with.
#pragma once

#include "platform.h"

INT_PTR CALLBACK configure_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
