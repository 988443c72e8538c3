// Writes a new resource section into a PE image whose resource section is
// its last: the rest of the image stays byte for byte as it was.
#pragma once

#include "bytes.h"
#include "pe_resources.h"

#include <vector>

namespace vempack {

struct RewriteOptions {
    // Drop an Authenticode signature instead of refusing the image: the
    // signature would not match the new contents anyway.
    bool stripSignature = false;
};

// Returns `image` with its resource section replaced by one holding
// `resources`. Updates the section's sizes, SizeOfImage,
// SizeOfInitializedData, the resource directory entry and the checksum, and
// drops the certificate table. Refuses an image it cannot rewrite without
// losing something: not PE32/PE32+, the resource section not last, data
// after the sections (an overlay), or a signature without
// `stripSignature`.
Bytes replaceResources(const Bytes& image, const std::vector<Resource>& resources,
                       const RewriteOptions& options);

} // namespace vempack
