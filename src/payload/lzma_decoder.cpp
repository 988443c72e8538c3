#include "payload/lzma_decoder.h"

#include <lzma.h>
#include <string.h>

#include "platform/platform.h"

namespace {

// liblzma's own blocks (decoder state, dictionary) come from the same heap
// as the payload buffers, so a failing heap fails the decode cleanly.
void* lzmaAlloc(void*, size_t count, size_t size) {
    if (size != 0 && count > SIZE_MAX / size) {
        return nullptr;
    }
    return platform::allocateMemory(count * size);
}

void lzmaFree(void*, void* block) {
    platform::freeMemory(block);
}

const lzma_allocator kAllocator = {lzmaAlloc, lzmaFree, nullptr};

constexpr uint32_t kMinDictionary = 4096;

lzma_options_lzma lzmaOptions(const LzmaProperties& properties, uint32_t dictionarySize) {
    lzma_options_lzma options;
    memset(&options, 0, sizeof options);
    options.dict_size = dictionarySize < kMinDictionary ? kMinDictionary : dictionarySize;
    options.lc = properties.lc;
    options.lp = properties.lp;
    options.pb = properties.pb;
    return options;
}

// Starts a raw LZMA1 decoder that knows no size: it ends at an end marker,
// and otherwise runs for as long as the caller gives it output room.
bool startDecoder(const LzmaProperties& properties, uint32_t dictionarySize, lzma_stream* stream) {
    lzma_options_lzma options = lzmaOptions(properties, dictionarySize);
    const lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    *stream = LZMA_STREAM_INIT;
    stream->allocator = &kAllocator;
    return lzma_raw_decoder(stream, filters) == LZMA_OK;
}

// One pass over the whole input into the whole output. A stream without an
// end marker is complete once the output is full; one with a marker may end
// earlier. Anything else (corrupt data, input that runs out first) fails
// and keeps nothing.
size_t decodeOnce(const LzmaProperties& properties, uint32_t dictionarySize,
                  const unsigned char* input, size_t inputSize, unsigned char* output,
                  size_t outputSize) {
    lzma_stream stream;
    if (!startDecoder(properties, dictionarySize, &stream)) {
        return 0;
    }
    stream.next_in = input;
    stream.avail_in = inputSize;
    stream.next_out = output;
    stream.avail_out = outputSize;
    lzma_ret status = LZMA_OK;
    while (status == LZMA_OK && stream.avail_out != 0) {
        const size_t before = stream.avail_out + stream.avail_in;
        status = lzma_code(&stream, LZMA_FINISH);
        if (status == LZMA_OK && stream.avail_out + stream.avail_in == before) {
            status = LZMA_BUF_ERROR; // no progress: the input ran out
        }
    }
    const size_t produced = outputSize - stream.avail_out;
    lzma_end(&stream);
    // A full buffer is complete whatever the status: liblzma can report
    // damage in the call that fills the buffer although the damage lies in
    // data after its last byte, and that data is ignored. Every byte it
    // delivered was decoded before the damage was met.
    const bool complete = status == LZMA_STREAM_END || stream.avail_out == 0;
    return complete ? produced : 0;
}

// The output of one pass over a stream that states no size, in a buffer
// kept across passes so that a retry does not grow it again.
struct GrowingOutput {
    unsigned char* buffer;
    size_t capacity;
    size_t produced;
    // The decoder met a match beyond its dictionary's reach after filling
    // it: a larger dictionary may get further.
    bool dictionaryFull;
};

lzma_ret decodeGrowing(const LzmaProperties& properties, uint32_t dictionarySize,
                       const unsigned char* input, size_t inputSize, size_t limit,
                       GrowingOutput* output) {
    output->produced = 0;
    output->dictionaryFull = false;
    lzma_stream stream;
    if (!startDecoder(properties, dictionarySize, &stream)) {
        return LZMA_MEM_ERROR;
    }
    stream.next_in = input;
    stream.avail_in = inputSize;
    stream.next_out = output->buffer;
    stream.avail_out = output->capacity;
    lzma_ret status = LZMA_OK;
    while (status == LZMA_OK) {
        if (stream.avail_out == 0) {
            const size_t used = output->capacity;
            if (used >= limit) {
                status = LZMA_BUF_ERROR; // more output than the limit allows
                break;
            }
            size_t grown = used == 0 ? (size_t{1} << 16) : used * 2;
            if (grown > limit || grown < used) {
                grown = limit;
            }
            // Growing in place where the heap can keeps the peak near the
            // output's size instead of twice it.
            unsigned char* larger =
                static_cast<unsigned char*>(platform::reallocateMemory(output->buffer, grown));
            if (larger == nullptr) {
                status = LZMA_MEM_ERROR;
                break;
            }
            output->buffer = larger;
            output->capacity = grown;
            stream.next_out = larger + used;
            stream.avail_out = grown - used;
        }
        status = lzma_code(&stream, LZMA_FINISH);
    }
    output->produced = output->capacity - stream.avail_out;
    output->dictionaryFull = status == LZMA_DATA_ERROR && output->produced > dictionarySize;
    lzma_end(&stream);
    return status;
}

} // namespace

size_t decodeLzmaKnownSize(const LzmaProperties& properties, uint32_t dictionarySize,
                           const unsigned char* input, size_t inputSize, unsigned char* output,
                           size_t outputSize) {
    if (outputSize == 0 || outputSize > UINT32_MAX) {
        return 0;
    }
    const uint32_t size = static_cast<uint32_t>(outputSize);
    // No match can reach further back than the output is long, so a larger
    // dictionary would only cost memory.
    const uint32_t bounded = dictionarySize < size ? dictionarySize : size;
    const size_t produced = decodeOnce(properties, bounded, input, inputSize, output, size);
    if (produced != 0 || bounded >= size) {
        return produced;
    }
    // The dictionary size field has no say in the output: a header that
    // understates it gets a second try with a dictionary as large as the
    // output, which every valid stream fits.
    return decodeOnce(properties, size, input, inputSize, output, size);
}

DecodedBytes decodeLzmaUnknownSize(const LzmaProperties& properties, uint32_t dictionarySize,
                                   const unsigned char* input, size_t inputSize, size_t limit) {
    DecodedBytes result = {nullptr, 0};
    // The dictionary size field has no say in the output, nor in what is
    // allocated: the first pass takes no larger a dictionary than the
    // compressed data, and a stream whose matches reach further back is
    // decoded again with a dictionary that covers at least the output made
    // so far, doubling each time. No match reaches further back than the
    // output is long, so a valid stream always ends up decoded.
    const size_t inputBound = inputSize < kMinLzmaUnknownSizeDictionary
                                  ? kMinLzmaUnknownSizeDictionary
                                  : (inputSize > UINT32_MAX ? UINT32_MAX : inputSize);
    uint32_t dictionary =
        dictionarySize < inputBound ? dictionarySize : static_cast<uint32_t>(inputBound);
    GrowingOutput output = {nullptr, 0, 0, false};
    for (;;) {
        const lzma_ret status =
            decodeGrowing(properties, dictionary, input, inputSize, limit, &output);
        if (status == LZMA_STREAM_END) {
            result.bytes = output.buffer;
            result.size = output.produced;
            return result;
        }
        if (!output.dictionaryFull || dictionary == UINT32_MAX) {
            break;
        }
        const uint64_t doubled = uint64_t{dictionary} * 2;
        const uint64_t wanted = doubled > output.produced ? doubled : output.produced;
        dictionary = wanted > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(wanted);
    }
    platform::freeMemory(output.buffer);
    return result;
}
