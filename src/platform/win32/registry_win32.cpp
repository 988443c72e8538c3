// Registry access through advapi32. Our key handle is the HKEY itself.
#include "platform/platform.h"

#include <windows.h>

namespace platform {

namespace {

HKEY toWin32(RegistryKey key) {
    return reinterpret_cast<HKEY>(key);
}

} // namespace

RegistryKey rootKey(RegistryRoot root) {
    HKEY predefined = root == kHkeyCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    return reinterpret_cast<RegistryKey>(predefined);
}

long regCreateKey(RegistryKey root, const char* subKey, uint32_t access, RegistryKey* key) {
    // Received into a local so that a failing call cannot leave anything in
    // the caller's variable.
    HKEY opened = NULL;
    LONG status = RegCreateKeyExA(toWin32(root), subKey, 0, NULL, 0, access, NULL, &opened, NULL);
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
    LONG status = RegQueryValueExA(toWin32(key), valueName, NULL, &valueType, data,
                                   size != NULL ? &dataSize : NULL);
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
    return RegSetValueExA(toWin32(key), valueName, 0, type, data, size);
}

long regCloseKey(RegistryKey key) {
    return RegCloseKey(toWin32(key));
}

} // namespace platform
