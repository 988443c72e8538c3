// Fuzzes the compressed payload stage: any bytes as the first temporary
// file, decoded into the second. Whatever the bytes, the first file is gone
// afterwards, nothing but the two files is touched, and the second holds
// either the whole decoded stream or nothing: it is compared with a
// streaming decode of the same bytes, written here directly on liblzma,
// which shows how far the stream really decodes.
#include <lzma.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "format/lzma_alone_header.h"
#include "payload/lzma_stage.h"
#include "support/finding.h"
#include "support/fuzz_platform.h"
#include "support/host_tree.h"
#include "support/scratch.h"

namespace {

using hosttree::Bytes;

// The reference judges outputs up to half the fuzz heap's limit, so that
// the stage under test, whose output block and dictionary are each about as
// large as the output, is never refused memory where the reference is not.
constexpr size_t kReferenceLimit = fuzzplatform::kFuzzHeapLimit / 2;

struct Places {
    Places() {
        fuzzplatform::allowWritesTo(first);
        fuzzplatform::allowWritesTo(second);
    }
    scratch::Directory root{"vemfuzz-lzma"};
    std::string first = root.path() + "/vem1.tmp";
    std::string second = root.path() + "/vem2.tmp";
};

const Places& places() {
    static const Places instance;
    return instance;
}

// liblzma's blocks for the reference decoder, kept for the next input. The
// decoder asks for blocks of the same sizes every time (its dictionary is
// always kReferenceLimit), so their pages stay in memory instead of being
// mapped and faulted in afresh for every input.
struct CachedBlock {
    void* block;
    size_t size;
    bool inUse;
};
// Never destroyed, so that the blocks stay reachable until the process ends.
std::vector<CachedBlock>& cachedBlocks() {
    static std::vector<CachedBlock>* const blocks = new std::vector<CachedBlock>;
    return *blocks;
}

void* cachedAllocate(void*, size_t count, size_t size) {
    if (size != 0 && count > SIZE_MAX / size) {
        return nullptr;
    }
    const size_t bytes = count * size;
    for (CachedBlock& cached : cachedBlocks()) {
        if (!cached.inUse && cached.size == bytes) {
            cached.inUse = true;
            return cached.block;
        }
    }
    void* block = malloc(bytes);
    if (block != nullptr) {
        cachedBlocks().push_back({block, bytes, true});
    }
    return block;
}

void cachedFree(void*, void* block) {
    for (CachedBlock& cached : cachedBlocks()) {
        if (cached.block == block) {
            cached.inUse = false;
        }
    }
}

const lzma_allocator kCachedAllocator = {cachedAllocate, cachedFree, nullptr};

struct Reference {
    bool known;    // false: the output is too large to judge here
    bool complete; // the stream decodes whole
    size_t size;   // of the output, at the start of output()
};

// One more byte than any output judged, so that a stream that goes on shows
// it; kept for the next input. Not zero-filled, as the stage's own buffer
// is not.
uint8_t* output() {
    static uint8_t* const buffer = static_cast<uint8_t*>(malloc(kReferenceLimit + 1));
    return buffer;
}

// Decodes front to back, as far as the bytes allow. A stated size is
// complete once that many bytes came out (what follows is ignored) or at
// an end marker; a stream without a stated size only at its end marker.
// The header's dictionary size has no say: the dictionary covers every
// output judged here, so a match fails only where it reaches before the
// first byte.
Reference referenceDecode(const uint8_t* data, size_t size) {
    Reference reference = {true, false, 0};
    LzmaProperties properties;
    if (size < kLzmaAloneHeaderSize || !splitPropertiesByte(data[0], &properties)) {
        return reference;
    }
    const LzmaAloneHeader header = parseLzmaAloneHeader(data);
    const bool statedSize = !hasUnknownSize(header);
    const size_t limit = statedSize ? header.uncompressedSizeLow : kReferenceLimit;
    if (limit > kReferenceLimit) {
        reference.known = false;
        return reference;
    }

    lzma_options_lzma options;
    memset(&options, 0, sizeof options);
    options.dict_size = static_cast<uint32_t>(kReferenceLimit);
    options.lc = properties.lc;
    options.lp = properties.lp;
    options.pb = properties.pb;
    const lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    stream.allocator = &kCachedAllocator;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK) {
        return reference; // lc + lp above 4: no decoder takes it
    }
    const size_t capacity = limit + 1;
    stream.next_in = data + kLzmaAloneHeaderSize;
    stream.avail_in = size - kLzmaAloneHeaderSize;
    stream.next_out = output();
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
    const size_t produced = capacity - stream.avail_out;
    lzma_end(&stream);
    if (statedSize) {
        reference.complete = (produced >= limit || status == LZMA_STREAM_END) && produced != 0;
        reference.size = produced > limit ? limit : produced;
    } else if (produced > limit) {
        reference.known = false;
    } else {
        reference.complete = status == LZMA_STREAM_END && produced != 0;
        reference.size = produced;
    }
    if (!reference.complete) {
        reference.size = 0;
    }
    return reference;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Places& p = places();
    hosttree::writeFile(p.first, data, size);
    hosttree::writeFile(p.second, nullptr, 0);
    DecodedArchive archive =
        decompressPayload({data, static_cast<uint32_t>(size)}, p.first.c_str(), p.second.c_str());
    const Bytes kept(archive.bytes, archive.bytes + archive.size);
    releaseDecodedArchive(&archive);

    if (hosttree::exists(p.first)) {
        finding::fail("the first temporary file was not deleted", p.first);
    }
    Bytes decoded;
    if (!hosttree::readFile(p.second, &decoded)) {
        finding::fail("the second temporary file is gone", p.second);
    }
    if (kept != decoded) {
        finding::fail("the archive kept in memory is not what the second file holds",
                      std::to_string(kept.size()) + " bytes against " +
                          std::to_string(decoded.size()));
    }
    const std::vector<std::string> left = hosttree::list(p.root.path());
    if (left.size() != 1 || left[0] != "vem2.tmp") {
        finding::fail("unexpected files beside the temporary files", p.root.path());
    }

    const Reference reference = referenceDecode(data, size);
    if (reference.known &&
        (decoded.size() != reference.size ||
         (reference.size != 0 && memcmp(decoded.data(), output(), reference.size) != 0))) {
        finding::fail(decoded.empty() ? "a stream that decodes whole was refused"
                                      : "the output is not the whole decoded stream",
                      std::to_string(decoded.size()) + " bytes instead of " +
                          std::to_string(reference.size));
    }
    if (!reference.known && decoded.size() > fuzzplatform::kFuzzHeapLimit) {
        finding::fail("more output than the heap could hold", std::to_string(decoded.size()));
    }
    return 0;
}
