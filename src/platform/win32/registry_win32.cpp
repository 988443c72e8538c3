// Registry access through advapi32. Our key handle is the HKEY itself.
#include "platform/platform.h"
#include "platform/win32/system_library.h"

#include <windows.h>

namespace platform::win32 {

namespace {

HKEY toWin32(RegistryKey key) {
    return reinterpret_cast<HKEY>(key);
}

const char kAdvapi32[] = "advapi32.dll";

typedef LONG(WINAPI* RegCreateKeyExFunction)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM,
                                             LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
typedef LONG(WINAPI* RegQueryValueExFunction)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
typedef LONG(WINAPI* RegSetValueExFunction)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
typedef LONG(WINAPI* RegCloseKeyFunction)(HKEY);

} // namespace

RegistryKey rootKey(RegistryRoot root) {
    HKEY predefined = root == kHkeyCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    return reinterpret_cast<RegistryKey>(predefined);
}

long regCreateKey(RegistryKey root, const char* subKey, uint32_t access, RegistryKey* key) {
    // Received into a local so that a failing call cannot leave anything in
    // the caller's variable.
    HKEY opened = NULL;
    const RegCreateKeyExFunction create =
        systemFunction<RegCreateKeyExFunction>(kAdvapi32, "RegCreateKeyExA");
    if (create == NULL) {
        return ERROR_PROC_NOT_FOUND;
    }
    LONG status = create(toWin32(root), subKey, 0, NULL, 0, access, NULL, &opened, NULL);
    if (status == ERROR_SUCCESS && key != NULL) {
        *key = reinterpret_cast<RegistryKey>(opened);
    }
    return status;
}

long regQueryValue(RegistryKey key, const char* valueName, uint32_t* type, unsigned char* data,
                   uint32_t* size) {
    if (type != NULL) {
        *type = kRegNone;
    }
    // DWORD is unsigned long here, not uint32_t: go through locals.
    DWORD valueType = REG_NONE;
    DWORD dataSize = size != NULL ? *size : 0;
    const RegQueryValueExFunction query =
        systemFunction<RegQueryValueExFunction>(kAdvapi32, "RegQueryValueExA");
    if (query == NULL) {
        return ERROR_PROC_NOT_FOUND;
    }
    LONG status =
        query(toWin32(key), valueName, NULL, &valueType, data, size != NULL ? &dataSize : NULL);
    if (type != NULL) {
        *type = valueType;
    }
    if (size != NULL) {
        *size = dataSize;
    }
    return status;
}

long regSetValue(RegistryKey key, const char* valueName, uint32_t type, const unsigned char* data,
                 uint32_t size) {
    const RegSetValueExFunction set =
        systemFunction<RegSetValueExFunction>(kAdvapi32, "RegSetValueExA");
    return set == NULL ? ERROR_PROC_NOT_FOUND : set(toWin32(key), valueName, 0, type, data, size);
}

long regCloseKey(RegistryKey key) {
    const RegCloseKeyFunction close = systemFunction<RegCloseKeyFunction>(kAdvapi32, "RegCloseKey");
    return close == NULL ? ERROR_PROC_NOT_FOUND : close(toWin32(key));
}

} // namespace platform::win32
