// Fuzzes the compressed payload stage: any bytes as the first temporary
// file, decoded into the second. Whatever the bytes, the first file is gone
// afterwards, nothing but the two files is touched, and the second holds
// either the whole decoded stream or nothing: it is compared with a
// streaming decode of the same bytes, written here directly on liblzma,
// which shows how far the stream really decodes.
#include <lzma.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>

#include "format/lzma_alone_header.h"
#include "payload/lzma_stage.h"
#include "support/fuzz_platform.h"
#include "support/scratch.h"
#include "temp_dir.h"

namespace {

constexpr uint32_t kMinDictionary = 4096;
// The reference decode stays well inside the fuzz heap's limit, so that the
// stage under test is never refused memory where the reference is not.
constexpr size_t kReferenceLimit = fuzzplatform::kFuzzHeapLimit / 2;

const std::string& root() {
    static const ScopedTempDir dir("vemfuzz-lzma");
    return dir.path();
}

struct Reference {
    bool known;    // false: the input is too large to judge here
    bool complete; // the stream decodes whole
    Bytes bytes;
};

// Decodes front to back, as far as the bytes allow. A stated size is
// complete once that many bytes came out (what follows is ignored) or at
// an end marker; a stream without a stated size only at its end marker.
Reference referenceDecode(const uint8_t* data, size_t size) {
    Reference reference = {false, false, {}};
    LzmaProperties properties;
    if (size < kLzmaAloneHeaderSize || !splitPropertiesByte(data[0], &properties)) {
        reference.known = true;
        return reference;
    }
    const LzmaAloneHeader header = parseLzmaAloneHeader(data);
    const uint32_t dictionaryField = header.dictionarySize;
    const uint32_t low = header.uncompressedSizeLow;
    const bool statedSize = !hasUnknownSize(header);
    const size_t limit = statedSize ? low : kReferenceLimit;
    // Without a stated size the header's dictionary is what the stage asks
    // for; with one, the stage falls back to a dictionary as large as the
    // output, which any valid stream fits.
    uint32_t dictionary = statedSize ? low : dictionaryField;
    if (dictionary < kMinDictionary) {
        dictionary = kMinDictionary;
    }
    if (limit > kReferenceLimit || dictionary > kReferenceLimit) {
        return reference;
    }

    lzma_options_lzma options;
    memset(&options, 0, sizeof options);
    options.dict_size = dictionary;
    options.lc = properties.lc;
    options.lp = properties.lp;
    options.pb = properties.pb;
    const lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    reference.known = true;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK) {
        return reference; // lc + lp above 4: no decoder takes it
    }
    // One byte more than the limit: a stream that goes on shows it. Not
    // zero-filled, as the stage's own buffer is not: most claims are lies.
    const size_t capacity = limit + 1;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[capacity]);
    stream.next_in = data + kLzmaAloneHeaderSize;
    stream.avail_in = size - kLzmaAloneHeaderSize;
    stream.next_out = buffer.get();
    stream.avail_out = capacity;
    lzma_ret status = LZMA_OK;
    while (status == LZMA_OK) {
        const size_t before = stream.avail_in + stream.avail_out;
        status = lzma_code(&stream, LZMA_RUN);
        if (status == LZMA_OK && stream.avail_in + stream.avail_out == before) {
            break; // the input ran out
        }
        if (statedSize && capacity - stream.avail_out >= limit) {
            break; // the stated size is reached
        }
    }
    size_t produced = capacity - stream.avail_out;
    lzma_end(&stream);
    if (statedSize) {
        reference.complete = (produced >= limit || status == LZMA_STREAM_END) && produced != 0;
        produced = produced > limit ? limit : produced;
    } else if (produced > kReferenceLimit) {
        reference.known = false; // too large to judge here
    } else {
        reference.complete = status == LZMA_STREAM_END && produced != 0;
    }
    if (reference.complete) {
        reference.bytes.assign(buffer.get(), buffer.get() + produced);
    }
    return reference;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string first = root() + "/vem1.tmp";
    const std::string second = root() + "/vem2.tmp";
    writeBytes(first, Bytes(data, data + size));
    writeBytes(second, Bytes());

    fuzzplatform::allowWritesTo(first);
    fuzzplatform::allowWritesTo(second);
    decompressPayload(first.c_str(), second.c_str());
    fuzzplatform::forbidAllWrites();

    if (fileExists(first)) {
        scratch::fail("the first temporary file was not deleted", first);
    }
    if (!fileExists(second)) {
        scratch::fail("the second temporary file is gone", second);
    }
    const Bytes decoded = readBytes(second);
    const std::vector<std::string> left = listTree(root());
    if (left.size() != 1 || left[0] != "vem2.tmp") {
        scratch::fail("unexpected files beside the temporary files", root());
    }

    const Reference reference = referenceDecode(data, size);
    if (reference.known && decoded != reference.bytes) {
        scratch::fail(decoded.empty() ? "a stream that decodes whole was refused"
                                      : "the output is not the whole decoded stream",
                      std::to_string(decoded.size()) + " bytes instead of " +
                          std::to_string(reference.bytes.size()));
    }
    if (!reference.known && decoded.size() > fuzzplatform::kFuzzHeapLimit) {
        scratch::fail("more output than the heap could hold", std::to_string(decoded.size()));
    }
    removeTree(second);
    return 0;
}
