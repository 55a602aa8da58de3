// The program's two settings in the current user's registry: the key
// "Software\Orrelune" with the REG_DWORD values "resolution" and "color".
// The saver's display hook reads them at every start; the configuration
// dialog reads them and writes them on OK.
#pragma once

#include "platform.h"

// Resolution ids are the dialog's radio-button ids: 2000 is the saver window's own
// size, 2001 to 2006 fixed sizes. Colour ids: 1000 is 16 bits per pixel,
// 1001 is 32. A value never stored reads as 0.
struct SaverSettings {
    LONG resolution_id;
    LONG colour_id;
};

// The key's full name, as a message to the user gives it.
extern const char settings_key_name[];

// Opens the settings key, creating it when missing. NULL when even that
// fails, with the reason in error when given; reads from a NULL key give
// absent values.
HKEY open_settings_key(LONG* error = NULL);
void close_settings_key(HKEY key);

// Reads both values: at most 4 bytes each, whatever the stored type; an
// absent or unreadable value leaves its field 0.
SaverSettings read_settings(HKEY key);
// Writes "resolution" and then "color" as REG_DWORD, flushed as one change
// of the store: another writer sees both or neither. Returns ERROR_SUCCESS,
// or the error code of the first step that failed (ERROR_INVALID_HANDLE for
// a NULL key).
LONG write_settings(HKEY key, const SaverSettings& settings);

// Open, read, close: the saver's read at the start of a run.
SaverSettings load_saver_settings();
