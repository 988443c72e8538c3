// A small PE32 image made in memory for the packer's PE tests: headers, a
// .text section and a resource section, optionally followed by another
// section, an overlay or a certificate table.
#pragma once

#include "bytes.h"
#include "pe_image.h"
#include "pe_layout.h"
#include "pe_resources.h"

#include <string>
#include <vector>

namespace vempack_test {

struct TestImageShape {
    bool pe32Plus = false;
    bool relocAfterResources = false; // a .reloc section after .rsrc
    vempack::Bytes overlay;           // bytes appended after the sections
    vempack::Bytes certificate;       // a certificate table after the sections
};

// A manifest and a version-like resource under a string type, as a linker
// would leave them.
inline std::vector<vempack::Resource> stubResources() {
    using vempack::resourceId;
    return {{resourceId(24), resourceId(1), 1033, 0, {'<', 'x', '/', '>'}},
            {resourceId(16), resourceId(1), 1033, 0, vempack::Bytes(100, 0x16)},
            {vempack::resourceName("OTHER"), vempack::resourceName("NAMED"), 0, 1252, {1, 2, 3}}};
}

// Section 0 is .text (RVA 0x1000, file offset 0x200), section 1 .rsrc
// (RVA 0x2000, file offset 0x400); alignments 0x1000 and 0x200.
inline vempack::Bytes makeTestImage(const TestImageShape& shape = {}) {
    namespace pe = vempack::pe;
    namespace opt = pe::optionalHeader;
    namespace sec = pe::sectionHeader;
    using vempack::storeLe;
    constexpr std::size_t peOffset = 0x40;
    const std::size_t optionalSize = shape.pe32Plus ? 240 : 224;
    const std::size_t coff = peOffset + pe::kSignatureSize;
    const std::size_t optional = coff + pe::coffHeader::kSize;
    const std::size_t table = optional + optionalSize;
    const std::uint32_t sections = shape.relocAfterResources ? 3 : 2;
    const vempack::Bytes resources = vempack::writeResourceSection(stubResources(), 0x2000);
    const std::uint32_t rsrcRaw =
        static_cast<std::uint32_t>(vempack::alignUp(resources.size(), 0x200));

    vempack::Bytes image(0x400 + rsrcRaw + (shape.relocAfterResources ? 0x200 : 0));
    image[0] = 'M';
    image[1] = 'Z';
    storeLe(image, pe::dosHeader::kNewHeaderOffset, peOffset, 4);
    storeLe(image, peOffset, pe::kSignature, 4);
    storeLe(image, coff + pe::coffHeader::kMachine, shape.pe32Plus ? 0x8664 : 0x14C, 2);
    storeLe(image, coff + pe::coffHeader::kNumberOfSections, sections, 2);
    storeLe(image, coff + pe::coffHeader::kSizeOfOptionalHeader, optionalSize, 2);
    storeLe(image, optional + opt::kMagic, shape.pe32Plus ? opt::kPe32PlusMagic : opt::kPe32Magic,
            2);
    storeLe(image, optional + opt::kSizeOfInitializedData, 0x200 + rsrcRaw, 4);
    storeLe(image, optional + opt::kSectionAlignment, 0x1000, 4);
    storeLe(image, optional + opt::kFileAlignment, 0x200, 4);
    storeLe(image, optional + opt::kSizeOfImage, shape.relocAfterResources ? 0x4000 : 0x3000, 4);
    storeLe(image, optional + opt::kSizeOfHeaders, 0x200, 4);
    const std::size_t count =
        optional + (shape.pe32Plus ? opt::kDirectoryCountPe32Plus : opt::kDirectoryCountPe32);
    storeLe(image, count, pe::directory::kMaxCount, 4);
    const auto directory = [&](std::uint32_t index) {
        return count + opt::kDirectoryCountSize + pe::directory::kEntrySize * index;
    };
    storeLe(image, directory(pe::directory::kResource) + pe::directory::kAddress, 0x2000, 4);
    storeLe(image, directory(pe::directory::kResource) + pe::directory::kSize, resources.size(), 4);

    const auto section = [&](std::uint32_t index, const char* name, std::uint32_t rva,
                             std::uint32_t size, std::uint32_t raw, std::uint32_t flags) {
        const std::size_t at = table + sec::kSize * index;
        for (std::size_t i = 0; name[i] != '\0'; ++i) {
            image[at + sec::kName + i] = static_cast<std::uint8_t>(name[i]);
        }
        storeLe(image, at + sec::kVirtualSize, size, 4);
        storeLe(image, at + sec::kVirtualAddress, rva, 4);
        storeLe(image, at + sec::kSizeOfRawData, vempack::alignUp(size, 0x200), 4);
        storeLe(image, at + sec::kPointerToRawData, raw, 4);
        storeLe(image, at + sec::kCharacteristics, flags, 4);
    };
    section(0, ".text", 0x1000, 0x10, 0x200, 0x60000020);
    image[0x200] = 0xC3;
    section(1, ".rsrc", 0x2000, static_cast<std::uint32_t>(resources.size()), 0x400, 0x40000040);
    std::copy(resources.begin(), resources.end(), image.begin() + 0x400);
    if (shape.relocAfterResources) {
        section(2, ".reloc", 0x3000, 0x10, 0x400 + rsrcRaw, 0x42000040);
    }
    image.insert(image.end(), shape.overlay.begin(), shape.overlay.end());
    if (!shape.certificate.empty()) {
        const std::size_t entry = directory(pe::directory::kCertificate);
        storeLe(image, entry + pe::directory::kAddress, image.size(), 4);
        storeLe(image, entry + pe::directory::kSize, shape.certificate.size(), 4);
        image.insert(image.end(), shape.certificate.begin(), shape.certificate.end());
    }
    storeLe(image, optional + opt::kCheckSum, vempack::peChecksum(image, optional + opt::kCheckSum),
            4);
    return image;
}

// Overwrites a 32-bit field (pe::sectionHeader::k...) of section `index`,
// found without parsing the image, which may already be malformed.
inline void setSectionField(vempack::Bytes& image, std::size_t index, std::size_t field,
                            std::uint32_t value) {
    namespace pe = vempack::pe;
    const std::size_t coff =
        vempack::loadLe32(&image[pe::dosHeader::kNewHeaderOffset]) + pe::kSignatureSize;
    const std::size_t table =
        coff + pe::coffHeader::kSize +
        vempack::loadLe16(&image[coff + pe::coffHeader::kSizeOfOptionalHeader]);
    vempack::storeLe32(image, table + pe::sectionHeader::kSize * index + field, value);
}

} // namespace vempack_test
