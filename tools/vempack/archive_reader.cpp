// Parses a package archive, refusing anything that is not exactly one.
#include "archive.h"
#include "error.h"

#include <cstring>
#include <utility>

namespace vempack {
namespace {

// Reads fields front to back; every read is bounded by what is left.
class Cursor {
  public:
    explicit Cursor(const Bytes& bytes) : bytes_(bytes) {}

    std::size_t offset() const { return offset_; }
    std::size_t remaining() const { return bytes_.size() - offset_; }

    const std::uint8_t* take(std::uint64_t count, const std::string& what) {
        if (count > remaining()) {
            fail("the archive is truncated: " + what + " needs " + std::to_string(count) +
                 " bytes at offset " + std::to_string(offset_) + ", but only " +
                 std::to_string(remaining()) + " remain");
        }
        const std::uint8_t* start = bytes_.data() + offset_;
        offset_ += static_cast<std::size_t>(count);
        return start;
    }

    std::uint32_t take32(const std::string& what) { return loadLe32(take(4, what)); }

  private:
    const Bytes& bytes_;
    std::size_t offset_ = 0;
};

} // namespace

Package readArchive(const Bytes& archive) {
    if (archive.size() < sizeof kPackageMagic ||
        std::memcmp(archive.data(), kPackageMagic, sizeof kPackageMagic) != 0) {
        fail("not a package archive: it does not begin with \"HEN\"");
    }
    Cursor cursor(archive);
    cursor.take(sizeof kPackageMagic, "the magic");
    const auto count = static_cast<std::int32_t>(cursor.take32("the entry count"));
    Package package;
    package.designationFlag = cursor.take32("the designation flag");
    package.designatedIndex = static_cast<std::int32_t>(cursor.take32("the designated index"));
    if (count < 0) {
        fail("the entry count " + std::to_string(count) + " is negative");
    }
    // Each record takes at least 8 bytes: a count that the data cannot hold is
    // refused before anything is reserved for it.
    const std::uint64_t leastNeeded = recordSize(0, 0) * static_cast<std::uint64_t>(count);
    if (leastNeeded > cursor.remaining()) {
        fail("the archive is truncated: " + std::to_string(count) + " entries need at least " +
             std::to_string(leastNeeded) + " bytes after the header, but only " +
             std::to_string(cursor.remaining()) + " remain");
    }

    package.entries.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        const std::string entry = "entry " + std::to_string(i) + "'s ";
        PackageEntry record;
        const std::uint32_t nameLength = cursor.take32(entry + "name length");
        const std::uint8_t* name = cursor.take(nameLength, entry + "name");
        record.name.assign(name, name + nameLength);
        const std::uint32_t dataSize = cursor.take32(entry + "data size");
        const std::uint8_t* data = cursor.take(dataSize, entry + "data");
        record.data.assign(data, data + dataSize);
        package.entries.push_back(std::move(record));
    }
    if (cursor.remaining() != 0) {
        fail(std::to_string(cursor.remaining()) + " bytes follow the last entry at offset " +
             std::to_string(cursor.offset()));
    }
    return package;
}

} // namespace vempack
