// Where DLLs loaded by name may come from: the system directory only.
#include "platform/win32/dll_search.h"

#include <string.h>
#include <windows.h>

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);

// DLLs that Windows loads by bare name only later, while the shell and COM
// do their work (folder lookups, the link object, registry security). On a
// system where the search cannot be restricted these are loaded from the
// system directory up front, so that the later by-name loads reuse them.
const char* const kLateLoadedDlls[] = {
    "uxtheme.dll",   "userenv.dll", "setupapi.dll", "apphelp.dll", "propsys.dll", "dwmapi.dll",
    "cryptbase.dll", "oleacc.dll",  "clbcatq.dll",  "version.dll", "ntmarta.dll", "profapi.dll",
};

void preloadSystemDlls() {
    char path[MAX_PATH];
    memset(path, 0, sizeof(path));
    // Zero on failure, the size wanted when the buffer is too small.
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 >= MAX_PATH) {
        return;
    }
    path[length++] = '\\';
    for (size_t i = 0; i < sizeof(kLateLoadedDlls) / sizeof(kLateLoadedDlls[0]); ++i) {
        const size_t nameSize = strlen(kLateLoadedDlls[i]) + 1;
        if (length + nameSize > MAX_PATH) {
            continue;
        }
        memcpy(path + length, kLateLoadedDlls[i], nameSize);
        // Kept loaded for the life of the process on purpose. A DLL that
        // this Windows does not have is simply skipped.
        (void)LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
}

bool isWindowsVista() {
    DWORD version = GetVersion();
    return LOBYTE(LOWORD(version)) == 6 && HIBYTE(LOWORD(version)) == 0;
}

} // namespace

namespace platform::win32 {

void hardenDllSearch() {
    // The current directory leaves the search (Windows XP SP1 and later).
    SetDllDirectoryA("");
    // Where available (Windows 8 and later, Vista/7 with KB2533623), only the
    // system directory remains for DLLs loaded by name. Looked up at run
    // time so that systems without it still start. On Vista the shell link
    // object cannot be created any more once this is in force, so Vista takes
    // the preloading route like the systems that lack the call.
    FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (found != NULL && !isWindowsVista()) {
        SetDefaultDllDirectoriesFunction setDefaultDllDirectories;
        memcpy(&setDefaultDllDirectories, &found, sizeof(found));
        if (setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
            return;
        }
    }
    preloadSystemDlls();
}

} // namespace platform::win32
