// Little-endian integers assembled byte by byte, never by casting a struct
// onto the bytes, so alignment and host byte order do not matter. Shared by
// the stub and the packer.
#pragma once

#include <stdint.h>

inline uint32_t readLe32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

inline void writeLe32(unsigned char* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}
