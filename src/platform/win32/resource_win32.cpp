// Access to resources linked into our own executable.
#include "platform/platform.h"

#include <windows.h>

namespace platform::win32 {

ResourceBytes loadResource(const char* type, uint16_t id) {
    ResourceBytes result = {NULL, 0};
    // A null module is the executable that started the process. Resources
    // of a loaded image need no unlocking or freeing.
    HRSRC found = FindResourceA(NULL, MAKEINTRESOURCEA(id), type);
    if (found == NULL) {
        return result;
    }
    DWORD size = SizeofResource(NULL, found);
    HGLOBAL loaded = LoadResource(NULL, found);
    if (loaded == NULL) {
        return result;
    }
    const void* bytes = LockResource(loaded);
    if (bytes == NULL) {
        return result;
    }
    result.bytes = static_cast<const unsigned char*>(bytes);
    result.size = size;
    return result;
}

void releaseResource(ResourceBytes resource) {
    // On pages that are not locked, VirtualUnlock takes them out of the
    // working set; they are read from the image again if ever touched.
    if (resource.bytes != NULL && resource.size != 0) {
        VirtualUnlock(const_cast<unsigned char*>(resource.bytes), resource.size);
    }
}

} // namespace platform::win32
