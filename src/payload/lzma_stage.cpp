#include "payload/lzma_stage.h"

#include <stdint.h>

#include "format/lzma_alone_header.h"
#include "payload/busy_retry.h"
#include "payload/exact_io.h"
#include "payload/lzma_decoder.h"
#include "platform/platform.h"

namespace {

DecodedArchive decode(const LzmaAloneHeader& header, const unsigned char* data, size_t dataSize) {
    DecodedArchive decoded = {nullptr, 0};
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

// Runs on the writer thread: only platform calls, nothing shared but the
// record, which the main thread leaves alone until the write is finished.
void writeArchiveFile(void* context) {
    ArchiveFile* file = static_cast<ArchiveFile*>(context);
    platform::FileHandle output = createFileWhenFree(file->path);
    file->opened = output != nullptr;
    if (!file->opened) {
        return;
    }
    file->whole = writeAndClose(output, file->archive.bytes, file->archive.size);
}

} // namespace

DecodedArchive decodePayload(platform::ResourceBytes payload) {
    DecodedArchive decoded = {nullptr, 0};
    // The payload is decoded where it lies, from the bytes that were written
    // to the first file: reading that file back would hold the compressed
    // bytes twice while decoding.
    if (payload.bytes != nullptr && payload.size >= kLzmaAloneHeaderSize) {
        const LzmaAloneHeader header = parseLzmaAloneHeader(payload.bytes);
        decoded = decode(header, payload.bytes + kLzmaAloneHeaderSize,
                         payload.size - kLzmaAloneHeaderSize);
    }
    return decoded;
}

void startArchiveFile(ArchiveFile* file) {
    file->opened = false;
    file->whole = false;
    file->writer = platform::startWorker(writeArchiveFile, file);
    if (file->writer == nullptr) {
        writeArchiveFile(file);
    }
}

ExitCode finishArchiveFile(ArchiveFile* file) {
    if (file->writer != nullptr) {
        platform::finishWorker(file->writer);
        file->writer = nullptr;
    }
    if (!file->opened) {
        return kExitArchiveOpen;
    }
    if (!file->whole) {
        // A short write (a full disk) would leave the front of the archive
        // in the file; an empty one is refused as a whole.
        platform::FileHandle emptied = createFileWhenFree(file->path);
        if (emptied != nullptr) {
            platform::closeFile(emptied);
        }
        return kExitArchiveCorrupt;
    }
    return kExitSuccess;
}

DecodedArchive decompressPayload(platform::ResourceBytes payload, const char* firstTempFile,
                                 const char* secondTempFile) {
    ArchiveFile file;
    copyText(file.path, sizeof file.path, secondTempFile);
    file.archive = decodePayload(payload);
    startArchiveFile(&file);
    const bool whole = finishArchiveFile(&file) == kExitSuccess;
    deleteFileWhenFree(firstTempFile);
    if (!whole) {
        releaseDecodedArchive(&file.archive);
    }
    return file.archive;
}

void releaseDecodedArchive(DecodedArchive* archive) {
    platform::freeMemory(archive->bytes);
    archive->bytes = nullptr;
    archive->size = 0;
}
