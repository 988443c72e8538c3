// Serialises a package archive.
#include "archive.h"
#include "error.h"

namespace vempack {

Bytes writeArchive(const Package& package) {
    std::uint64_t total = kPackageHeaderSize;
    for (const PackageEntry& entry : package.entries) {
        total += recordSize(entry.name.size(), entry.data.size());
    }
    if (total > kMaxArchiveSize) {
        refuse("the archive would be " + std::to_string(total) + " bytes; at most " +
               std::to_string(kMaxArchiveSize) + " are allowed");
    }

    Bytes out(kPackageMagic, kPackageMagic + sizeof kPackageMagic);
    out.reserve(static_cast<std::size_t>(total));
    appendLe32(out, static_cast<std::uint32_t>(package.entries.size()));
    appendLe32(out, package.designationFlag);
    appendLe32(out, static_cast<std::uint32_t>(package.designatedIndex));
    for (const PackageEntry& entry : package.entries) {
        appendLe32(out, static_cast<std::uint32_t>(entry.name.size()));
        out.insert(out.end(), entry.name.begin(), entry.name.end());
        appendLe32(out, static_cast<std::uint32_t>(entry.data.size()));
        out.insert(out.end(), entry.data.begin(), entry.data.end());
    }
    return out;
}

} // namespace vempack
