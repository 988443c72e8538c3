// Fuzzes the packer's PE reader and writer: any bytes as a setup executable
// or a stub. Reading either refuses the input with a ToolError or yields its
// resources; whatever is read is then written as `vempack build` would
// write it (the payload replaced, the signature dropped), and the written
// image must read back with exactly those resources.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "error.h"
#include "pe_image.h"
#include "pe_resources.h"
#include "pe_rewrite.h"

namespace {

using namespace vempack;

bool sameResource(const Resource& a, const Resource& b) {
    return a.type == b.type && a.name == b.name && a.language == b.language &&
           a.codePage == b.codePage && a.data == b.data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Bytes file(data, data + size);
    std::vector<Resource> resources;
    try {
        resources = readResources(parsePeImage(file), file);
    } catch (const ToolError&) {
        return 0;
    }
    std::vector<Resource> wanted;
    for (const Resource& resource : resources) {
        if (!(resource.type == payloadType() && resource.name == resourceId(kPayloadId))) {
            wanted.push_back(resource);
        }
    }
    wanted.push_back({payloadType(), resourceId(kPayloadId), 0, 0, Bytes{0x5D, 0, 0, 0x80, 0}});
    Bytes rewritten;
    try {
        RewriteOptions options;
        options.stripSignature = true;
        rewritten = replaceResources(file, wanted, options);
    } catch (const ToolError&) {
        return 0;
    }
    const std::vector<Resource> again = readResources(parsePeImage(rewritten), rewritten);
    if (again.size() != wanted.size()) {
        abort();
    }
    for (const Resource& resource : wanted) {
        bool found = false;
        for (const Resource& other : again) {
            found = found || sameResource(resource, other);
        }
        if (!found) {
            abort();
        }
    }
    return 0;
}
