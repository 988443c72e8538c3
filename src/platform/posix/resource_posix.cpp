// The payload embedded in the executable itself (payload_blob.S), found by
// the resource type and id that Windows would look it up by.
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/posix/posix_impl.h"

// Weak, so that programs linked without a payload (the tests) see none.
extern "C" const unsigned char vemsetup_payload_start[] __attribute__((weak));
extern "C" const unsigned char vemsetup_payload_end[] __attribute__((weak));

namespace posix {

platform::ResourceBytes loadResource(const char* type, uint16_t id) {
    platform::ResourceBytes resource = {nullptr, 0};
    if (strcmp(type, "PACKAGE") != 0 || id != 105 || vemsetup_payload_start == nullptr ||
        vemsetup_payload_end == nullptr) {
        return resource;
    }
    resource.bytes = vemsetup_payload_start;
    resource.size = static_cast<uint32_t>(vemsetup_payload_end - vemsetup_payload_start);
    return resource;
}

void releaseResource(platform::ResourceBytes resource) {
    // Only the embedded payload's own pages: dropping anonymous pages would
    // zero them.
    if (resource.size == 0 || resource.bytes != vemsetup_payload_start) {
        return;
    }
    // Only whole pages inside the payload: the file-backed pages are dropped
    // and would be read from the executable again if touched.
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t start = (reinterpret_cast<uintptr_t>(resource.bytes) + page - 1) & ~(page - 1);
    const uintptr_t end =
        (reinterpret_cast<uintptr_t>(resource.bytes) + resource.size) & ~(page - 1);
    if (end > start) {
        madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED);
    }
}

} // namespace posix
