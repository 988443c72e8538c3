// Reads the headers and section table of a PE image, bounds-checked.
#include "pe_image.h"

#include "error.h"

#include <algorithm>

namespace vempack {
namespace {

constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kNewHeaderPointer = 0x3C;
constexpr std::size_t kCoffHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
// The loader refuses more; the limit also bounds what a hostile count costs.
constexpr std::uint32_t kMaxSections = 96;

[[noreturn]] void notPe(const std::string& why) {
    fail("not a PE32/PE32+ image: " + why);
}

bool isPowerOfTwo(std::uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// Reads `width` bytes at `offset`, failing when they are not all in `file`.
std::uint64_t field(const Bytes& file, std::uint64_t offset, std::size_t width, const char* what) {
    if (offset > file.size() || file.size() - offset < width) {
        notPe(std::string("the file ends inside ") + what);
    }
    return loadLe(file.data() + offset, width);
}

} // namespace

bool looksLikeExecutable(const Bytes& file) {
    return file.size() >= 2 && file[0] == 'M' && file[1] == 'Z';
}

PeImage parsePeImage(const Bytes& file) {
    if (!looksLikeExecutable(file) || file.size() < kDosHeaderSize) {
        notPe("no DOS header (\"MZ\")");
    }
    const std::uint64_t peOffset = field(file, kNewHeaderPointer, 4, "the DOS header");
    if (field(file, peOffset, 4, "the PE signature") != 0x00004550) {
        notPe("no \"PE\" signature where the DOS header points");
    }
    const std::uint64_t coff = peOffset + 4;
    const auto sectionCount =
        static_cast<std::uint32_t>(field(file, coff + 2, 2, "the COFF header"));
    const auto optionalSize =
        static_cast<std::uint32_t>(field(file, coff + 16, 2, "the COFF header"));

    PeImage image;
    image.optionalHeaderOffset = static_cast<std::size_t>(coff + kCoffHeaderSize);
    const std::uint64_t optional = image.optionalHeaderOffset;
    const auto magic = field(file, optional, 2, "the optional header");
    if (magic != kPe32Magic && magic != kPe32PlusMagic) {
        notPe("the optional header's magic is neither PE32 nor PE32+");
    }
    image.pe32Plus = magic == kPe32PlusMagic;
    const std::size_t countField = image.pe32Plus ? 108 : 92;
    image.directoriesOffset = static_cast<std::size_t>(optional + countField + 4);
    if (optionalSize < countField + 4) {
        notPe("the optional header is too short");
    }
    if (optionalSize > file.size() - optional) {
        notPe("the file ends inside the optional header");
    }
    image.sectionAlignment = static_cast<std::uint32_t>(field(file, optional + 32, 4, "headers"));
    image.fileAlignment = static_cast<std::uint32_t>(field(file, optional + 36, 4, "headers"));
    image.sizeOfHeaders = static_cast<std::uint32_t>(field(file, optional + 60, 4, "headers"));
    if (!isPowerOfTwo(image.fileAlignment) || !isPowerOfTwo(image.sectionAlignment) ||
        image.sectionAlignment < image.fileAlignment) {
        fail("the image's file or section alignment is not a power of two, or the section "
             "alignment is below the file alignment");
    }

    // Only the directories that the optional header has room for count.
    const std::uint64_t directoryCount = std::min<std::uint64_t>(
        field(file, optional + countField, 4, "headers"), (optionalSize - countField - 4) / 8);
    for (std::uint64_t i = 0; i < directoryCount && i < 16; ++i) {
        const std::uint64_t at = image.directoriesOffset + 8 * i;
        image.directories.push_back(
            {static_cast<std::uint32_t>(field(file, at, 4, "headers")),
             static_cast<std::uint32_t>(field(file, at + 4, 4, "headers"))});
    }

    if (sectionCount == 0 || sectionCount > kMaxSections) {
        notPe("it has " + std::to_string(sectionCount) + " sections");
    }
    const std::uint64_t table = optional + optionalSize;
    const std::uint64_t tableEnd = table + kSectionHeaderSize * sectionCount;
    if (tableEnd > file.size() || tableEnd > image.sizeOfHeaders) {
        notPe("the section table lies outside the headers or the file");
    }
    image.endOfSectionData = image.sizeOfHeaders;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t at = table + kSectionHeaderSize * i;
        PeSection section;
        const char* name = reinterpret_cast<const char*>(file.data() + at);
        section.name.assign(name, std::find(name, name + 8, '\0'));
        section.virtualSize = static_cast<std::uint32_t>(field(file, at + 8, 4, "a section"));
        section.virtualAddress = static_cast<std::uint32_t>(field(file, at + 12, 4, "a section"));
        section.sizeOfRawData = static_cast<std::uint32_t>(field(file, at + 16, 4, "a section"));
        section.pointerToRawData = static_cast<std::uint32_t>(field(file, at + 20, 4, "a section"));
        section.characteristics = static_cast<std::uint32_t>(field(file, at + 36, 4, "a section"));
        section.headerOffset = static_cast<std::size_t>(at);
        const std::uint64_t rawEnd =
            static_cast<std::uint64_t>(section.pointerToRawData) + section.sizeOfRawData;
        if (section.sizeOfRawData != 0 && rawEnd > file.size()) {
            fail("section " + std::to_string(i) + " (" + section.name +
                 ") claims raw data beyond the end of the file");
        }
        if (section.sizeOfRawData != 0) {
            image.endOfSectionData = std::max(image.endOfSectionData, rawEnd);
        }
        image.sections.push_back(section);
    }
    if (image.sizeOfHeaders > file.size()) {
        notPe("the headers are larger than the file");
    }
    return image;
}

PeDataDirectory dataDirectory(const PeImage& image, std::uint32_t index) {
    return index < image.directories.size() ? image.directories[index] : PeDataDirectory{};
}

const std::uint8_t* bytesAtRva(const PeImage& image, const Bytes& file, std::uint64_t rva,
                               std::uint64_t size, const std::string& what) {
    for (const PeSection& section : image.sections) {
        const std::uint64_t start = section.virtualAddress;
        // Raw data past the virtual size is padding, not part of the image.
        std::uint64_t rawSize = section.sizeOfRawData;
        if (section.virtualSize != 0 && section.virtualSize < rawSize) {
            rawSize = section.virtualSize;
        }
        if (rva >= start && rva - start <= rawSize && size <= rawSize - (rva - start)) {
            // parsePeImage has checked that the raw data lies in the file.
            return file.data() + section.pointerToRawData + (rva - start);
        }
    }
    fail(what + " (" + std::to_string(size) + " bytes at RVA " + std::to_string(rva) +
         ") does not lie within a section's data");
}

std::uint32_t peChecksum(const Bytes& file, std::size_t checksumOffset) {
    std::uint64_t sum = 0;
    const auto byteAt = [&](std::size_t i) -> std::uint32_t {
        const bool inField = i >= checksumOffset && i - checksumOffset < 4;
        return i < file.size() && !inField ? file[i] : 0;
    };
    for (std::size_t i = 0; i < file.size(); i += 2) {
        sum += byteAt(i) | byteAt(i + 1) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + file.size());
}

} // namespace vempack
