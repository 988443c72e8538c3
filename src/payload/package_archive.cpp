#include "payload/package_archive.h"

#include <string.h>

#include "common/bounded_text.h"
#include "common/little_endian.h"
#include "format/entry_name.h"
#include "payload/busy_retry.h"
#include "payload/exact_io.h"
#include "payload/lzma_stage.h"
#include "payload/temp_files.h"
#include "platform/platform.h"
#include "system/directory_utils.h"

namespace {

// The archive being read, as far as it is decoded, so that no length read
// from it is trusted beyond the bytes that really follow.
struct ArchiveReader {
    ArchiveFile* file; // null: `bytes` is all there is
    const unsigned char* bytes;
    size_t offset;
    size_t available;
};

// Takes `count` bytes off the front, waiting for the decode where they are
// not there yet: null when the archive ends first.
const unsigned char* takeBytes(ArchiveReader* reader, size_t count) {
    if (count > reader->available - reader->offset && reader->file != nullptr) {
        const size_t wanted = count > SIZE_MAX - reader->offset ? SIZE_MAX : reader->offset + count;
        reader->available = awaitArchive(reader->file, wanted);
    }
    if (reader->available < reader->offset || count > reader->available - reader->offset) {
        return nullptr;
    }
    const unsigned char* taken = reader->bytes + reader->offset;
    reader->offset += count;
    return taken;
}

bool readBytes(ArchiveReader* reader, void* buffer, size_t count) {
    const unsigned char* taken = takeBytes(reader, count);
    if (taken == nullptr) {
        return false;
    }
    memcpy(buffer, taken, count);
    return true;
}

bool readUint32(ArchiveReader* reader, uint32_t* value) {
    unsigned char bytes[4];
    if (!readBytes(reader, bytes, sizeof bytes)) {
        return false;
    }
    *value = readLe32(bytes);
    return true;
}

// Header fields after the magic. An archive may end after the magic, or
// before the designation: what is missing keeps its preset (no entries,
// nothing designated).
void readHeaderFields(ArchiveReader* reader, PackageHeader* header) {
    uint32_t value = 0;
    header->entryCount = 0;
    header->designationFlag = 0;
    header->designatedIndex = -1;
    if (!readUint32(reader, &value)) {
        return;
    }
    header->entryCount = static_cast<int32_t>(value);
    if (!readUint32(reader, &value)) {
        return;
    }
    header->designationFlag = value;
    if (readUint32(reader, &value)) {
        header->designatedIndex = static_cast<int32_t>(value);
    }
}

// One record's name and data, checked whole before anything is written;
// `data` points into the archive.
bool readEntry(ArchiveReader* reader, PackageEntry* entry, const unsigned char** data) {
    memset(entry, 0, sizeof *entry);
    return readUint32(reader, &entry->nameLength) && entry->nameLength < sizeof entry->name &&
           readBytes(reader, entry->name, entry->nameLength) &&
           strlen(entry->name) == entry->nameLength && readUint32(reader, &entry->dataSize) &&
           (*data = takeBytes(reader, entry->dataSize)) != nullptr;
}

// A file that cannot be created, or is not written whole, fails the entry.
// A short write (a full disk) must not pass for an installed file: what
// was written of it goes again, so that no file that looks complete but is
// cut short stays behind.
bool writeEntryFile(const char* path, const unsigned char* data, uint32_t size) {
    // The entry is whole in memory: it goes to its file through the handle
    // in one write, without a stream's buffer and the queries that set one
    // up.
    platform::FileHandle output = createFileWhenFree(path);
    if (output == nullptr) {
        return false;
    }
    const bool whole = writeAndClose(output, data, size);
    if (!whole) {
        deleteFileWhenFree(path);
    }
    return whole;
}

// Where a path's last backslash stands; 0 when it has none in front of
// its name.
size_t lastSeparator(const char* path) {
    const size_t last = lastBackslash(path, platform::isDbcsLeadByte);
    return last == kNoBackslash ? 0 : last;
}

// The folder a path's file is in: everything before its last backslash.
bool folderOf(const char* path, char* folder) {
    const size_t end = lastSeparator(path);
    clearBuffer(folder, kPathBufferSize);
    if (end == 0 || end >= kPathBufferSize) {
        return false;
    }
    memcpy(folder, path, end);
    return true;
}

// Entries are stored sorted by name, so an entry mostly lies in the folder
// of the one before it, whose levels were made or checked a moment ago:
// `madeFolder` (260 bytes) remembers that folder, and only a new one is
// walked level by level.
bool makeEntryLevels(const char* destination, const char* name, char* madeFolder) {
    const size_t length = lastSeparator(name);
    if (length == 0 || (madeFolder[length] == '\0' && memcmp(madeFolder, name, length) == 0)) {
        return true;
    }
    clearBuffer(madeFolder, kPathBufferSize);
    if (!createInnerLevels(destination, name)) {
        return false;
    }
    memcpy(madeFolder, name, length);
    return true;
}

// An install may replace what an earlier one left, which must never be
// lost half-way: the entry is written whole under a name of its own in the
// same folder and then moved over the old file in one step, so a run that
// stops anywhere (killed, a full disk) leaves every file either as it was
// or as it is now. The move replaces a link instead of writing through it;
// a file that is a link is refused all the same.
bool replaceEntryFile(const char* path, const unsigned char* data, uint32_t size) {
    // A folder of that name cannot be replaced by a file; it is refused at
    // once rather than waited for.
    const uint32_t attributes = platform::getFileAttributes(path);
    if (attributes != platform::kInvalidFileAttributes &&
        ((attributes & platform::kFileAttributeDirectory) != 0 || platform::isLink(path))) {
        return false;
    }
    char folder[kPathBufferSize];
    char temporary[kPathBufferSize];
    // A folder too long for a name of its own (over 246 characters) still
    // takes the entry the way it always did.
    if (!folderOf(path, folder) || !makeTempFileName(folder, temporary)) {
        return writeEntryFile(path, data, size);
    }
    if (!writeEntryFile(temporary, data, size)) {
        deleteFileWhenFree(temporary);
        return false;
    }
    if (!retryWhileBusy([&] { return platform::moveFileReplacing(temporary, path); })) {
        deleteFileWhenFree(temporary);
        return false;
    }
    return true;
}

bool isDesignated(const PackageHeader& header, int32_t index) {
    return header.designationFlag != 0 && index == header.designatedIndex;
}

ExitCode unpackEntries(ArchiveReader* reader, const PackageHeader& header, const char* destination,
                       UnpackMode mode, char* launchPath, int32_t* done) {
    char madeFolder[kPathBufferSize];
    clearBuffer(madeFolder, sizeof madeFolder);
    for (int32_t i = 0; i < header.entryCount; *done = ++i) {
        PackageEntry entry;
        const unsigned char* data = nullptr;
        if (!readEntry(reader, &entry, &data)) {
            return kExitArchiveCorrupt;
        }
        char path[kPathBufferSize];
        ExitCode result = kExitSuccess;
        const bool skipped = mode == UnpackMode::kInstall && isDesignated(header, i);
        // Extract-and-launch mode writes into a work directory that this run
        // has just made for itself: nothing there to keep or to lead astray.
        if (!skipped) {
            if (!isSafeEntryName(entry.name, platform::isDbcsLeadByte) ||
                !composeOutputPath(destination, entry.name, path) ||
                !makeEntryLevels(destination, entry.name, madeFolder) ||
                !(mode == UnpackMode::kInstall ? replaceEntryFile(path, data, entry.dataSize)
                                               : writeEntryFile(path, data, entry.dataSize))) {
                result = kExitEntryOutput;
            } else if (mode == UnpackMode::kExtractAndLaunch && isDesignated(header, i)) {
                copyText(launchPath, kPathBufferSize, path);
            }
        }
        if (result != kExitSuccess) {
            return result;
        }
    }
    // Bytes after the last counted record are entries that the count leaves
    // out (a count of 0 or below included): the archive is not what it says,
    // and installing only part of it would pass for success.
    return takeBytes(reader, 1) == nullptr ? kExitSuccess : kExitArchiveCorrupt;
}

// Reads the magic and the header: false when it is not an archive.
bool readHeader(ArchiveReader* reader, PackageHeader* header) {
    memset(header, 0, sizeof *header);
    if (!readBytes(reader, header->magic, sizeof header->magic) ||
        memcmp(header->magic, kPackageMagic, sizeof kPackageMagic) != 0) {
        return false;
    }
    readHeaderFields(reader, header);
    return true;
}

// Entries are written from the front of the payload while the rest is
// decoded. A payload found damaged further on gives nothing, so the first
// `count` entries, written from what it gave, go again with the folders
// they alone were in.
void removeWrittenEntries(const unsigned char* archive, size_t size, const char* destination,
                          int32_t count) {
    ArchiveReader reader = {nullptr, archive, 0, size};
    PackageHeader header;
    if (!readHeader(&reader, &header)) {
        return;
    }
    const size_t destinationLength = strlen(destination);
    for (int32_t i = 0; i < count; ++i) {
        PackageEntry entry;
        const unsigned char* data = nullptr;
        char path[kPathBufferSize];
        if (!readEntry(&reader, &entry, &data) ||
            !composeOutputPath(destination, entry.name, path)) {
            return;
        }
        deleteFileWhenFree(path);
        // Then its folders inside the destination, innermost first, for
        // as long as they are empty.
        for (size_t end = lastSeparator(path); end > destinationLength; end = lastSeparator(path)) {
            path[end] = '\0';
            if (!platform::removeDirectory(path)) {
                break;
            }
        }
    }
}

ExitCode unpackArchive(ArchiveFile* file, const char* destination, UnpackMode mode,
                       char* launchPath, int32_t* done) {
    ArchiveReader reader = {file, file->archive.bytes, 0, 0};
    PackageHeader header;
    if (!readHeader(&reader, &header)) {
        // The second temporary file stays behind for inspection.
        return kExitArchiveCorrupt;
    }
    return unpackEntries(&reader, header, destination, mode, launchPath, done);
}

} // namespace

