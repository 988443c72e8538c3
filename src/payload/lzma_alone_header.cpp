#include "payload/lzma_alone_header.h"

#include "common/little_endian.h"

LzmaAloneHeader parseLzmaAloneHeader(const unsigned char* bytes) {
    LzmaAloneHeader header;
    header.propertiesByte = bytes[0];
    header.dictionarySize = readLe32(bytes + 1);
    header.uncompressedSizeLow = readLe32(bytes + 5);
    header.uncompressedSizeHigh = readLe32(bytes + 9);
    return header;
}

bool hasUnknownSize(const LzmaAloneHeader& header) {
    return header.uncompressedSizeLow == 0xFFFFFFFFu && header.uncompressedSizeHigh == 0xFFFFFFFFu;
}

bool splitPropertiesByte(uint8_t propertiesByte, LzmaProperties* properties) {
    properties->lc = 0;
    properties->lp = 0;
    properties->pb = 0;
    if (propertiesByte > kLzmaMaxPropertiesByte) {
        return false;
    }
    const uint32_t remainder = propertiesByte % 45;
    properties->pb = propertiesByte / 45;
    properties->lp = remainder / 9;
    properties->lc = remainder % 9;
    return true;
}
