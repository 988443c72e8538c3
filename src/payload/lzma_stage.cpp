#include "payload/lzma_stage.h"

#include <stdint.h>

#include "format/lzma_alone_header.h"
#include "payload/busy_retry.h"
#include "payload/exact_io.h"
#include "platform/platform.h"

namespace {

// What the decoder makes between two reports: small enough that the first
// entries are written soon after the start and the last ones soon after
// the end, large enough that the reports cost nothing beside the decoding.
constexpr size_t kDecodeSlice = size_t{1} << 19;

void publish(PayloadDecode* decode, LzmaSliceState state) {
    decode->final.store(decode->slices.produced, std::memory_order_release);
    if (state != LzmaSliceState::kDecoding) {
        // The compressed bytes are spent: their pages need not stay
        // resident while the entries are written.
        platform::releaseResource(decode->payload);
        decode->state.store(state, std::memory_order_release);
    }
}

void decodeSlice(PayloadDecode* decode) {
    publish(decode, decodeLzmaSlice(&decode->slices, kDecodeSlice));
}

// Runs on the decoder thread: the slices and the two counters are all it
// touches, and the reader reads the output only below `final`.
void decodeBeside(void* context) {
    PayloadDecode* decode = static_cast<PayloadDecode*>(context);
    while (decode->state.load(std::memory_order_relaxed) == LzmaSliceState::kDecoding) {
        decodeSlice(decode);
        platform::raiseSignal(decode->progress);
    }
}

void openArchiveFile(ArchiveFile* file) {
    file->written = 0;
    file->output = createFileWhenFree(file->path);
    file->opened = file->output != nullptr;
    file->whole = file->opened;
}

// What is final goes to the file as it comes; a write that fails stops
// the writing, and the file is emptied when it is finished.
void appendFinal(ArchiveFile* file, size_t final) {
    if (file->output == nullptr || !file->whole || final <= file->written) {
        return;
    }
    file->whole =
        writeFileExact(file->output, file->archive.bytes + file->written, final - file->written);
    file->written = final;
}

void closeArchiveFile(ArchiveFile* file) {
    if (file->output != nullptr) {
        file->whole = platform::closeFile(file->output) && file->whole;
        file->output = nullptr;
    }
}

void startDecoder(ArchiveFile* file, const LzmaAloneHeader& header, const LzmaProperties& props,
                  const unsigned char* data, size_t dataSize) {
    PayloadDecode* decode = &file->decode;
    const size_t outputSize = header.uncompressedSizeLow;
    file->archive.bytes = outputSize == 0
                              ? nullptr
                              : static_cast<unsigned char*>(platform::allocateMemory(outputSize));
    startLzmaSlices(&decode->slices, props, header.dictionarySize, data, dataSize,
                    file->archive.bytes, outputSize);
    if (decode->slices.state != LzmaSliceState::kDecoding) {
        publish(decode, decode->slices.state);
        return;
    }
    decode->progress = platform::createSignal();
    if (decode->progress != nullptr) {
        decode->decoder = platform::startWorker(decodeBeside, decode);
    }
}

} // namespace

void startPayloadDecode(ArchiveFile* file, platform::ResourceBytes payload) {
    PayloadDecode* decode = &file->decode;
    decode->payload = payload;
    openArchiveFile(file);
    // The payload is decoded where it lies, from the bytes that were written
    // to the first file: reading that file back would hold the compressed
    // bytes twice while decoding.
    LzmaProperties properties;
    LzmaAloneHeader header = {};
    if (payload.bytes == nullptr || payload.size < kLzmaAloneHeaderSize ||
        !splitPropertiesByte((header = parseLzmaAloneHeader(payload.bytes)).propertiesByte,
                             &properties)) {
        publish(decode, LzmaSliceState::kFailed);
        return;
    }
    const unsigned char* data = payload.bytes + kLzmaAloneHeaderSize;
    const size_t dataSize = payload.size - kLzmaAloneHeaderSize;
    if (hasUnknownSize(header)) {
        // A stream that states no size (as xz's .lzma writer makes) is grown
        // as it decodes instead of reserving 4 GiB up front, which moves it:
        // it is decoded whole before anything is read from it.
        file->archive =
            decodeLzmaUnknownSize(properties, header.dictionarySize, data, dataSize, UINT32_MAX);
        decode->slices.produced = file->archive.size;
        publish(decode, file->archive.bytes != nullptr ? LzmaSliceState::kDecoded
                                                       : LzmaSliceState::kFailed);
        return;
    }
    startDecoder(file, header, properties, data, dataSize);
}

void startArchiveFile(ArchiveFile* file) {
    file->decode.final.store(file->archive.size, std::memory_order_relaxed);
    file->decode.state.store(LzmaSliceState::kDecoded, std::memory_order_relaxed);
    openArchiveFile(file);
}

size_t awaitArchive(ArchiveFile* file, size_t wanted) {
    PayloadDecode* decode = &file->decode;
    for (;;) {
        // The state first: once it has ended, `final` is the decode's last.
        const LzmaSliceState state = decode->state.load(std::memory_order_acquire);
        const size_t final = decode->final.load(std::memory_order_acquire);
        if (state == LzmaSliceState::kFailed) {
            return 0;
        }
        appendFinal(file, final);
        if (final >= wanted || state == LzmaSliceState::kDecoded) {
            file->archive.size = final;
            return final;
        }
        if (decode->decoder == nullptr) {
            decodeSlice(decode);
        } else {
            platform::waitForSignal(decode->progress);
        }
    }
}

bool decodeFailed(const ArchiveFile* file) {
    return file->decode.state.load(std::memory_order_acquire) == LzmaSliceState::kFailed;
}

ExitCode finishArchiveFile(ArchiveFile* file) {
    awaitArchive(file, SIZE_MAX);
    PayloadDecode* decode = &file->decode;
    if (decode->decoder != nullptr) {
        platform::finishWorker(decode->decoder);
        decode->decoder = nullptr;
    }
    platform::closeSignal(decode->progress);
    decode->progress = nullptr;
    closeArchiveFile(file);
    if (!file->opened) {
        return kExitArchiveOpen;
    }
    // A payload that does not decode gives nothing, however much of it was
    // written; a short write (a full disk) would leave the front of the
    // archive in the file. An empty file is refused as a whole.
    if (decodeFailed(file)) {
        file->archive.size = 0;
        file->whole = file->whole && file->written == 0;
    }
    if (!file->whole) {
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
    ArchiveFile file = {};
    copyText(file.path, sizeof file.path, secondTempFile);
    startPayloadDecode(&file, payload);
    const bool whole = finishArchiveFile(&file) == kExitSuccess;
    deleteFileWhenFree(firstTempFile);
    if (!whole || decodeFailed(&file)) {
        releaseDecodedArchive(&file.archive);
    }
    return file.archive;
}

void releaseDecodedArchive(DecodedArchive* archive) {
    platform::freeMemory(archive->bytes);
    archive->bytes = nullptr;
    archive->size = 0;
}
