// DialogBoxParamA. Dialog templates are not read yet: every dialog fails to
// be created, as on Windows when the template resource can't be found.
#include <windows.h>

#include <stdio.h>

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM)
{
    static bool told = false;
    if (!told) {
        told = true;
        fprintf(stderr, "fixme:user: DialogBoxParamA: dialog templates are not implemented; no dialog is shown\n");
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
}
