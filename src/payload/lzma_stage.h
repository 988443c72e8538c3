// The compressed payload stage: the payload is decoded, the archive written
// to the second temporary file, and the first deleted.
#pragma once

#include <stddef.h>

#include "common/bounded_text.h"
#include "common/exit_code.h"
#include "platform/platform.h"

// The package archive in memory, as decoded: the bytes the second temporary
// file receives, kept for the unpacking so that they are not read back from
// it. Empty when nothing was decoded.
struct DecodedArchive {
    unsigned char* bytes; // from platform::allocateMemory, or null
    size_t size;
};

// The second temporary file and the write that fills it with the archive.
// The write may go on beside the unpacking, which reads the same bytes.
struct ArchiveFile {
    char path[kPathBufferSize];
    DecodedArchive archive;
    platform::Worker writer; // null once finished, or when written at once
    bool opened;             // the file could be opened for writing
    bool whole;              // and took every byte
};

// Decodes `payload`, the bytes that reached the first temporary file.
DecodedArchive decodePayload(platform::ResourceBytes payload);

// Starts writing `file->archive` to `file->path`, on a second thread where
// one can be had, else at once.
void startArchiveFile(ArchiveFile* file);

// Waits for the write: kExitSuccess when the file holds the whole archive,
// kExitArchiveOpen when it could not be opened, kExitArchiveCorrupt when it
// did not take the whole archive (it is emptied then, so that nothing
// partial is ever unpacked from it).
ExitCode finishArchiveFile(ArchiveFile* file);

// The stage at once: decodes `payload` into the second temporary file and
// deletes the first. Never fails by itself: whatever cannot be decoded or
// written leaves the second file empty and gives an empty archive.
DecodedArchive decompressPayload(platform::ResourceBytes payload, const char* firstTempFile,
                                 const char* secondTempFile);

void releaseDecodedArchive(DecodedArchive* archive);
