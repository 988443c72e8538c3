// Byte buffers and little-endian fields of any width, for the PE image as
// well as the payload; the payload's own 32-bit fields use the stub's
// helpers (common/little_endian.h). Fields are assembled byte by byte so
// host byte order never matters.
#pragma once

#include "common/little_endian.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vempack {

using Bytes = std::vector<std::uint8_t>;

inline void appendLe(Bytes& out, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

inline std::uint64_t loadLe(const std::uint8_t* bytes, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    }
    return value;
}

inline std::uint32_t loadLe32(const std::uint8_t* bytes) {
    return readLe32(bytes);
}

} // namespace vempack
