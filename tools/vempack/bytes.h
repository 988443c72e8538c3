// Byte buffers, and the stub's little-endian helpers applied to them.
#pragma once

#include "common/little_endian.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vempack {

using Bytes = std::vector<std::uint8_t>;

inline void appendLe32(Bytes& out, std::uint32_t value) {
    unsigned char bytes[4];
    writeLe32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

} // namespace vempack
