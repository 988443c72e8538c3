// Shell folders, shell notifications and the pause, on Win32.
#include "platform/platform.h"
#include "platform/win32/system_library.h"

#include <objbase.h>
#include <shlobj.h>
#include <string.h>
#include <windows.h>

namespace platform::win32 {

namespace {

typedef HRESULT(WINAPI* SHGetSpecialFolderLocationFunction)(HWND, int, LPITEMIDLIST*);
typedef BOOL(WINAPI* SHGetPathFromIDListFunction)(LPCITEMIDLIST, LPSTR);
typedef void(WINAPI* SHChangeNotifyFunction)(LONG, UINT, LPCVOID, LPCVOID);
typedef void(WINAPI* CoTaskMemFreeFunction)(LPVOID);

} // namespace

bool getSpecialFolderPath(int csidl, char* out) {
    const SHGetSpecialFolderLocationFunction locate =
        systemFunction<SHGetSpecialFolderLocationFunction>("shell32.dll",
                                                           "SHGetSpecialFolderLocation");
    const SHGetPathFromIDListFunction toPath =
        systemFunction<SHGetPathFromIDListFunction>("shell32.dll", "SHGetPathFromIDListA");
    const CoTaskMemFreeFunction release =
        systemFunction<CoTaskMemFreeFunction>("ole32.dll", "CoTaskMemFree");
    if (locate == NULL || toPath == NULL || release == NULL) {
        return false;
    }
    LPITEMIDLIST items = NULL;
    if (FAILED(locate(NULL, csidl, &items)) || items == NULL) {
        return false;
    }
    // SHGetPathFromIDListA may clear its buffer when it fails; the caller's
    // buffer is only written once a path came back.
    char path[MAX_PATH];
    memset(path, 0, sizeof(path));
    BOOL found = toPath(items, path);
    // The item list comes from the shell's task allocator.
    release(items);
    if (!found) {
        return false;
    }
    memcpy(out, path, sizeof(path));
    out[MAX_PATH - 1] = '\0';
    return true;
}

void changeNotify(int32_t event, uint32_t flags) {
    const SHChangeNotifyFunction notify =
        systemFunction<SHChangeNotifyFunction>("shell32.dll", "SHChangeNotify");
    if (notify != NULL) {
        notify(event, flags, NULL, NULL);
    }
}

void sleepMilliseconds(uint32_t milliseconds) {
    Sleep(milliseconds);
}

} // namespace platform::win32
