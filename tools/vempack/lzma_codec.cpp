// LZMA1 encoding and decoding through liblzma's raw coders.
#include "lzma_codec.h"

#include "archive.h"
#include "error.h"

#include <algorithm>
#include <lzma.h>

namespace vempack {
namespace {

// The largest dictionary liblzma's LZMA1 encoder accepts.
constexpr std::uint32_t kMaxDictionarySize = (1u << 30) + (1u << 29);
constexpr std::size_t kOutputChunk = 1u << 20;
// Input read between two progress reports.
constexpr std::size_t kProgressPiece = 256u << 10;

// Owns an lzma_stream so every path releases the coder.
struct Coder {
    lzma_stream stream = LZMA_STREAM_INIT;
    Coder() = default;
    Coder(const Coder&) = delete;
    Coder& operator=(const Coder&) = delete;
    ~Coder() { lzma_end(&stream); }
};

struct DrainResult {
    lzma_ret ret;
    // The coder had more to give when `limit` bytes of output were reached.
    bool overLimit;
};

// Runs the coder over all of `in`, appending its output to `out` in growing
// steps rather than trusting any size that the input states. With
// `progress` the input goes in pieces, so that it can be told how far the
// coder has read.
DrainResult drain(Coder& coder, const std::uint8_t* in, std::size_t inSize, Bytes& out,
                  std::uint64_t limit, const ProgressCallback& progress = {}) {
    lzma_stream& stream = coder.stream;
    const std::size_t piece = progress ? kProgressPiece : inSize;
    stream.next_in = in;
    stream.avail_in = 0;
    std::size_t fed = 0;
    std::size_t produced = out.size();
    for (;;) {
        if (stream.avail_in == 0 && fed < inSize) {
            stream.next_in = in + fed;
            stream.avail_in = std::min(piece, inSize - fed);
            fed += stream.avail_in;
        }
        if (produced == out.size()) {
            if (out.size() >= limit) {
                return {LZMA_OK, true};
            }
            const std::uint64_t grown = std::max<std::uint64_t>(kOutputChunk, out.size() * 2);
            out.resize(static_cast<std::size_t>(std::min(grown, limit)));
        }
        stream.next_out = out.data() + produced;
        stream.avail_out = out.size() - produced;
        const lzma_ret ret = lzma_code(&stream, fed == inSize ? LZMA_FINISH : LZMA_RUN);
        produced = out.size() - stream.avail_out;
        if (progress) {
            progress(stream.total_in);
        }
        if (ret != LZMA_OK) {
            out.resize(produced);
            return {ret, false};
        }
    }
}

std::string describe(lzma_ret ret) {
    switch (ret) {
    case LZMA_MEM_ERROR:
        return "liblzma ran out of memory";
    case LZMA_OPTIONS_ERROR:
        return "liblzma does not support these LZMA1 settings";
    case LZMA_DATA_ERROR:
        return "the compressed data is corrupt";
    case LZMA_BUF_ERROR:
        return "the compressed data ends too early";
    default:
        return "liblzma failed with code " + std::to_string(static_cast<int>(ret));
    }
}

void setProperties(lzma_options_lzma& options, const LzmaProperties& properties) {
    options.lc = properties.lc;
    options.lp = properties.lp;
    options.pb = properties.pb;
}

} // namespace

std::uint32_t dictionarySizeFor(std::uint64_t dataSize, std::uint32_t requested) {
    if (requested != 0) {
        return requested;
    }
    for (std::uint32_t power = LZMA_DICT_SIZE_MIN; power < kMaxChosenDictionarySize; power *= 2) {
        if (dataSize <= power) {
            return power;
        }
        if (dataSize <= power + power / 2) {
            return power + power / 2;
        }
    }
    return kMaxChosenDictionarySize;
}

void checkSettings(const LzmaSettings& settings) {
    if (settings.preset > 9) {
        refuse("the preset must be 0 to 9");
    }
    if (settings.dictionarySize != 0 && (settings.dictionarySize < LZMA_DICT_SIZE_MIN ||
                                         settings.dictionarySize > kMaxDictionarySize)) {
        refuse("the dictionary size must be " + std::to_string(LZMA_DICT_SIZE_MIN) + " to " +
               std::to_string(kMaxDictionarySize) + " bytes");
    }
    const LzmaProperties& p = settings.properties;
    if (p.lc > 4 || p.lp > 4 || p.pb > 4 || p.lc + p.lp > kMaxLcPlusLp) {
        refuse("lc, lp and pb must each be 0 to 4, and lc + lp at most 4");
    }
    if (settings.unknownSize && !settings.endMarker) {
        refuse("a stream without a stated size needs the end marker (--eopm)");
    }
}

Bytes compressAlone(const Bytes& data, const LzmaSettings& settings,
                    const ProgressCallback& progress) {
    checkSettings(settings);
    lzma_options_lzma options{};
    if (lzma_lzma_preset(&options,
                         settings.preset | (settings.extreme ? LZMA_PRESET_EXTREME : 0))) {
        refuse("liblzma does not know preset " + std::to_string(settings.preset));
    }
    const std::uint32_t dictionarySize = dictionarySizeFor(data.size(), settings.dictionarySize);
    options.dict_size = dictionarySize;
    if (settings.niceLength != 0) {
        options.nice_len = settings.niceLength;
    } else if (settings.preset == 9 && !settings.extreme) {
        options.nice_len = kDefaultNiceLength;
    }
    setProperties(options, settings.properties);
    // Plain LZMA1 always ends with the marker; LZMA1EXT without
    // LZMA_LZMA1EXT_ALLOW_EOPM leaves it out, so the stated size ends the data.
    const lzma_filter filters[] = {
        {settings.endMarker ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA1EXT, &options},
        {LZMA_VLI_UNKNOWN, nullptr}};

    Coder coder;
    const lzma_ret init = lzma_raw_encoder(&coder.stream, filters);
    if (init != LZMA_OK) {
        fail("cannot start the LZMA1 encoder: " + describe(init));
    }
    Bytes out;
    appendAloneHeader(out, makeAloneHeader(settings.properties, dictionarySize,
                                           settings.unknownSize ? kUnknownSize : data.size()));
    const DrainResult result =
        drain(coder, data.data(), data.size(), out, kMaxArchiveSize + 1, progress);
    if (result.overLimit || out.size() > kMaxArchiveSize) {
        refuse("the compressed payload would be larger than " + std::to_string(kMaxArchiveSize) +
               " bytes");
    }
    if (result.ret != LZMA_STREAM_END) {
        fail("compression failed: " + describe(result.ret));
    }
    return out;
}

DecodedPayload decompressAlone(const Bytes& file) {
    DecodedPayload payload;
    payload.header = parseAloneHeader(file);
    const std::uint64_t statedSize = uncompressedSize(payload.header);
    const bool sizeStated = statedSize != kUnknownSize;

    // A dictionary larger than the output is never used, so a stated size
    // caps what a hostile header can make the decoder allocate.
    std::uint32_t dictionarySize = payload.header.dictionarySize;
    if (sizeStated) {
        dictionarySize = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            dictionarySize, std::max<std::uint64_t>(statedSize, LZMA_DICT_SIZE_MIN)));
    }
    lzma_options_lzma options{};
    options.dict_size = dictionarySize;
    LzmaProperties properties;
    splitPropertiesByte(payload.header.propertiesByte, &properties); // checked by parseAloneHeader
    setProperties(options, properties);
    options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    lzma_set_ext_size(options, statedSize);
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};

    Coder coder;
    const lzma_ret init = lzma_raw_decoder(&coder.stream, filters);
    if (init != LZMA_OK) {
        fail("cannot start the LZMA1 decoder: " + describe(init));
    }
    const DrainResult result =
        drain(coder, file.data() + kLzmaAloneHeaderSize, file.size() - kLzmaAloneHeaderSize,
              payload.data, kMaxArchiveSize + 1);
    if (result.overLimit || payload.data.size() > kMaxArchiveSize) {
        fail("the decoded data is larger than " + std::to_string(kMaxArchiveSize) + " bytes");
    }
    if (result.ret == LZMA_DATA_ERROR && sizeStated) {
        fail("the compressed data is corrupt, or has an end marker before the stated size of " +
             std::to_string(statedSize) + " bytes");
    }
    if (result.ret == LZMA_BUF_ERROR) {
        fail("the compressed data ends too early: " + std::to_string(payload.data.size()) +
             (sizeStated ? " of " + std::to_string(statedSize) : std::string()) + " bytes decoded");
    }
    if (result.ret != LZMA_STREAM_END) {
        fail(describe(result.ret));
    }
    if (sizeStated && payload.data.size() != statedSize) {
        fail("decoded " + std::to_string(payload.data.size()) + " bytes, but the header states " +
             std::to_string(statedSize));
    }
    payload.trailingBytes = coder.stream.avail_in;
    return payload;
}

} // namespace vempack
