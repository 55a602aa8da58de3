// The configuration dialog's procedure: shows the stored resolution and
// colour depth as two sets of radio buttons and stores the choice on OK.
#include "settings/configure_dialog.h"

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
    SaverSettings settings;
};
DialogState state;

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
        state.key = open_settings_key();
        state.settings = read_settings(state.key);
        if (state.settings.resolution_id == 0) state.settings.resolution_id = first_resolution_id;
        if (state.settings.colour_id == 0) state.settings.colour_id = first_colour_id;
        check_both_sets(dialog);
        SetFocus(GetDlgItem(dialog, state.settings.resolution_id));
        return FALSE;  // the focus is set
    case WM_COMMAND: {
        int id = LOWORD(wparam);
        if (id == IDOK) {
            write_settings(state.key, state.settings);
            close_settings_key(state.key);
            state.key = NULL;
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
