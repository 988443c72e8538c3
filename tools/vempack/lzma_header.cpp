// Checks the .lzma header beyond what the stub needs to read it.
#include "lzma_header.h"

#include "archive.h"
#include "error.h"

#include <cstdio>

namespace vempack {

LzmaAloneHeader makeAloneHeader(const LzmaProperties& properties, std::uint32_t dictionarySize,
                                std::uint64_t uncompressedSize) {
    return {joinPropertiesByte(properties), dictionarySize,
            static_cast<std::uint32_t>(uncompressedSize),
            static_cast<std::uint32_t>(uncompressedSize >> 32)};
}

std::uint64_t uncompressedSize(const LzmaAloneHeader& header) {
    return (std::uint64_t{header.uncompressedSizeHigh} << 32) | header.uncompressedSizeLow;
}

void appendAloneHeader(Bytes& out, const LzmaAloneHeader& header) {
    unsigned char bytes[kLzmaAloneHeaderSize];
    writeLzmaAloneHeader(header, bytes);
    out.insert(out.end(), bytes, bytes + sizeof bytes);
}

LzmaAloneHeader parseAloneHeader(const Bytes& file) {
    if (file.size() < kLzmaAloneHeaderSize) {
        fail("the file is " + std::to_string(file.size()) + " bytes long, shorter than the " +
             std::to_string(kLzmaAloneHeaderSize) + "-byte .lzma header");
    }
    const LzmaAloneHeader header = parseLzmaAloneHeader(file.data());
    LzmaProperties properties;
    if (!splitPropertiesByte(header.propertiesByte, &properties)) {
        char shown[8];
        std::snprintf(shown, sizeof shown, "0x%02X", header.propertiesByte);
        fail(std::string("the properties byte ") + shown + " is invalid (it must be below 0xE1)");
    }
    if (properties.lc + properties.lp > kMaxLcPlusLp) {
        fail("lc " + std::to_string(properties.lc) + " + lp " + std::to_string(properties.lp) +
             " is above " + std::to_string(kMaxLcPlusLp) + ", which liblzma cannot decode");
    }
    const std::uint64_t size = uncompressedSize(header);
    if (size != kUnknownSize && size > kMaxArchiveSize) {
        refuse("the header's uncompressed size " + std::to_string(size) +
               " does not fit in 32 bits: the stub decodes at most " +
               std::to_string(kMaxArchiveSize) + " bytes");
    }
    return header;
}

bool isStatedDictionarySize(std::uint32_t size) {
    // Rounds up to the next 2^n or 2^n + 2^(n-1), as xz's .lzma reader does.
    std::uint32_t rounded = size - 1;
    rounded |= rounded >> 2;
    rounded |= rounded >> 3;
    rounded |= rounded >> 4;
    rounded |= rounded >> 8;
    rounded |= rounded >> 16;
    return rounded + 1 == size || size == UINT32_MAX;
}

bool looksLikeAloneHeader(const Bytes& file) {
    if (file.size() < kLzmaAloneHeaderSize) {
        return false;
    }
    const LzmaAloneHeader header = parseLzmaAloneHeader(file.data());
    LzmaProperties properties;
    const std::uint64_t size = uncompressedSize(header);
    return splitPropertiesByte(header.propertiesByte, &properties) &&
           properties.lc + properties.lp <= kMaxLcPlusLp &&
           isStatedDictionarySize(header.dictionarySize) &&
           (size == kUnknownSize || size < (std::uint64_t{1} << 38));
}

} // namespace vempack
