// The .lzma header and the two kinds of stream the packer writes, checked
// against liblzma's own decoders rather than the packer's.
#include "error.h"
#include "lzma_codec.h"
#include "payloads.h"

#include <gtest/gtest.h>
#include <lzma.h>

namespace vempack {
namespace {

// Half text, half noise: compressible, yet larger than one coder buffer.
Bytes sampleData() {
    Bytes data;
    for (int i = 0; i < 4000; ++i) {
        const Bytes line = toBytes("line " + std::to_string(i) + " of the sample\n");
        data.insert(data.end(), line.begin(), line.end());
    }
    const Bytes noise = noiseBytes(100000, 7);
    data.insert(data.end(), noise.begin(), noise.end());
    return data;
}

// Decodes raw LZMA1 data after the header with `filter` and `options`.
lzma_ret rawDecode(const Bytes& file, lzma_vli filter, lzma_options_lzma options, Bytes& out) {
    const lzma_filter filters[] = {{filter, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    std::size_t inPos = kLzmaAloneHeaderSize;
    std::size_t outPos = 0;
    out.assign(file.size() * 4 + 1000000, 0);
    const lzma_ret ret = lzma_raw_buffer_decode(filters, nullptr, file.data(), &inPos, file.size(),
                                                out.data(), &outPos, out.size());
    out.resize(outPos);
    return ret;
}

lzma_options_lzma decoderOptions(std::uint32_t lc, std::uint32_t lp, std::uint32_t pb) {
    lzma_options_lzma options{};
    options.dict_size = 8u << 20;
    options.lc = lc;
    options.lp = lp;
    options.pb = pb;
    return options;
}

TEST(CompressAlone, WritesTheHeaderWithStatedSize) {
    const Bytes data = sampleData();
    const Bytes file = compressAlone(data, LzmaSettings());
    ASSERT_GT(file.size(), kLzmaAloneHeaderSize);
    const Bytes header(file.begin(), file.begin() + kLzmaAloneHeaderSize);
    // The default dictionary is the smallest stated size that holds the data.
    Bytes expected = {0x5D};
    appendLe(expected, 192u << 10, 4);
    appendLe(expected, data.size(), 8);
    EXPECT_EQ(header, expected);

    LzmaSettings settings;
    settings.properties = {0, 2, 4};
    settings.dictionarySize = 1u << 16;
    const Bytes custom = compressAlone(data, settings);
    EXPECT_EQ(readLe32(&custom[kLzmaDictionarySizeOffset]), 1u << 16);
    EXPECT_EQ(decompressAlone(custom).data, data);
}

TEST(DictionarySizeFor, CoversTheDataWithAStatedSizeUpTo64MiB) {
    struct Case {
        std::uint64_t dataSize;
        std::uint32_t requested;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {0, 0, 4096},
        {4096, 0, 4096},
        {4097, 0, 6144},
        {6145, 0, 8192},
        {4459669, 0, 6u << 20},
        {(6u << 20) + 1, 0, 8u << 20},
        {(48u << 20) + 1, 0, 64u << 20},
        {std::uint64_t{1} << 32, 0, 64u << 20},
        {std::uint64_t{1} << 32, 4096, 4096},
        {100, 12u << 20, 12u << 20},
    };
    for (const Case& c : cases) {
        const std::uint32_t size = dictionarySizeFor(c.dataSize, c.requested);
        EXPECT_EQ(size, c.expected) << c.dataSize << " " << c.requested;
        EXPECT_TRUE(isStatedDictionarySize(size)) << size;
    }
}

// Variants of one noise block, each a few bytes apart, in no order: the
// longest match often lies further back than the first long one found.
TEST(CompressAlone, TheNiceLengthDecidesWhichMatchesAreTaken) {
    std::vector<Bytes> variants(16, noiseBytes(1000, 5));
    for (std::size_t v = 0; v < variants.size(); ++v) {
        for (std::size_t k = 0; k < 6; ++k) {
            variants[v][(v * 7919 + k * 104729) % 1000] ^= 0x5A;
        }
    }
    Bytes data;
    std::uint32_t pick = 1;
    for (int copy = 0; copy < 200; ++copy) {
        pick = pick * 1103515245u + 12345u;
        const Bytes& variant = variants[(pick >> 16) % variants.size()];
        data.insert(data.end(), variant.begin(), variant.end());
    }
    const auto packed = [&](std::uint32_t preset, std::uint32_t nice) {
        LzmaSettings settings;
        settings.preset = preset;
        settings.niceLength = nice;
        return compressAlone(data, settings);
    };
    const Bytes byDefault = packed(9, 0);
    EXPECT_EQ(byDefault, packed(9, kDefaultNiceLength));
    EXPECT_NE(byDefault, packed(9, 64));
    // Any other preset keeps its own (6's is 64, and the dictionary is ours).
    EXPECT_EQ(packed(6, 0), packed(9, 64));
}

TEST(CompressAlone, DefaultStreamHasNoEndMarker) {
    const Bytes data = sampleData();
    const Bytes file = compressAlone(data, LzmaSettings());

    // liblzma's .lzma decoder reads it as it is.
    Bytes viaAlone(data.size() + 100);
    lzma_stream stream = LZMA_STREAM_INIT;
    ASSERT_EQ(lzma_alone_decoder(&stream, UINT64_MAX), LZMA_OK);
    stream.next_in = file.data();
    stream.avail_in = file.size();
    stream.next_out = viaAlone.data();
    stream.avail_out = viaAlone.size();
    EXPECT_EQ(lzma_code(&stream, LZMA_FINISH), LZMA_STREAM_END);
    viaAlone.resize(viaAlone.size() - stream.avail_out);
    lzma_end(&stream);
    EXPECT_EQ(viaAlone, data);

    // The stated size ends it; plain LZMA1, which needs the marker, fails.
    lzma_options_lzma sized = decoderOptions(3, 0, 2);
    lzma_set_ext_size(sized, data.size());
    Bytes out;
    EXPECT_EQ(rawDecode(file, LZMA_FILTER_LZMA1EXT, sized, out), LZMA_OK);
    EXPECT_EQ(out, data);
    EXPECT_NE(rawDecode(file, LZMA_FILTER_LZMA1, decoderOptions(3, 0, 2), out), LZMA_OK);
}

TEST(CompressAlone, EndMarkerStreamEndsByItsMarker) {
    const Bytes data = sampleData();
    LzmaSettings settings;
    settings.endMarker = true;
    const Bytes file = compressAlone(data, settings);
    EXPECT_EQ(uncompressedSize(parseAloneHeader(file)), data.size());

    // Plain LZMA1 knows no size: only the marker can end the stream.
    Bytes out;
    EXPECT_EQ(rawDecode(file, LZMA_FILTER_LZMA1, decoderOptions(3, 0, 2), out), LZMA_OK);
    EXPECT_EQ(out, data);
    EXPECT_EQ(decompressAlone(file).data, data);

    settings.unknownSize = true;
    const Bytes unsized = compressAlone(data, settings);
    EXPECT_EQ(uncompressedSize(parseAloneHeader(unsized)), kUnknownSize);
    EXPECT_EQ(decompressAlone(unsized).data, data);

    settings.endMarker = false;
    EXPECT_THROW(compressAlone(data, settings), ToolError);
}

TEST(DecompressAlone, RefusesBadHeaders) {
    const Bytes good = compressAlone(toBytes("payload"), LzmaSettings());
    EXPECT_EQ(decompressAlone(good).data, toBytes("payload"));
    EXPECT_EQ(decompressAlone(good).trailingBytes, 0u);

    EXPECT_THROW(decompressAlone(Bytes(good.begin(), good.begin() + 12)), ToolError);
    Bytes patched = good;
    patched[0] = 225;
    EXPECT_THROW(decompressAlone(patched), ToolError);
    patched[0] = joinPropertiesByte({4, 1, 0});
    EXPECT_THROW(decompressAlone(patched), ToolError);
    patched = good;
    patched[kLzmaUncompressedSizeOffset + 4] = 1; // a size of 2^32 and more
    EXPECT_THROW(decompressAlone(patched), ToolError);
}

TEST(DecompressAlone, RefusesDataThatDoesNotMatchTheStatedSize) {
    const Bytes data = sampleData();
    const Bytes file = compressAlone(data, LzmaSettings());
    for (const std::size_t keep :
         {kLzmaAloneHeaderSize, kLzmaAloneHeaderSize + 10, file.size() / 2, file.size() - 1}) {
        EXPECT_THROW(decompressAlone(Bytes(file.begin(), file.begin() + keep)), ToolError) << keep;
    }
    // An end marker before the stated size.
    LzmaSettings settings;
    settings.endMarker = true;
    Bytes early = compressAlone(data, settings);
    early[kLzmaUncompressedSizeOffset] =
        static_cast<std::uint8_t>(early[kLzmaUncompressedSizeOffset] + 1);
    EXPECT_THROW(decompressAlone(early), ToolError);
}

TEST(DecompressAlone, CountsBytesAfterTheStream) {
    Bytes file = compressAlone(sampleData(), LzmaSettings());
    file.insert(file.end(), {1, 2, 3});
    const DecodedPayload payload = decompressAlone(file);
    EXPECT_EQ(payload.data, sampleData());
    EXPECT_EQ(payload.trailingBytes, 3u);
}

} // namespace
} // namespace vempack
