// A small PE32 image made in memory for the packer's PE tests: headers, a
// .text section and a resource section, optionally followed by another
// section, an overlay or a certificate table.
#pragma once

#include "bytes.h"
#include "pe_image.h"
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

inline void storeLe(vempack::Bytes& out, std::size_t offset, std::uint64_t value,
                    std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// A manifest and a version-like resource under a string type, as a linker
// would leave them.
inline std::vector<vempack::Resource> stubResources() {
    using vempack::resourceId;
    return {{resourceId(24), resourceId(1), 1033, 0, {'<', 'x', '/', '>'}},
            {resourceId(16), resourceId(1), 1033, 0, vempack::Bytes(100, 0x16)},
            {vempack::resourceName("OTHER"), vempack::resourceName("NAMED"), 0, 1252, {1, 2, 3}}};
}

inline vempack::Bytes makeTestImage(const TestImageShape& shape = {}) {
    constexpr std::size_t peOffset = 0x40;
    const std::size_t optionalSize = shape.pe32Plus ? 240 : 224;
    const std::size_t optional = peOffset + 24;
    const std::size_t table = optional + optionalSize;
    const std::uint32_t sections = shape.relocAfterResources ? 3 : 2;
    const vempack::Bytes resources = vempack::writeResourceSection(stubResources(), 0x2000);
    const std::uint32_t rsrcRaw =
        static_cast<std::uint32_t>(vempack::alignUp(resources.size(), 0x200));

    vempack::Bytes image(0x400 + rsrcRaw + (shape.relocAfterResources ? 0x200 : 0));
    image[0] = 'M';
    image[1] = 'Z';
    storeLe(image, 0x3C, peOffset, 4);
    storeLe(image, peOffset, 0x00004550, 4);
    storeLe(image, peOffset + 4, shape.pe32Plus ? 0x8664 : 0x14C, 2);
    storeLe(image, peOffset + 6, sections, 2);
    storeLe(image, peOffset + 20, optionalSize, 2);
    storeLe(image, optional, shape.pe32Plus ? 0x20B : 0x10B, 2);
    storeLe(image, optional + 8, 0x200 + rsrcRaw, 4); // SizeOfInitializedData
    storeLe(image, optional + 32, 0x1000, 4);
    storeLe(image, optional + 36, 0x200, 4);
    storeLe(image, optional + 56, shape.relocAfterResources ? 0x4000 : 0x3000, 4);
    storeLe(image, optional + 60, 0x200, 4);
    const std::size_t directories = optional + (shape.pe32Plus ? 112 : 96);
    storeLe(image, directories - 4, 16, 4);
    storeLe(image, directories + 8 * 2, 0x2000, 4);
    storeLe(image, directories + 8 * 2 + 4, resources.size(), 4);

    const auto section = [&](std::uint32_t index, const char* name, std::uint32_t rva,
                             std::uint32_t size, std::uint32_t raw, std::uint32_t flags) {
        const std::size_t at = table + 40 * index;
        for (std::size_t i = 0; name[i] != '\0'; ++i) {
            image[at + i] = static_cast<std::uint8_t>(name[i]);
        }
        storeLe(image, at + 8, size, 4);
        storeLe(image, at + 12, rva, 4);
        storeLe(image, at + 16, vempack::alignUp(size, 0x200), 4);
        storeLe(image, at + 20, raw, 4);
        storeLe(image, at + 36, flags, 4);
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
        storeLe(image, directories + 8 * 4, image.size(), 4);
        storeLe(image, directories + 8 * 4 + 4, shape.certificate.size(), 4);
        image.insert(image.end(), shape.certificate.begin(), shape.certificate.end());
    }
    storeLe(image, optional + 64, vempack::peChecksum(image, optional + 64), 4);
    return image;
}

} // namespace vempack_test
