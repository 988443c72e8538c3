#include "format/lzma_alone_header.h"

#include "common/little_endian.h"

LzmaAloneHeader parseLzmaAloneHeader(const unsigned char* bytes) {
    LzmaAloneHeader header;
    header.propertiesByte = bytes[0];
    header.dictionarySize = readLe32(bytes + kLzmaDictionarySizeOffset);
    header.uncompressedSizeLow = readLe32(bytes + kLzmaUncompressedSizeOffset);
    header.uncompressedSizeHigh = readLe32(bytes + kLzmaUncompressedSizeOffset + 4);
    return header;
}

void writeLzmaAloneHeader(const LzmaAloneHeader& header, unsigned char* bytes) {
    bytes[0] = header.propertiesByte;
    writeLe32(bytes + kLzmaDictionarySizeOffset, header.dictionarySize);
    writeLe32(bytes + kLzmaUncompressedSizeOffset, header.uncompressedSizeLow);
    writeLe32(bytes + kLzmaUncompressedSizeOffset + 4, header.uncompressedSizeHigh);
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

uint8_t joinPropertiesByte(const LzmaProperties& properties) {
    return static_cast<uint8_t>((properties.pb * 5 + properties.lp) * 9 + properties.lc);
}
