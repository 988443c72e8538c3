// Reads the headers and section table of a PE image, bounds-checked.
#include "pe_image.h"

#include "error.h"

#include <algorithm>
#include <cstdio>

namespace vempack {
namespace {

namespace coff = pe::coffHeader;
namespace opt = pe::optionalHeader;
namespace sec = pe::sectionHeader;

// The loader refuses more; the limit also bounds what a hostile count costs.
constexpr std::uint32_t kMaxSections = 96;
// With a smaller section alignment the loader maps the file as it lies.
constexpr std::uint32_t kPageSize = 0x1000;

[[noreturn]] void notPe(const std::string& why) {
    fail("not a PE32/PE32+ image: " + why);
}

bool isPowerOfTwo(std::uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

std::string hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

// Reads `width` bytes at `offset`, failing when they are not all in `file`.
std::uint64_t field(const Bytes& file, std::uint64_t offset, std::size_t width, const char* what) {
    if (offset > file.size() || file.size() - offset < width) {
        notPe(std::string("the file ends inside ") + what);
    }
    return loadLe(file.data() + offset, width);
}

std::uint32_t field32(const Bytes& file, std::uint64_t offset, const char* what) {
    return static_cast<std::uint32_t>(field(file, offset, 4, what));
}

// What one part of the image occupies, in memory (RVAs) or in the file.
struct Extent {
    std::uint64_t begin;
    std::uint64_t end;
    std::string owner;
};

void checkNoOverlap(const std::vector<Extent>& extents, const std::string& where) {
    for (std::size_t i = 0; i < extents.size(); ++i) {
        for (std::size_t k = i + 1; k < extents.size(); ++k) {
            const Extent& a = extents[i];
            const Extent& b = extents[k];
            if (a.begin < b.end && b.begin < a.end) {
                fail(a.owner + " and " + b.owner + " overlap " + where + " (" + hex(a.begin) + "-" +
                     hex(a.end) + " and " + hex(b.begin) + "-" + hex(b.end) + ")");
            }
        }
    }
}

// Where two sections share an address, or where a section's bytes are
// not where the loader takes them from, a reader can take the resource
// tree from other bytes than the loader, and a rewrite of one section can
// change another: such images are refused.
void checkSectionLayout(const PeImage& image) {
    std::vector<Extent> memory{{0, image.sizeOfHeaders, "the headers"}};
    std::vector<Extent> inFile = memory;
    for (const PeSection& section : image.sections) {
        const std::string name = describeSection(section);
        if (section.virtualAddress % image.sectionAlignment != 0) {
            fail(name + " starts at RVA " + hex(section.virtualAddress) +
                 ", not at a multiple of the section alignment " + hex(image.sectionAlignment));
        }
        // The loader gives a section without a virtual size its raw size.
        const std::uint32_t mapped =
            section.virtualSize != 0 ? section.virtualSize : section.sizeOfRawData;
        memory.push_back(
            {section.virtualAddress, std::uint64_t{section.virtualAddress} + mapped, name});
        if (section.sizeOfRawData == 0) {
            continue; // no bytes in the file, so its file offset means nothing
        }
        if (section.pointerToRawData % image.fileAlignment != 0 ||
            section.sizeOfRawData % image.fileAlignment != 0) {
            fail(name + "'s raw data (" + hex(section.sizeOfRawData) + " bytes at file offset " +
                 hex(section.pointerToRawData) + ") is not aligned to the file alignment " +
                 hex(image.fileAlignment));
        }
        if (image.sectionAlignment < kPageSize &&
            section.pointerToRawData != section.virtualAddress) {
            fail(name + "'s raw data lies at file offset " + hex(section.pointerToRawData) +
                 ", not at its RVA " + hex(section.virtualAddress) +
                 ", as a section alignment below a page requires");
        }
        inFile.push_back({section.pointerToRawData,
                          std::uint64_t{section.pointerToRawData} + section.sizeOfRawData, name});
    }
    checkNoOverlap(memory, "in memory");
    checkNoOverlap(inFile, "in the file");
}

} // namespace

bool looksLikeExecutable(const Bytes& file) {
    return file.size() >= 2 && file[0] == 'M' && file[1] == 'Z';
}

PeImage parsePeImage(const Bytes& file) {
    if (!looksLikeExecutable(file) || file.size() < pe::dosHeader::kSize) {
        notPe("no DOS header (\"MZ\")");
    }
    const std::uint64_t peOffset = field32(file, pe::dosHeader::kNewHeaderOffset, "the DOS header");
    if (field32(file, peOffset, "the PE signature") != pe::kSignature) {
        notPe("no \"PE\" signature where the DOS header points");
    }
    const std::uint64_t coff = peOffset + pe::kSignatureSize;
    const auto sectionCount = static_cast<std::uint32_t>(
        field(file, coff + coff::kNumberOfSections, 2, "the COFF header"));
    const auto optionalSize = static_cast<std::uint32_t>(
        field(file, coff + coff::kSizeOfOptionalHeader, 2, "the COFF header"));

    PeImage image;
    image.optionalHeaderOffset = static_cast<std::size_t>(coff + coff::kSize);
    const std::uint64_t optional = image.optionalHeaderOffset;
    const auto magic = field(file, optional + opt::kMagic, 2, "the optional header");
    if (magic != opt::kPe32Magic && magic != opt::kPe32PlusMagic) {
        notPe("the optional header's magic is neither PE32 nor PE32+");
    }
    image.pe32Plus = magic == opt::kPe32PlusMagic;
    const std::size_t countField =
        image.pe32Plus ? opt::kDirectoryCountPe32Plus : opt::kDirectoryCountPe32;
    const std::size_t directoriesField = countField + opt::kDirectoryCountSize;
    image.directoriesOffset = static_cast<std::size_t>(optional + directoriesField);
    if (optionalSize < directoriesField) {
        notPe("the optional header is too short");
    }
    if (optionalSize > file.size() - optional) {
        notPe("the file ends inside the optional header");
    }
    image.sectionAlignment = field32(file, optional + opt::kSectionAlignment, "headers");
    image.fileAlignment = field32(file, optional + opt::kFileAlignment, "headers");
    image.sizeOfHeaders = field32(file, optional + opt::kSizeOfHeaders, "headers");
    if (!isPowerOfTwo(image.fileAlignment) || !isPowerOfTwo(image.sectionAlignment) ||
        image.sectionAlignment < image.fileAlignment) {
        fail("the image's file or section alignment is not a power of two, or the section "
             "alignment is below the file alignment");
    }

    // Only the directories that the optional header has room for count.
    const std::uint64_t directoryCount = std::min<std::uint64_t>(
        {field32(file, optional + countField, "headers"),
         (optionalSize - directoriesField) / pe::directory::kEntrySize, pe::directory::kMaxCount});
    for (std::uint64_t i = 0; i < directoryCount; ++i) {
        const std::uint64_t at = image.directoriesOffset + pe::directory::kEntrySize * i;
        image.directories.push_back({field32(file, at + pe::directory::kAddress, "headers"),
                                     field32(file, at + pe::directory::kSize, "headers")});
    }

    if (sectionCount == 0 || sectionCount > kMaxSections) {
        notPe("it has " + std::to_string(sectionCount) + " sections");
    }
    const std::uint64_t table = optional + optionalSize;
    const std::uint64_t tableEnd = table + std::uint64_t{sec::kSize} * sectionCount;
    if (tableEnd > file.size() || tableEnd > image.sizeOfHeaders) {
        notPe("the section table lies outside the headers or the file");
    }
    image.endOfSectionData = image.sizeOfHeaders;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t at = table + std::uint64_t{sec::kSize} * i;
        PeSection section;
        const char* name = reinterpret_cast<const char*>(file.data() + at + sec::kName);
        section.name.assign(name, std::find(name, name + sec::kNameSize, '\0'));
        section.virtualSize = field32(file, at + sec::kVirtualSize, "a section");
        section.virtualAddress = field32(file, at + sec::kVirtualAddress, "a section");
        section.sizeOfRawData = field32(file, at + sec::kSizeOfRawData, "a section");
        section.pointerToRawData = field32(file, at + sec::kPointerToRawData, "a section");
        section.characteristics = field32(file, at + sec::kCharacteristics, "a section");
        section.index = i;
        section.headerOffset = static_cast<std::size_t>(at);
        const std::uint64_t rawEnd =
            static_cast<std::uint64_t>(section.pointerToRawData) + section.sizeOfRawData;
        if (section.sizeOfRawData != 0 && rawEnd > file.size()) {
            fail(describeSection(section) + " claims raw data beyond the end of the file");
        }
        if (section.sizeOfRawData != 0) {
            image.endOfSectionData = std::max(image.endOfSectionData, rawEnd);
        }
        image.sections.push_back(section);
    }
    if (image.sizeOfHeaders > file.size()) {
        notPe("the headers are larger than the file");
    }
    checkSectionLayout(image);
    return image;
}

PeDataDirectory dataDirectory(const PeImage& image, std::uint32_t index) {
    return index < image.directories.size() ? image.directories[index] : PeDataDirectory{};
}

std::string describeSection(const PeSection& section) {
    std::string text = "section " + std::to_string(section.index) + " \"";
    for (const char c : section.name) {
        text += c >= 0x20 && c < 0x7F && c != '"' ? c : '?';
    }
    return text + "\"";
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
