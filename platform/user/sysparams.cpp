// SystemParametersInfoA: the one system parameter the program sets.
#include <windows.h>

#include "kernel/layer_kernel.h"

BOOL WINAPI SystemParametersInfoA(UINT action, UINT, LPVOID pv_param, UINT)
{
    if (action == SPI_SETSCREENSAVERRUNNING) {
        // No desktop here keeps a "saver running" state: there is nothing to
        // switch, and the previous state reads as off.
        if (pv_param != NULL)
            *static_cast<UINT*>(pv_param) = 0;
        return TRUE;
    }
    layer_fixme_once("SystemParametersInfoA: action %u is not implemented", action);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
