// Opening a file to be rewritten from its start.
#pragma once

#include <windows.h>

namespace platform::win32 {

// CreateFileA with CREATE_ALWAYS, less the truncation of a file that is
// empty already (as the reserved temporary files are): truncating it is
// still work for the file system, and on Linux under Wine it makes ext4
// flush the file at close. Any other file is emptied, as CREATE_ALWAYS
// would. INVALID_HANDLE_VALUE on failure.
inline HANDLE openForRewrite(const char* path, DWORD access, DWORD share) {
    HANDLE file = CreateFileA(path, access, share, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD high = 0;
        const DWORD low = GetFileSize(file, &high);
        if ((low != 0 || high != 0) && !SetEndOfFile(file)) {
            CloseHandle(file);
            return INVALID_HANDLE_VALUE;
        }
    }
    return file;
}

} // namespace platform::win32
