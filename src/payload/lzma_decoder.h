// The calls into liblzma: raw LZMA1 data decoded buffer to buffer.
#pragma once

#include <lzma.h>
#include <stddef.h>
#include <stdint.h>

#include "format/lzma_alone_header.h"

enum class LzmaSliceState { kDecoding, kDecoded, kFailed };

// A decode of a stated size done a slice at a time, into one buffer that
// holds the whole output, so that its front can be used while the rest is
// decoded. The bytes before `produced` are final: they are never written
// again, whatever comes after.
struct LzmaSlices {
    LzmaProperties properties;
    const unsigned char* input;
    size_t inputSize;
    unsigned char* output;
    size_t outputSize;
    size_t produced;
    LzmaSliceState state;
    // The pass under way: its dictionary, how much of the output it has
    // decoded, and liblzma's state (started while `running`).
    uint32_t passDictionary;
    size_t passProduced;
    bool running;
    lzma_stream stream;
};

// Prepares a decode of `input` into the `outputSize` bytes at `output`,
// which stops when the output is full or at the stream's end marker.
void startLzmaSlices(LzmaSlices* slices, const LzmaProperties& properties, uint32_t dictionarySize,
                     const unsigned char* input, size_t inputSize, unsigned char* output,
                     size_t outputSize);

// Decodes up to `slice` more bytes of output and says where the decode
// stands. Once it is kDecoded, `produced` is the output's length; kFailed
// voids everything it produced (no partial output is ever kept).
LzmaSliceState decodeLzmaSlice(LzmaSlices* slices, size_t slice);

// Decodes `input` into `output`, stopping when `outputSize` bytes have been
// produced or at the stream's end marker, whichever comes first. Returns the
// bytes produced; 0 when decoding fails (no partial output is ever kept).
size_t decodeLzmaKnownSize(const LzmaProperties& properties, uint32_t dictionarySize,
                           const unsigned char* input, size_t inputSize, unsigned char* output,
                           size_t outputSize);

// Decoded bytes in a block of their own.
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
