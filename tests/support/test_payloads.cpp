#include "test_payloads.h"

#include <lzma.h>

#include <stdexcept>

void appendLe32(Bytes& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

Bytes toBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes makeArchiveWithCount(const std::vector<TestEntry>& entries, int32_t entryCount,
                           uint32_t designationFlag, int32_t designatedIndex) {
    Bytes bytes = {'H', 'E', 'N'};
    appendLe32(bytes, static_cast<uint32_t>(entryCount));
    appendLe32(bytes, designationFlag);
    appendLe32(bytes, static_cast<uint32_t>(designatedIndex));
    for (const TestEntry& entry : entries) {
        appendLe32(bytes, static_cast<uint32_t>(entry.name.size()));
        bytes.insert(bytes.end(), entry.name.begin(), entry.name.end());
        appendLe32(bytes, static_cast<uint32_t>(entry.data.size()));
        bytes.insert(bytes.end(), entry.data.begin(), entry.data.end());
    }
    return bytes;
}

Bytes makeArchive(const std::vector<TestEntry>& entries, uint32_t designationFlag,
                  int32_t designatedIndex) {
    return makeArchiveWithCount(entries, static_cast<int32_t>(entries.size()), designationFlag,
                                designatedIndex);
}

Bytes makeLzmaStatedSize(const Bytes& content, EndMarker marker, uint64_t statedSize) {
    lzma_options_lzma options{};
    lzma_lzma_preset(&options, 6);
    options.ext_flags = 0;
    options.ext_size_low = 0;
    options.ext_size_high = 0;
    options.lc = 3;
    options.lp = 0;
    options.pb = 2;
    options.dict_size = 1u << 20;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (marker == EndMarker::kNone) {
        // A known size lets the encoder leave the end marker out.
        options.ext_size_low = static_cast<uint32_t>(content.size());
        options.ext_size_high = static_cast<uint32_t>(uint64_t(content.size()) >> 32);
    } else {
        filters[0].id = LZMA_FILTER_LZMA1;
    }
    Bytes out(13);
    out[0] = static_cast<unsigned char>((options.pb * 5 + options.lp) * 9 + options.lc);
    for (int i = 0; i < 4; ++i) {
        out[1 + i] = static_cast<unsigned char>(options.dict_size >> (8 * i));
    }
    for (int i = 0; i < 8; ++i) {
        out[5 + i] = static_cast<unsigned char>(statedSize >> (8 * i));
    }
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_encoder(&stream, filters) != LZMA_OK) {
        throw std::runtime_error("lzma_raw_encoder failed");
    }
    stream.next_in = content.data();
    stream.avail_in = content.size();
    unsigned char chunk[65536];
    lzma_ret status = LZMA_OK;
    do {
        stream.next_out = chunk;
        stream.avail_out = sizeof chunk;
        status = lzma_code(&stream, LZMA_FINISH);
        out.insert(out.end(), chunk, chunk + (sizeof chunk - stream.avail_out));
    } while (status == LZMA_OK);
    lzma_end(&stream);
    if (status != LZMA_STREAM_END) {
        throw std::runtime_error("lzma encoding failed");
    }
    return out;
}

Bytes makeLzma(const Bytes& content, EndMarker marker) {
    return makeLzmaStatedSize(content, marker, content.size());
}
