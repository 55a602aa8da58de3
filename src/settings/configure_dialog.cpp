// The configuration dialog's procedure: shows the stored resolution and
// colour depth as two sets of radio buttons and stores the choice on OK.
#include "settings/configure_dialog.h"

#include <stdio.h>
#include <string.h>

#include "settings/settings_store.h"

namespace {

const int first_resolution_id = 2000;
const int last_resolution_id = 2006;
const int first_colour_id = 1000;
const int last_colour_id = 1001;

// What the open dialog holds between messages. Only one configuration
// dialog is ever up (the mode ends the process after it).
struct DialogState {
    HKEY key;
    LONG open_error;  // why key is NULL
    SaverSettings settings;
};
DialogState state;

// A save that failed is told in one box that names the key and the system's
// reason, rather than the dialog closing as if saved.
void tell_not_saved(HWND dialog, LONG error) {
    char reason[512];
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, static_cast<DWORD>(error), 0,
                        reason, sizeof reason, NULL))
        snprintf(reason, sizeof reason, "Error %ld.", static_cast<long>(error));
    size_t length = strlen(reason);
    while (length > 0 && (reason[length - 1] == '\r' || reason[length - 1] == '\n' || reason[length - 1] == ' '))
        reason[--length] = '\0';
    char text[768];
    snprintf(text, sizeof text, "The settings could not be saved to %s:\n%s", settings_key_name, reason);
    MessageBoxA(dialog, text, "Error", MB_OK | MB_ICONERROR);
}

// All nine radio buttons form one group, so the platform's automatic
// handling clears the other set at each click: both sets are checked again.
void check_both_sets(HWND dialog) {
    CheckRadioButton(dialog, first_resolution_id, last_resolution_id, state.settings.resolution_id);
    CheckRadioButton(dialog, first_colour_id, last_colour_id, state.settings.colour_id);
}

}  // namespace

INT_PTR CALLBACK configure_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        state.key = open_settings_key(&state.open_error);
        state.settings = read_settings(state.key);
        if (state.settings.resolution_id == 0) state.settings.resolution_id = first_resolution_id;
        if (state.settings.colour_id == 0) state.settings.colour_id = first_colour_id;
        check_both_sets(dialog);
        SetFocus(GetDlgItem(dialog, state.settings.resolution_id));
        return FALSE;  // the focus is set
    case WM_COMMAND: {
        int id = LOWORD(wparam);
        if (id == IDOK) {
            LONG result = state.key ? write_settings(state.key, state.settings) : state.open_error;
            close_settings_key(state.key);
            state.key = NULL;
            if (result != ERROR_SUCCESS) tell_not_saved(dialog, result);
            EndDialog(dialog, 1);
        } else if (id == IDCANCEL) {
            close_settings_key(state.key);
            state.key = NULL;
            EndDialog(dialog, 1);
        } else if (id >= first_colour_id && id <= last_colour_id) {
            state.settings.colour_id = id;
            CheckRadioButton(dialog, first_colour_id, last_colour_id, id);
            CheckRadioButton(dialog, first_resolution_id, last_resolution_id, state.settings.resolution_id);
        } else if (id >= first_resolution_id && id <= last_resolution_id) {
            state.settings.resolution_id = id;
            check_both_sets(dialog);
        }
        return TRUE;
    }
    }
    return FALSE;
}
