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
    lzma_stream stream;
    if (!startDecoder(properties, dictionarySize, &stream)) {
        return result;
    }
    size_t capacity = 0;
    unsigned char* buffer = nullptr;
    stream.next_in = input;
    stream.avail_in = inputSize;
    lzma_ret status = LZMA_OK;
    while (status == LZMA_OK) {
        if (stream.avail_out == 0) {
            if (capacity >= limit) {
                break; // more output than the limit allows: refuse the stream
            }
            size_t grown = capacity == 0 ? (size_t{1} << 16) : capacity * 2;
            if (grown > limit || grown < capacity) {
                grown = limit;
            }
            // Growing in place where the heap can keeps the peak near the
            // output's size instead of twice it.
            unsigned char* larger =
                static_cast<unsigned char*>(platform::reallocateMemory(buffer, grown));
            if (larger == nullptr) {
                break;
            }
            buffer = larger;
            stream.next_out = buffer + capacity;
            stream.avail_out = grown - capacity;
            capacity = grown;
        }
        status = lzma_code(&stream, LZMA_FINISH);
    }
    const size_t produced = capacity - stream.avail_out;
    lzma_end(&stream);
    if (status != LZMA_STREAM_END) {
        platform::freeMemory(buffer);
        return result;
    }
    result.bytes = buffer;
    result.size = produced;
    return result;
}
