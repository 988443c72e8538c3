// Shell folders, shell notifications and the pause, on Win32.
#include "platform/platform.h"

#include <objbase.h>
#include <shlobj.h>
#include <string.h>
#include <windows.h>

namespace platform {

bool getSpecialFolderPath(int csidl, char* out) {
    LPITEMIDLIST items = NULL;
    if (FAILED(SHGetSpecialFolderLocation(NULL, csidl, &items)) || items == NULL) {
        return false;
    }
    // SHGetPathFromIDListA may clear its buffer when it fails; the caller's
    // buffer is only written once a path came back.
    char path[MAX_PATH];
    memset(path, 0, sizeof(path));
    BOOL found = SHGetPathFromIDListA(items, path);
    // The item list comes from the shell's task allocator.
    CoTaskMemFree(items);
    if (!found) {
        return false;
    }
    memcpy(out, path, sizeof(path));
    out[MAX_PATH - 1] = '\0';
    return true;
}

void changeNotify(int32_t event, uint32_t flags) {
    SHChangeNotify(event, flags, NULL, NULL);
}

void sleepMilliseconds(uint32_t milliseconds) {
    Sleep(milliseconds);
}

} // namespace platform
