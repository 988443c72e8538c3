// The payload embedded in the executable itself (payload_blob.S), found by
// the resource type and id that Windows would look it up by.
#include <string.h>

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

} // namespace posix