bool composeOutputPath(const char* directory, const char* name, char* path) {
    return joinPath(path, kPathBufferSize, directory, name, platform::isDbcsLeadByte);
}

ExitCode unpackPackage(ArchiveFile* file, const char* destination, UnpackMode mode,
                       char* launchPath) {
    clearBuffer(launchPath, kPathBufferSize);
    // An install replaces what is there: it starts only from an archive
    // that is whole on disk. Extract mode fills a fresh directory of its
    // own, so its entries are written while the archive file is.
    if (mode == UnpackMode::kInstall) {
        const ExitCode written = finishArchiveFile(file);
        if (written != kExitSuccess) {
            return written;
        }
    }
    int32_t done = 0;
    const ExitCode result = unpackArchive(file, destination, mode, launchPath, &done);
    const ExitCode written = finishArchiveFile(file);
    // A payload that broke off gives nothing, however far the unpacking got:
    // its file was emptied (kExitArchiveCorrupt), and what was written from
    // its front goes again.
    if (decodeFailed(file) && mode == UnpackMode::kExtractAndLaunch) {
        removeWrittenEntries(file->archive.bytes, file->decode.final.load(), destination, done);
    }
    if (written != kExitSuccess) {
        clearBuffer(launchPath, kPathBufferSize);
        return written;
    }
    if (result == kExitSuccess) {
        deleteFileWhenFree(file->path);
    }
    return result;
}
