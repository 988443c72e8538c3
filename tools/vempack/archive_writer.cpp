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
    appendLe(out, package.entries.size(), 4);
    appendLe(out, package.designationFlag, 4);
    appendLe(out, static_cast<std::uint32_t>(package.designatedIndex), 4);
    for (const PackageEntry& entry : package.entries) {
        appendLe(out, entry.name.size(), 4);
        out.insert(out.end(), entry.name.begin(), entry.name.end());
        appendLe(out, entry.data.size(), 4);
        out.insert(out.end(), entry.data.begin(), entry.data.end());
    }
    return out;
}

} // namespace vempack
