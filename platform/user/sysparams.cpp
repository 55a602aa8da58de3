// SystemParametersInfoA: the one system parameter the program sets.
#include <windows.h>

#include "kernel/layer_kernel.h"
#include "user/user_internal.h"
#include <layer_test.h>

namespace {
// What the program last told the system; no desktop here acts on it.
bool saver_running = false;
}  // namespace

bool layer_saver_running() {
    return saver_running;
}

void user_sysparams_reset() {
    saver_running = false;
}

BOOL WINAPI SystemParametersInfoA(UINT action, UINT ui_param, LPVOID pv_param, UINT) {
    if (action == SPI_SETSCREENSAVERRUNNING) {
        if (pv_param != NULL) *static_cast<UINT*>(pv_param) = saver_running;
        saver_running = ui_param != 0;
        return TRUE;
    }
    layer_fixme_once("SystemParametersInfoA: action %u is not implemented", action);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
