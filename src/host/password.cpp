// Password protection: the user's setting, the platform's verifier and
// password change, and the 200 ms guard between prompts.
#include "host/password.h"

#include "host/host_state.h"

namespace {

// A close request this soon after a prompt ended is refused without a new
// prompt: it is usually the same input that dismissed the prompt.
const DWORD prompt_quiet_ms = 200;

// PwdChangePasswordA(provider, owner, 0, 0).
typedef DWORD(WINAPI* ChangePasswordProc)(LPCSTR, HWND, DWORD, LPVOID);

bool password_protection_on() {
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key) != ERROR_SUCCESS) return false;
    // A shorter value fills only its own bytes of the zeroed buffer.
    DWORD value = 0;
    DWORD size = sizeof value;
    bool on = RegQueryValueExA(key, "ScreenSaveUsePassword", NULL, NULL, reinterpret_cast<LPBYTE>(&value), &size) ==
                  ERROR_SUCCESS &&
              value != 0;
    RegCloseKey(key);
    return on;
}

}  // namespace

DWORD tick_elapsed(DWORD earlier, DWORD later) {
    return later - earlier;
}

void set_saver_running(bool on) {
    if (!host_state().win9x_family) return;
    UINT previous = 0;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, on ? 1 : 0, &previous, 0);
}

void load_password_verifier() {
    HostState& host = host_state();
    if (!host.win9x_family) return;
    if (host.password_module != NULL) unload_password_verifier();
    if (!password_protection_on()) return;

    host.password_module = LoadLibraryA("PASSWORD.CPL");
    if (host.password_module == NULL) return;
    host.verifier = module_entry<VerifyPasswordProc>(host.password_module, "VerifyScreenSavePwd");
    if (host.verifier != NULL)
        set_saver_running(true);
    else
        unload_password_verifier();
}

void unload_password_verifier() {
    HostState& host = host_state();
    if (!host.win9x_family || host.password_module == NULL) return;
    FreeLibrary(host.password_module);
    host.password_module = NULL;
    if (host.verifier != NULL) {
        host.verifier = NULL;
        set_saver_running(false);
    }
}

bool verify_password_on_close(HWND window) {
    HostState& host = host_state();
    if (host.verifying) return false;
    if (host.verifier == NULL) {
        host.closing = true;
        return true;
    }
    DWORD now = GetTickCount();
    if (host.last_verify_tick != never_verified && tick_elapsed(host.last_verify_tick, now) < prompt_quiet_ms)
        return false;

    host.verifying = true;
    // Frame ticks that piled up must not run behind the prompt.
    MSG dropped;
    PeekMessageA(&dropped, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageA(&dropped, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    LRESULT verdict = SendMessageA(window, WM_APP, 0, 0);
    host.closing = verdict != 0;
    host.verifying = false;
    if (verdict == 0) SetCursor(NULL);
    host.last_verify_tick = GetTickCount();
    return host.closing;
}

void change_password(HWND owner) {
    HMODULE mpr = LoadLibraryA("MPR.DLL");
    if (mpr == NULL) return;
    ChangePasswordProc change = module_entry<ChangePasswordProc>(mpr, "PwdChangePasswordA");
    if (change != NULL) change("SCRSAVE", owner, 0, NULL);
    FreeLibrary(mpr);
}
