#include "platform/posix/path_map.h"

#include "platform/posix/posix_impl.h"

namespace posix {

bool mapPath(const char* windowsPath, char* out, size_t outSize) {
    if (outSize == 0) {
        return false;
    }
    const char* p = windowsPath;
    const char drive = p[0];
    if (drive != '\0' && p[1] == ':' &&
        ((drive >= 'a' && drive <= 'z') || (drive >= 'A' && drive <= 'Z'))) {
        // Only Z: exists, as the host's root, the way Wine maps it.
        if (drive != 'z' && drive != 'Z') {
            return false;
        }
        p += 2;
        if (*p == '\0') {
            if (outSize < 2) {
                return false;
            }
            out[0] = '/';
            out[1] = '\0';
            return true;
        }
    }
    size_t length = 0;
    for (; *p != '\0'; ++p) {
        // A double-byte character's trail byte may be 0x5C; it is kept.
        const bool doubleByte = isDbcsLeadByte(static_cast<unsigned char>(*p)) &&
                                static_cast<unsigned char>(p[1]) >= 0x40;
        if (length + (doubleByte ? 2 : 1) >= outSize) {
            out[0] = '\0';
            return false;
        }
        if (doubleByte) {
            out[length++] = *p++;
            out[length++] = *p;
        } else {
            out[length++] = *p == '\\' ? '/' : *p;
        }
    }
    out[length] = '\0';
    return true;
}

} // namespace posix
