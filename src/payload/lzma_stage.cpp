#include "payload/lzma_stage.h"

#include <stdint.h>

#include "format/lzma_alone_header.h"
#include "payload/busy_retry.h"
#include "payload/exact_io.h"
#include "payload/lzma_decoder.h"
#include "platform/platform.h"

namespace {

// The output of one decode, however it was made.
struct Decoded {
    unsigned char* bytes;
    size_t size;
};

// Reads the whole first temporary file: header, then compressed data.
// False when it cannot be read or is too short to hold a header.
bool readCompressedFile(const char* path, LzmaAloneHeader* header, unsigned char** data,
                        size_t* dataSize) {
    *data = nullptr;
    *dataSize = 0;
    platform::Stream stream = openStreamWhenFree(path, "rb");
    if (stream == nullptr) {
        return false;
    }
    bool ok = false;
    unsigned char headerBytes[kLzmaAloneHeaderSize];
    int64_t fileSize = -1;
    if (platform::seekStream(stream, 0, platform::kSeekEnd)) {
        fileSize = platform::tellStream(stream);
    }
    if (fileSize >= static_cast<int64_t>(kLzmaAloneHeaderSize) &&
        static_cast<uint64_t>(fileSize) - kLzmaAloneHeaderSize <= SIZE_MAX &&
        platform::seekStream(stream, 0, platform::kSeekSet) &&
        readExact(stream, headerBytes, sizeof headerBytes)) {
        *header = parseLzmaAloneHeader(headerBytes);
        // Subtracted in 64 bits: a 32-bit size_t would cut the file size
        // before the header is taken off it.
        *dataSize = static_cast<size_t>(static_cast<uint64_t>(fileSize) - kLzmaAloneHeaderSize);
        // An empty stream still gets a block of its own; no size is added
        // to, so none can wrap around in a 32-bit size_t.
        *data =
            static_cast<unsigned char*>(platform::allocateMemory(*dataSize == 0 ? 1 : *dataSize));
        ok = *data != nullptr && readExact(stream, *data, *dataSize);
    }
    platform::closeStream(stream);
    if (!ok) {
        platform::freeMemory(*data);
        *data = nullptr;
        *dataSize = 0;
    }
    return ok;
}

Decoded decode(const LzmaAloneHeader& header, const unsigned char* data, size_t dataSize) {
    Decoded decoded = {nullptr, 0};
    LzmaProperties properties;
    if (!splitPropertiesByte(header.propertiesByte, &properties)) {
        return decoded;
    }
    if (hasUnknownSize(header)) {
        // A stream that states no size (as xz's .lzma writer makes) is grown
        // as it decodes instead of reserving 4 GiB up front.
        const DecodedBytes grown =
            decodeLzmaUnknownSize(properties, header.dictionarySize, data, dataSize, UINT32_MAX);
        decoded.bytes = grown.bytes;
        decoded.size = grown.size;
        return decoded;
    }
    const size_t outputSize = header.uncompressedSizeLow;
    if (outputSize == 0) {
        return decoded;
    }
    decoded.bytes = static_cast<unsigned char*>(platform::allocateMemory(outputSize));
    if (decoded.bytes != nullptr) {
        decoded.size = decodeLzmaKnownSize(properties, header.dictionarySize, data, dataSize,
                                           decoded.bytes, outputSize);
    }
    return decoded;
}

} // namespace

void decompressPayload(const char* firstTempFile, const char* secondTempFile) {
    LzmaAloneHeader header = {};
    unsigned char* data = nullptr;
    size_t dataSize = 0;
    Decoded decoded = {nullptr, 0};
    if (readCompressedFile(firstTempFile, &header, &data, &dataSize)) {
        decoded = decode(header, data, dataSize);
    }
    // The compressed bytes are spent before the archive is written.
    platform::freeMemory(data);

    // Whatever happened above, the second file is rewritten: with the whole
    // decoded archive, or empty, so that nothing partial is ever unpacked.
    platform::Stream output = openStreamWhenFree(secondTempFile, "wb+");
    if (output != nullptr) {
        bool whole = writeExact(output, decoded.bytes, decoded.size);
        whole = platform::closeStream(output) && whole;
        if (!whole) {
            // A short write (a full disk) would leave the front of the
            // archive to be unpacked; an empty file is refused as a whole.
            platform::Stream emptied = openStreamWhenFree(secondTempFile, "wb+");
            if (emptied != nullptr) {
                platform::closeStream(emptied);
            }
        }
    }

    platform::freeMemory(decoded.bytes);
    deleteFileWhenFree(firstTempFile);
}
