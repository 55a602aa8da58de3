// SystemParametersInfoA: the one system parameter the program sets.
#include <windows.h>

#include <stdio.h>

BOOL WINAPI SystemParametersInfoA(UINT action, UINT, LPVOID pv_param, UINT)
{
    if (action == SPI_SETSCREENSAVERRUNNING) {
        // No desktop here keeps a "saver running" state: there is nothing to
        // switch, and the previous state reads as off.
        if (pv_param != NULL)
            *static_cast<UINT*>(pv_param) = 0;
        return TRUE;
    }
    static bool told = false;
    if (!told) {
        told = true;
        fprintf(stderr, "fixme:user: SystemParametersInfoA action %u is not implemented\n", action);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
