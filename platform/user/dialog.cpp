// DialogBoxParamA. Dialog templates are not read yet: every dialog fails to
// be created, as on Windows when the template resource can't be found.
#include <windows.h>

#include "kernel/layer_kernel.h"

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM)
{
    layer_fixme_once("DialogBoxParamA: dialog templates are not implemented; no dialog is shown");
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
}
