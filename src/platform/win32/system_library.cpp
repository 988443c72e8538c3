#include "platform/win32/system_library.h"

namespace platform::win32 {

namespace {

struct LoadedLibrary {
    const char* name;
    HMODULE module;
};

// A handful of libraries at most; the table keeps each loaded once.
LoadedLibrary loaded[4];

HMODULE loadFromSystemDirectory(const char* library) {
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    const size_t nameLength = strlen(library);
    if (length == 0 || length + 1 + nameLength + 1 > MAX_PATH) {
        return NULL;
    }
    // A full path: a DLL of that name beside the setup program is never
    // the one loaded.
    path[length] = '\\';
    memcpy(path + length + 1, library, nameLength + 1);
    return LoadLibraryA(path);
}

HMODULE systemLibrary(const char* library) {
    for (LoadedLibrary& entry : loaded) {
        if (entry.name == library || (entry.name != NULL && strcmp(entry.name, library) == 0)) {
            return entry.module;
        }
        if (entry.name == NULL) {
            entry.module = loadFromSystemDirectory(library);
            entry.name = library;
            return entry.module;
        }
    }
    return loadFromSystemDirectory(library);
}

} // namespace

FARPROC systemProcedure(const char* library, const char* name) {
    const HMODULE module = systemLibrary(library);
    return module == NULL ? NULL : GetProcAddress(module, name);
}

} // namespace platform::win32
