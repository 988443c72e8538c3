// The package archive (format/package_format.h) as the packer holds it.
#pragma once

#include "bytes.h"
#include "format/package_format.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vempack {

// The stub sizes its output buffer from the low 32 bits of the .lzma header,
// so neither an entry nor the whole archive may reach 4 GiB.
constexpr std::uint64_t kMaxArchiveSize = 0xFFFFFFFFu;

struct PackageEntry {
    std::string name;
    Bytes data;
};

struct Package {
    std::uint32_t designationFlag = 0;
    std::int32_t designatedIndex = -1;
    std::vector<PackageEntry> entries;
};

// Bytes one record takes in the archive.
inline std::uint64_t recordSize(std::uint64_t nameLength, std::uint64_t dataSize) {
    return kRecordFieldsSize + nameLength + dataSize;
}

// The entry the stub would start, if the header designates an existing one.
inline std::optional<std::size_t> designatedEntry(const Package& package) {
    if (package.designationFlag == 0 || package.designatedIndex < 0 ||
        static_cast<std::size_t>(package.designatedIndex) >= package.entries.size()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(package.designatedIndex);
}

// Serialises `package`; refuses an archive of 4 GiB or more.
Bytes writeArchive(const Package& package);

// Parses an archive strictly: a wrong magic, a negative count, a record cut
// short or bytes after the last record are errors that say what is wrong.
// Names are not judged here (see names.h).
Package readArchive(const Bytes& archive);

} // namespace vempack
