// The compressed payload stage: the payload is decoded, the archive written
// to the second temporary file, and the first deleted.
#pragma once

#include <atomic>
#include <stddef.h>

#include "common/bounded_text.h"
#include "common/exit_code.h"
#include "payload/lzma_decoder.h"
#include "platform/platform.h"

// The package archive in memory, as decoded: the bytes the second temporary
// file receives, kept for the unpacking so that they are not read back from
// it. Empty when nothing was decoded.
using DecodedArchive = DecodedBytes;

// The payload's decode, on a second thread beside the unpacking where one
// can be had, else a slice at a time as the unpacking asks for bytes.
struct PayloadDecode {
    LzmaSlices slices;               // the decoder's own while it runs
    platform::ResourceBytes payload; // given back once decoded
    std::atomic<size_t> final;       // bytes at the front that are final
    std::atomic<LzmaSliceState> state;
    platform::Signal progress; // raised after every slice
    platform::Worker decoder;  // null: decoded on demand
};

// The second temporary file, filled with the archive as it is decoded, by
// the thread that unpacks it.
struct ArchiveFile {
    char path[kPathBufferSize];
    DecodedArchive archive; // `size` is what is final so far
    PayloadDecode decode;
    platform::FileHandle output; // open while bytes are still to come
    size_t written;
    bool opened; // the file could be opened for writing
    bool whole;  // and took every byte so far
};

// Starts decoding `payload`, the bytes that reached the first temporary
// file, into `file->archive`, and opens `file->path` to receive it. `file`
// is as zero-initialised but for its path.
void startPayloadDecode(ArchiveFile* file, platform::ResourceBytes payload);

// For an archive already whole in `file->archive`: opens its file. `file`
// is as zero-initialised but for its path and archive.
void startArchiveFile(ArchiveFile* file);

// Waits until at least `wanted` bytes of the archive are final or the
// decode has ended, writing what is final to the file meanwhile, and
// returns how many are final: fewer than `wanted` only at the archive's
// end, and none once the decode has failed.
size_t awaitArchive(ArchiveFile* file, size_t wanted);

// True once the payload turned out not to decode: nothing it gave counts.
bool decodeFailed(const ArchiveFile* file);

// Waits for the decode's end and the file: kExitSuccess when the file holds
// the whole archive, kExitArchiveOpen when it could not be opened,
// kExitArchiveCorrupt when it did not take the whole archive or the payload
// did not decode (it is emptied then, so that nothing partial is ever
// unpacked from it).
ExitCode finishArchiveFile(ArchiveFile* file);

// The stage at once: decodes `payload` into the second temporary file and
// deletes the first. Never fails by itself: whatever cannot be decoded or
// written leaves the second file empty and gives an empty archive.
DecodedArchive decompressPayload(platform::ResourceBytes payload, const char* firstTempFile,
                                 const char* secondTempFile);

void releaseDecodedArchive(DecodedArchive* archive);
