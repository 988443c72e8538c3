// Opening a file to be rewritten from its start.
#include "platform/win32/open_rewrite.h"

namespace platform::win32 {

HANDLE openForRewrite(const char* path, DWORD access, DWORD share) {
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
