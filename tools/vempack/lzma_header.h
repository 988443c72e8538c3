// The 13-byte header of the .lzma layout: properties byte, dictionary size
// (32-bit) and uncompressed size (64-bit), little-endian.
#pragma once

#include "bytes.h"

#include <cstddef>
#include <cstdint>

namespace vempack {

constexpr std::size_t kAloneHeaderSize = 13;
// All eight size bytes 0xFF: the size is not stated and an end marker ends
// the data.
constexpr std::uint64_t kUnknownSize = UINT64_MAX;
// Properties bytes from 225 up decode to a pb above 4.
constexpr unsigned kPropertiesByteLimit = 225;
// liblzma decodes LZMA1 only with lc + lp of at most 4.
constexpr std::uint32_t kMaxLcPlusLp = 4;

struct LzmaProperties {
    std::uint32_t lc = 0;
    std::uint32_t lp = 0;
    std::uint32_t pb = 0;
};

struct LzmaAloneHeader {
    std::uint8_t propertiesByte = 0;
    std::uint32_t dictionarySize = 0;
    std::uint64_t uncompressedSize = 0;
};

// (pb * 5 + lp) * 9 + lc; the values must already be in range.
std::uint8_t encodeProperties(const LzmaProperties& properties);

// Splits a properties byte below kPropertiesByteLimit.
LzmaProperties decodeProperties(std::uint8_t propertiesByte);

void appendAloneHeader(Bytes& out, const LzmaAloneHeader& header);

// Reads and checks the header at the start of `file`: long enough, a valid
// properties byte that liblzma can decode, and a size that is either stated
// below 4 GiB (the stub reads only the low 32 bits) or not stated at all.
LzmaAloneHeader parseAloneHeader(const Bytes& file);

} // namespace vempack
