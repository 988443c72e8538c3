// The unpacking stage as the stub runs it once the payload is decoded: the
// archive, whole in memory, written to its file beside the entries.
#pragma once

#include <stddef.h>

#include "common/bounded_text.h"
#include "payload/lzma_stage.h"
#include "payload/package_archive.h"

inline ExitCode unpackFromMemory(const char* archivePath, unsigned char* bytes, size_t size,
                                 const char* destination, UnpackMode mode, char* launchPath) {
    ArchiveFile file = {};
    copyText(file.path, sizeof file.path, archivePath);
    file.archive = {bytes, size};
    startArchiveFile(&file);
    return unpackPackage(&file, destination, mode, launchPath);
}
