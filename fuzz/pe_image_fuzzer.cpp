// Fuzzes the packer's PE reader and writer: any bytes as a setup executable
// or a stub. Reading either refuses the input with a ToolError or yields its
// resources; whatever is read is then written as `vempack build` would
// write it (the payload replaced, the signature dropped). The writer either
// refuses with a message, or the image it returns reads back with exactly
// the resources wanted. The packer checks that itself before it reports
// success; this target checks it again on its own, and counts a refusal by
// the packer's check as a finding too, since it means the writer erred.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "error.h"
#include "pe_image.h"
#include "pe_resources.h"
#include "pe_rewrite.h"

namespace {

using namespace vempack;

// As fuzz/support/finding.h reports one, which this target does not link.
[[noreturn]] void finding(const char* what, const std::string& detail) {
    fprintf(stderr, "fuzz target: %s: %s\n", what, detail.c_str());
    abort();
}

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
    } catch (const ReadBackError& e) {
        // The packer's own check caught what its writer got wrong: safe,
        // but a fault to fix.
        finding("the packer's read-back check refused the rewrite", e.what());
    } catch (const ToolError& e) {
        if (*e.what() == '\0') {
            finding("the rewrite was refused without a message", "");
        }
        return 0;
    }
    std::vector<Resource> again;
    try {
        again = readResources(parsePeImage(rewritten), rewritten);
    } catch (const ToolError& e) {
        finding("the rewritten image does not read back", e.what());
    }
    if (again.size() != wanted.size()) {
        finding("the rewritten image holds other resources",
                std::to_string(again.size()) + " instead of " + std::to_string(wanted.size()));
    }
    for (const Resource& resource : wanted) {
        bool found = false;
        for (const Resource& other : again) {
            found = found || sameResource(resource, other);
        }
        if (!found) {
            finding("the rewritten image lost or changed a resource", describeResource(resource));
        }
    }
    return 0;
}
