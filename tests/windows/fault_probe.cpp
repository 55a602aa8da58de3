// The program as it ships, with a seam at its import table: the program
// calls each system function through a cell named __imp_<name>, and a cell
// defined here takes the place of the system's. The probe reports a 9x
// platform, so that the program tells the system when a saver runs; it
// prints each such call on stderr; and its configuration dialog faults.
// fault_guard.cmake runs it and reads what it printed.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "import_cell.h"

namespace {

BOOL WINAPI probe_version(LPOSVERSIONINFOA info) {
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return FALSE;
    memset(info, 0, sizeof *info);
    info->dwOSVersionInfoSize = sizeof *info;
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 10;
    info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    return TRUE;
}

BOOL WINAPI probe_parameters(UINT action, UINT value, PVOID, UINT) {
    fprintf(stderr, "SystemParametersInfoA(%u, %u)\n", action, value);
    fflush(stderr);
    return TRUE;
}

int* volatile nowhere = nullptr;

INT_PTR WINAPI probe_dialog(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM) {
    *nowhere = 1;
    return 0;
}

}  // namespace

extern "C" {
decltype(&GetVersionExA) probe_version_cell __asm__(IMPORT_CELL(GetVersionExA, 4)) = probe_version;
decltype(&SystemParametersInfoA) probe_parameters_cell __asm__(IMPORT_CELL(SystemParametersInfoA,
                                                                           16)) = probe_parameters;
decltype(&DialogBoxParamA) probe_dialog_cell __asm__(IMPORT_CELL(DialogBoxParamA, 20)) = probe_dialog;
}
