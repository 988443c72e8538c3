// Where the fields of a PE image's structures lie, so that no field is a
// bare number: offsets from the start of the structure that the namespace
// names, and the values the packer compares them with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vempack::pe {

namespace dosHeader {
constexpr std::size_t kSize = 64;
constexpr std::size_t kNewHeaderOffset = 0x3C; // e_lfanew: where the PE signature is
} // namespace dosHeader

constexpr std::uint32_t kSignature = 0x00004550; // "PE\0\0"
constexpr std::size_t kSignatureSize = 4;

// The COFF file header, right after the signature.
namespace coffHeader {
constexpr std::size_t kMachine = 0;
constexpr std::size_t kNumberOfSections = 2;
constexpr std::size_t kSizeOfOptionalHeader = 16;
constexpr std::size_t kSize = 20;
} // namespace coffHeader

// The optional header, right after the file header. The fields up to the
// checksum lie alike in PE32 and PE32+; PE32+ widens ImageBase and the stack
// and heap sizes, which moves the data directories.
namespace optionalHeader {
constexpr std::size_t kMagic = 0;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::size_t kSizeOfInitializedData = 8;
constexpr std::size_t kSectionAlignment = 32;
constexpr std::size_t kFileAlignment = 36;
constexpr std::size_t kSizeOfImage = 56;
constexpr std::size_t kSizeOfHeaders = 60;
constexpr std::size_t kCheckSum = 64;
// NumberOfRvaAndSizes; the data directories follow it.
constexpr std::size_t kDirectoryCountPe32 = 92;
constexpr std::size_t kDirectoryCountPe32Plus = 108;
constexpr std::size_t kDirectoryCountSize = 4;
} // namespace optionalHeader

// One entry of the data directories, and the entries the packer uses.
namespace directory {
constexpr std::size_t kAddress = 0; // an RVA; a file offset for the certificate table
constexpr std::size_t kSize = 4;
constexpr std::size_t kEntrySize = 8;
constexpr std::uint32_t kMaxCount = 16;
constexpr std::uint32_t kResource = 2;
constexpr std::uint32_t kCertificate = 4;
} // namespace directory

// One entry of the section table.
namespace sectionHeader {
constexpr std::size_t kName = 0;
constexpr std::size_t kNameSize = 8;
constexpr std::size_t kVirtualSize = 8;
constexpr std::size_t kVirtualAddress = 12;
constexpr std::size_t kSizeOfRawData = 16;
constexpr std::size_t kPointerToRawData = 20;
constexpr std::size_t kCharacteristics = 36;
constexpr std::size_t kSize = 40;
constexpr std::uint32_t kInitializedData = 0x00000040; // a flag of kCharacteristics
} // namespace sectionHeader

// A resource directory: flags, time stamp and version, then the counts of
// the named and the numbered entries that follow it.
namespace resourceDirectory {
constexpr std::size_t kNamedEntryCount = 12;
constexpr std::size_t kIdEntryCount = 14;
constexpr std::size_t kSize = 16;
} // namespace resourceDirectory

// An entry of a resource directory. With the high bit set, kName holds the
// offset of a name rather than a number, and kTarget that of a directory
// rather than a data entry; offsets count from the root directory.
namespace resourceEntry {
constexpr std::size_t kName = 0;
constexpr std::size_t kTarget = 4;
constexpr std::size_t kSize = 8;
constexpr std::uint32_t kHighBit = 0x80000000u;
} // namespace resourceEntry

// The leaf of the resource tree: where the data is (an RVA), its size and
// its code page.
namespace resourceDataEntry {
constexpr std::size_t kDataRva = 0;
constexpr std::size_t kDataSize = 4;
constexpr std::size_t kCodePage = 8;
constexpr std::size_t kSize = 16;
} // namespace resourceDataEntry

// A resource name: a count of UTF-16 code units, then the units.
namespace resourceString {
constexpr std::size_t kLength = 0;
constexpr std::size_t kUnits = 2;
} // namespace resourceString

} // namespace vempack::pe
