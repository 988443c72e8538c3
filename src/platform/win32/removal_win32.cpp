// What the uninstaller needs of Win32 beyond the setup's operations.
#include "platform/platform.h"
#include "platform/win32/system_library.h"

#include <string.h>
#include <windows.h>

namespace platform::win32 {

namespace {

typedef LONG(WINAPI* RegDeleteKeyFunction)(HKEY, LPCSTR);

} // namespace

bool getModuleFileName(char* out) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    memcpy(out, path, length + 1);
    return true;
}

bool copyFile(const char* from, const char* to) {
    return CopyFileA(from, to, TRUE) != 0;
}

bool removeDirectory(const char* path) {
    return RemoveDirectoryA(path) != 0;
}

bool deleteAtReboot(const char* path) {
    return MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

bool findFileName(const char* pattern, uint32_t index, char* name) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool more = true;
    for (uint32_t seen = 0; more; more = FindNextFileA(search, &found) != 0) {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && seen++ == index) {
            break;
        }
    }
    FindClose(search);
    if (more) {
        memcpy(name, found.cFileName, MAX_PATH);
        name[MAX_PATH - 1] = '\0';
    }
    return more;
}

long regDeleteKey(RegistryKey root, const char* subKey) {
    const RegDeleteKeyFunction remove =
        systemFunction<RegDeleteKeyFunction>("advapi32.dll", "RegDeleteKeyA");
    if (remove == NULL) {
        return ERROR_PROC_NOT_FOUND;
    }
    return remove(reinterpret_cast<HKEY>(root), subKey);
}

} // namespace platform::win32
