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

// Starts a pass of the sliced decode over the whole input.
bool startPass(LzmaSlices* slices) {
    slices->passProduced = 0;
    slices->running = startDecoder(slices->properties, slices->passDictionary, &slices->stream);
    slices->stream.next_in = slices->input;
    slices->stream.avail_in = slices->inputSize;
    return slices->running;
}

void endPass(LzmaSlices* slices) {
    if (slices->running) {
        lzma_end(&slices->stream);
        slices->running = false;
    }
}

// Runs the pass's decoder into `room` bytes at `at`: the bytes it made.
// A status other than LZMA_OK ends the pass; a call that moves nothing
// means the input ran out.
size_t runPass(LzmaSlices* slices, unsigned char* at, size_t room, lzma_ret* status) {
    lzma_stream* stream = &slices->stream;
    stream->next_out = at;
    stream->avail_out = room;
    *status = LZMA_OK;
    while (*status == LZMA_OK && stream->avail_out != 0) {
        const size_t before = stream->avail_out + stream->avail_in;
        *status = lzma_code(stream, LZMA_FINISH);
        if (*status == LZMA_OK && stream->avail_out + stream->avail_in == before) {
            *status = LZMA_BUF_ERROR;
        }
    }
    const size_t made = room - stream->avail_out;
    slices->passProduced += made;
    return made;
}

// A second pass decodes again what the first made final: the same bytes,
// which go to a scrap buffer so that nothing final is written twice (a
// reader may be using it).
bool catchUp(LzmaSlices* slices) {
    unsigned char scrap[16384];
    lzma_ret status = LZMA_OK;
    while (slices->passProduced < slices->produced) {
        const size_t behind = slices->produced - slices->passProduced;
        runPass(slices, scrap, behind < sizeof scrap ? behind : sizeof scrap, &status);
        if (status != LZMA_OK && slices->passProduced < slices->produced) {
            return false;
        }
    }
    return true;
}

LzmaSliceState finish(LzmaSlices* slices, LzmaSliceState state) {
    endPass(slices);
    slices->state = state;
    return state;
}

} // namespace

void startLzmaSlices(LzmaSlices* slices, const LzmaProperties& properties, uint32_t dictionarySize,
                     const unsigned char* input, size_t inputSize, unsigned char* output,
                     size_t outputSize) {
    slices->properties = properties;
    slices->input = input;
    slices->inputSize = inputSize;
    slices->output = output;
    slices->outputSize = outputSize;
    slices->produced = 0;
    slices->running = false;
    slices->passProduced = 0;
    const bool sized = outputSize != 0 && outputSize <= UINT32_MAX && output != nullptr;
    slices->state = sized ? LzmaSliceState::kDecoding : LzmaSliceState::kFailed;
    // No match can reach further back than the output is long, so a larger
    // dictionary would only cost memory.
    const uint32_t size = sized ? static_cast<uint32_t>(outputSize) : 0;
    slices->passDictionary = dictionarySize < size ? dictionarySize : size;
}

LzmaSliceState decodeLzmaSlice(LzmaSlices* slices, size_t slice) {
    if (slices->state != LzmaSliceState::kDecoding) {
        return slices->state;
    }
    if (!slices->running && !startPass(slices)) {
        return finish(slices, LzmaSliceState::kFailed);
    }
    lzma_ret status = LZMA_OK;
    if (catchUp(slices)) {
        const size_t left = slices->outputSize - slices->produced;
        slices->produced += runPass(slices, slices->output + slices->produced,
                                    slice < left ? slice : left, &status);
    } else {
        status = LZMA_DATA_ERROR;
    }
    // A full buffer is complete whatever the status: liblzma can report
    // damage in the call that fills the buffer although the damage lies in
    // data after its last byte, and that data is ignored. Every byte it
    // delivered was decoded before the damage was met.
    if (slices->produced == slices->outputSize || status == LZMA_STREAM_END) {
        return finish(slices, LzmaSliceState::kDecoded);
    }
    if (status == LZMA_OK) {
        return slices->state;
    }
    endPass(slices);
    const uint32_t size = static_cast<uint32_t>(slices->outputSize);
    if (slices->passDictionary >= size) {
        return finish(slices, LzmaSliceState::kFailed);
    }
    // The dictionary size field has no say in the output: a header that
    // understates it gets a second pass with a dictionary as large as the
    // output, which every valid stream fits.
    slices->passDictionary = size;
    return slices->state;
}

namespace {

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
    LzmaSlices slices;
    startLzmaSlices(&slices, properties, dictionarySize, input, inputSize, output, outputSize);
    while (decodeLzmaSlice(&slices, SIZE_MAX) == LzmaSliceState::kDecoding) {
    }
    return slices.state == LzmaSliceState::kDecoded ? slices.produced : 0;
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
