// The 13-byte header of the .lzma layout that the compressed payload uses:
// the properties byte, the dictionary size (32-bit) and the uncompressed
// size (64-bit), little-endian. Shared by the stub and the packer.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t kLzmaAloneHeaderSize = 13;
constexpr size_t kLzmaDictionarySizeOffset = 1;
constexpr size_t kLzmaUncompressedSizeOffset = 5;
// Properties bytes from 225 up do not describe valid lc/lp/pb values.
constexpr unsigned kLzmaMaxPropertiesByte = 224;

struct LzmaAloneHeader {
    uint8_t propertiesByte;
    uint32_t dictionarySize;
    // Only the low 32 bits size the output; the high half is read and ignored.
    uint32_t uncompressedSizeLow;
    uint32_t uncompressedSizeHigh;
};

struct LzmaProperties {
    uint32_t lc;
    uint32_t lp;
    uint32_t pb;
};

LzmaAloneHeader parseLzmaAloneHeader(const unsigned char* bytes);

// The inverse of parseLzmaAloneHeader, into 13 bytes.
void writeLzmaAloneHeader(const LzmaAloneHeader& header, unsigned char* bytes);

// True when all eight size bytes are 0xFF: the stream states no size and
// ends with an end marker instead.
bool hasUnknownSize(const LzmaAloneHeader& header);

// Splits the properties byte. False when it is 225 or more.
bool splitPropertiesByte(uint8_t propertiesByte, LzmaProperties* properties);

// (pb * 5 + lp) * 9 + lc; lc at most 8, lp and pb at most 4.
uint8_t joinPropertiesByte(const LzmaProperties& properties);
