// The headers of a PE32 or PE32+ image, read with every offset and size
// checked against the file, so that hostile executables are refused with a
// message rather than read out of bounds.
#pragma once

#include "bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vempack {

// Indexes into the optional header's data directories.
constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kCertificateDirectory = 4;

struct PeSection {
    std::string name; // up to 8 bytes, without the zero padding
    std::uint32_t virtualSize = 0;
    std::uint32_t virtualAddress = 0;
    std::uint32_t sizeOfRawData = 0;
    std::uint32_t pointerToRawData = 0;
    std::uint32_t characteristics = 0;
    std::size_t headerOffset = 0; // of its 40-byte entry in the section table
};

struct PeDataDirectory {
    std::uint32_t address = 0; // an RVA; a file offset for the certificate table
    std::uint32_t size = 0;
};

struct PeImage {
    bool pe32Plus = false;
    std::size_t optionalHeaderOffset = 0;
    std::uint32_t sectionAlignment = 0;
    std::uint32_t fileAlignment = 0;
    std::uint32_t sizeOfHeaders = 0;
    std::vector<PeSection> sections;
    std::vector<PeDataDirectory> directories;
    std::size_t directoriesOffset = 0;
    // Where the sections' raw data ends in the file (at least sizeOfHeaders).
    std::uint64_t endOfSectionData = 0;
};

// Offsets of fields in the optional header, the same in PE32 and PE32+.
constexpr std::size_t kSizeOfInitializedDataField = 8;
constexpr std::size_t kSizeOfImageField = 56;
constexpr std::size_t kCheckSumField = 64;

// True when `file` begins like a DOS/PE executable ("MZ").
bool looksLikeExecutable(const Bytes& file);

// Parses the headers and the section table; fails with "not a PE32/PE32+
// image: ..." or a description of the first inconsistency found.
PeImage parsePeImage(const Bytes& file);

PeDataDirectory dataDirectory(const PeImage& image, std::uint32_t index);

// The `size` bytes at `rva`, which must lie within one section's raw data;
// fails naming `what` otherwise.
const std::uint8_t* bytesAtRva(const PeImage& image, const Bytes& file, std::uint64_t rva,
                               std::uint64_t size, const std::string& what);

// The image checksum as Windows computes it: a 16-bit one's-complement sum
// of the file with the checksum field taken as zero, plus the file's length.
std::uint32_t peChecksum(const Bytes& file, std::size_t checksumOffset);

// Overwrites `width` bytes of `out` at `offset` with `value`, little-endian.
inline void storeLe(Bytes& out, std::size_t offset, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline std::uint64_t alignUp(std::uint64_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

} // namespace vempack
