// The program as it ships, with a seam at its import table (as in
// fault_probe.cpp): every RegSetValueExA fails with "access denied", as
// when an administrator's policy denies the key; message boxes are printed
// on stderr instead of shown; and the configuration dialog is made
// modeless and sent OK at once. save_failure.cmake runs it and reads what it
// printed: the dialog must say the save failed.
#include <stdio.h>
#include <windows.h>

#include "import_cell.h"

namespace {

LSTATUS WINAPI probe_set_value(HKEY, LPCSTR name, DWORD, DWORD, const BYTE*, DWORD) {
    fprintf(stderr, "RegSetValueExA(%s)\n", name ? name : "");
    fflush(stderr);
    return ERROR_ACCESS_DENIED;
}

int WINAPI probe_message_box(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    fprintf(stderr, "MessageBoxA(%s, %#x)\n%s\n.\n", caption, type, text);
    fflush(stderr);
    return IDOK;
}

INT_PTR WINAPI probe_dialog(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param) {
    HWND dialog = CreateDialogParamA(instance, name, parent, proc, param);
    if (!dialog) return -1;
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    DestroyWindow(dialog);
    return 1;
}

}  // namespace

extern "C" {
decltype(&RegSetValueExA) probe_set_value_cell __asm__(IMPORT_CELL(RegSetValueExA, 24)) = probe_set_value;
decltype(&MessageBoxA) probe_message_box_cell __asm__(IMPORT_CELL(MessageBoxA, 16)) = probe_message_box;
decltype(&DialogBoxParamA) probe_dialog_cell __asm__(IMPORT_CELL(DialogBoxParamA, 20)) = probe_dialog;
}
