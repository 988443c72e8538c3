// The headers of a PE32 or PE32+ image, read with every offset and size
// checked against the file, so that hostile executables are refused with a
// message rather than read out of bounds.
#pragma once

#include "bytes.h"
#include "pe_layout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vempack {

struct PeSection {
    std::string name; // up to 8 bytes, without the zero padding
    std::uint32_t virtualSize = 0;
    std::uint32_t virtualAddress = 0;
    std::uint32_t sizeOfRawData = 0;
    std::uint32_t pointerToRawData = 0;
    std::uint32_t characteristics = 0;
    std::size_t index = 0;        // in the section table, from 0
    std::size_t headerOffset = 0; // of its entry in the section table
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

// True when `file` begins like a DOS/PE executable ("MZ").
bool looksLikeExecutable(const Bytes& file);

// Parses the headers and the section table; fails with "not a PE32/PE32+
// image: ..." or a description of the first inconsistency found. The
// sections must lie as the loader places them: each at a multiple of the
// section alignment, its raw data at and in multiples of the file alignment
// (at its RVA when the section alignment is below a page), and none
// overlapping another or the headers, in memory or in the file. Only then
// is every RVA in one section, so that the packer reads and writes the
// bytes that the loader maps.
PeImage parsePeImage(const Bytes& file);

PeDataDirectory dataDirectory(const PeImage& image, std::uint32_t index);

// The section for a message: `section 9 ".rsrc"`, printable whatever bytes
// the name holds.
std::string describeSection(const PeSection& section);

// The `size` bytes at `rva`, which must lie within one section's raw data;
// fails naming `what` otherwise.
const std::uint8_t* bytesAtRva(const PeImage& image, const Bytes& file, std::uint64_t rva,
                               std::uint64_t size, const std::string& what);

// The image checksum as Windows computes it: a 16-bit one's-complement sum
// of the file with the checksum field taken as zero, plus the file's length.
std::uint32_t peChecksum(const Bytes& file, std::size_t checksumOffset);

} // namespace vempack
