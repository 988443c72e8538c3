// The packer's byte buffers and their little-endian fields: the PE image,
// its resources and the payload are all read, stored and appended through
// these. Fields are assembled byte by byte, so host byte order never
// matters; 32-bit fields go through the stub's own helpers
// (common/little_endian.h), so both sides read the formats alike.
#pragma once

#include "common/little_endian.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vempack {

using Bytes = std::vector<std::uint8_t>;

// Reads `width` bytes (at most 8) at `bytes`; the caller has checked that
// they are there.
inline std::uint64_t loadLe(const std::uint8_t* bytes, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    }
    return value;
}

inline std::uint16_t loadLe16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(loadLe(bytes, 2));
}

inline std::uint32_t loadLe32(const std::uint8_t* bytes) {
    return readLe32(bytes);
}

// Overwrites `width` bytes of `out` at `offset`, which lie inside `out`.
inline void storeLe(Bytes& out, std::size_t offset, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline void storeLe16(Bytes& out, std::size_t offset, std::uint16_t value) {
    storeLe(out, offset, value, 2);
}

inline void storeLe32(Bytes& out, std::size_t offset, std::uint32_t value) {
    writeLe32(&out[offset], value);
}

inline void appendLe(Bytes& out, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// `value` rounded up to a multiple of `alignment` (a power of two or not).
inline std::uint64_t alignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

} // namespace vempack
