// Writes a new resource section into a PE image whose resource section is
// its last: the rest of the image stays byte for byte as it was.
#pragma once

#include "bytes.h"
#include "error.h"
#include "pe_resources.h"

#include <string>
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
// losing something: not PE32/PE32+, sections misaligned or overlapping, the
// resource section not last or holding another data directory's table,
// data after the sections (an overlay), or a signature without
// `stripSignature`. The result is read back (checkWrittenResources) before
// it is returned.
Bytes replaceResources(const Bytes& image, const std::vector<Resource>& resources,
                       const RewriteOptions& options);

// The refusal of checkWrittenResources: the writer made an image that does
// not hold what it was given, which the fuzz target counts as a finding.
class ReadBackError : public ToolError {
  public:
    explicit ReadBackError(const std::string& message) : ToolError(kExitRefused, message) {}
};

// Throws ReadBackError unless `image` parses and its resources are exactly
// `wanted`: type, name, language, code page and data, in any order.
void checkWrittenResources(const Bytes& image, const std::vector<Resource>& wanted);

} // namespace vempack
