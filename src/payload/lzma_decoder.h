// The one call into liblzma: raw LZMA1 data decoded buffer to buffer.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "format/lzma_alone_header.h"

// Decodes `input` into `output`, stopping when `outputSize` bytes have been
// produced or at the stream's end marker, whichever comes first. Returns the
// bytes produced; 0 when decoding fails (no partial output is ever kept).
size_t decodeLzmaKnownSize(const LzmaProperties& properties, uint32_t dictionarySize,
                           const unsigned char* input, size_t inputSize, unsigned char* output,
                           size_t outputSize);

// A decoded stream of a size not known in advance.
struct DecodedBytes {
    unsigned char* bytes; // from platform::allocateMemory, or null
    size_t size;
};

// The smallest first dictionary for a stream that states no size.
constexpr size_t kMinLzmaUnknownSizeDictionary = size_t{1} << 16;

// Decodes a stream that states no size and must end with an end marker,
// growing the output as it comes, up to `limit` bytes. Nothing (null, 0)
// when decoding fails or memory runs out. As for a stated size,
// `dictionarySize` changes neither the output nor what is allocated beyond
// what the data needs.
DecodedBytes decodeLzmaUnknownSize(const LzmaProperties& properties, uint32_t dictionarySize,
                                   const unsigned char* input, size_t inputSize, size_t limit);
