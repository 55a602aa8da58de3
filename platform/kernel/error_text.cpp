// FormatMessageA for the system's error codes: the texts Windows gives for
// the codes the layer returns, so that a program can tell the user why.
#include <windows.h>

#include <cstring>

namespace {

struct ErrorText {
    DWORD code;
    const char* text;
};

const ErrorText error_texts[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command."},
    {ERROR_WRITE_FAULT, "The system cannot write to the specified device."},
    {ERROR_LOCK_VIOLATION,
     "The process cannot access the file because another process has locked a portion of the file."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_DISK_FULL, "There is not enough space on the disk."},
    {ERROR_BAD_PATHNAME, "The specified path is invalid."},
    {ERROR_NOACCESS, "Invalid access to memory location."},
    {ERROR_UNSUPPORTED_TYPE, "Data of this type is not supported."},
    {ERROR_CANT_RESOLVE_FILENAME, "The name of the file cannot be resolved by the system."},
};

}  // namespace

extern "C" {

DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID, DWORD message_id, DWORD, LPSTR buffer, DWORD size, va_list*) {
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer) return 0;
    for (const ErrorText& e : error_texts) {
        if (e.code != message_id) continue;
        // Windows' texts end with a line break.
        size_t length = strlen(e.text) + 2;
        if (length + 1 > size) return 0;
        strcpy(buffer, e.text);
        strcat(buffer, "\r\n");
        return DWORD(length);
    }
    return 0;
}

}  // extern "C"
