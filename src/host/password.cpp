// Password protection: the user's setting, the platform's verifier and
// password change, and the 200 ms guard between prompts.
#include "host/password.h"

#include "host/entry.h"
#include "host/saver_window.h"

namespace {

const DWORD never = 0xFFFFFFFFu;
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

HMODULE password_module = NULL;
VerifyPasswordProc verifier_entry = NULL;
DWORD last_verify_tick = never;

DWORD tick_elapsed(DWORD earlier, DWORD later) {
    return later - earlier;
}

void set_saver_running(bool on) {
    if (!is_win9x_family) return;
    UINT previous = 0;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, on ? 1 : 0, &previous, 0);
}

void load_password_verifier() {
    if (!is_win9x_family) return;
    if (password_module != NULL) unload_password_verifier();
    if (!password_protection_on()) return;

    password_module = LoadLibraryA("PASSWORD.CPL");
    if (password_module == NULL) return;
    verifier_entry = module_entry<VerifyPasswordProc>(password_module, "VerifyScreenSavePwd");
    if (verifier_entry != NULL)
        set_saver_running(true);
    else
        unload_password_verifier();
}

void unload_password_verifier() {
    if (!is_win9x_family || password_module == NULL) return;
    FreeLibrary(password_module);
    password_module = NULL;
    if (verifier_entry != NULL) {
        verifier_entry = NULL;
        set_saver_running(false);
    }
}

bool verify_password_on_close(HWND window) {
    if (is_verifying) return false;
    if (verifier_entry == NULL) {
        is_closing = true;
        return true;
    }
    DWORD now = GetTickCount();
    if (last_verify_tick != never && tick_elapsed(last_verify_tick, now) < prompt_quiet_ms) return false;

    is_verifying = true;
    // Frame ticks that piled up must not run behind the prompt.
    MSG dropped;
    PeekMessageA(&dropped, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageA(&dropped, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    LRESULT verdict = SendMessageA(window, WM_APP, 0, 0);
    is_closing = verdict != 0;
    is_verifying = false;
    if (verdict == 0) SetCursor(NULL);
    last_verify_tick = GetTickCount();
    return is_closing;
}

void change_password(HWND owner) {
    HMODULE mpr = LoadLibraryA("MPR.DLL");
    if (mpr == NULL) return;
    ChangePasswordProc change = module_entry<ChangePasswordProc>(mpr, "PwdChangePasswordA");
    if (change != NULL) change("SCRSAVE", owner, 0, NULL);
    FreeLibrary(mpr);
}
