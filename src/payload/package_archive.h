// Unpacks the package archive (format/package_format.h).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/exit_code.h"
#include "format/package_format.h"
#include "payload/lzma_stage.h"

struct PackageHeader {
    unsigned char magic[3];
    int32_t entryCount;
    uint32_t designationFlag; // nonzero: designatedIndex names an entry
    int32_t designatedIndex;
};

struct PackageEntry {
    uint32_t nameLength;
    char name[kEntryNameBufferSize];
    uint32_t dataSize;
};

enum class UnpackMode { kInstall, kExtractAndLaunch };

// Destination directory, a backslash where needed, then the name; into a
// 260-byte buffer. False (and an empty path) when it does not fit.
bool composeOutputPath(const char* directory, const char* name, char* path);

// Writes the entries of the archive in `file` (its write started) into
// `destination`, and deletes the file once all are written. Install mode
// leaves out the designated entry; extract-and-launch mode writes all and
// puts the designated entry's path into `launchPath` (260 bytes, empty when
// nothing is designated). Returns kExitSuccess, kExitArchiveOpen (the file
// could not be opened), kExitArchiveCorrupt (not written whole, or not an
// archive) or kExitEntryOutput.
ExitCode unpackPackage(ArchiveFile* file, const char* destination, UnpackMode mode,
                       char* launchPath);
