// Encodes and checks the .lzma header.
#include "lzma_header.h"

#include "archive.h"
#include "error.h"

#include <cstdio>

namespace vempack {

std::uint8_t encodeProperties(const LzmaProperties& properties) {
    return static_cast<std::uint8_t>((properties.pb * 5 + properties.lp) * 9 + properties.lc);
}

LzmaProperties decodeProperties(std::uint8_t propertiesByte) {
    LzmaProperties properties;
    properties.lc = propertiesByte % 9;
    properties.lp = (propertiesByte / 9) % 5;
    properties.pb = propertiesByte / 45;
    return properties;
}

void appendAloneHeader(Bytes& out, const LzmaAloneHeader& header) {
    out.push_back(header.propertiesByte);
    appendLe(out, header.dictionarySize, 4);
    appendLe(out, header.uncompressedSize, 8);
}

LzmaAloneHeader parseAloneHeader(const Bytes& file) {
    if (file.size() < kAloneHeaderSize) {
        fail("the file is " + std::to_string(file.size()) + " bytes long, shorter than the " +
             std::to_string(kAloneHeaderSize) + "-byte .lzma header");
    }
    LzmaAloneHeader header;
    header.propertiesByte = file[0];
    header.dictionarySize = loadLe32(&file[1]);
    header.uncompressedSize = loadLe(&file[5], 8);

    if (header.propertiesByte >= kPropertiesByteLimit) {
        char shown[8];
        std::snprintf(shown, sizeof shown, "0x%02X", header.propertiesByte);
        fail(std::string("the properties byte ") + shown + " is invalid (it must be below 0xE1)");
    }
    const LzmaProperties properties = decodeProperties(header.propertiesByte);
    if (properties.lc + properties.lp > kMaxLcPlusLp) {
        fail("lc " + std::to_string(properties.lc) + " + lp " + std::to_string(properties.lp) +
             " is above " + std::to_string(kMaxLcPlusLp) + ", which liblzma cannot decode");
    }
    if (header.uncompressedSize != kUnknownSize && header.uncompressedSize > kMaxArchiveSize) {
        fail("the header's uncompressed size " + std::to_string(header.uncompressedSize) +
             " does not fit in 32 bits");
    }
    return header;
}

} // namespace vempack
