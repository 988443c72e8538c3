#include "system/directory_utils.h"

#include "common/bounded_text.h"
#include "common/character_walk.h"
#include "platform/platform.h"

namespace {

// Asks the file system itself. A drive root has no "." or ".." entry, so an
// empty drive lists nothing; a compatibility junction such as
// "C:\Documents and Settings" refuses to be listed at all; a path too long
// for the wildcard cannot be searched. Each is still a directory. A bare
// drive ("D:") is asked for as its root: "D:" alone names the drive's
// current directory.
bool isDirectoryByAttributes(const char* path) {
    const char root[4] = {path[0], ':', '\\', '\0'};
    const bool bareDrive = path[0] != '\0' && path[1] == ':' && path[2] == '\0';
    const uint32_t attributes = platform::getFileAttributes(bareDrive ? root : path);
    return attributes != platform::kInvalidFileAttributes &&
           (attributes & platform::kFileAttributeDirectory) != 0;
}

bool ensureDirectory(const char* path) {
    if (directoryExists(path)) {
        return true;
    }
    if (!platform::createDirectory(path)) {
        platform::getLastError();
        return false;
    }
    return true;
}

// A level below the destination is a plain directory, or made one. A link
// or a junction there may lead anywhere, to a folder that only an
// administrator may change say, and an elevated install would write into
// it: such a level is refused, as is a file of that name.
bool ensureInnerLevel(const char* path) {
    const uint32_t attributes = platform::getFileAttributes(path);
    if (attributes == platform::kInvalidFileAttributes) {
        return platform::createDirectory(path);
    }
    return (attributes & platform::kFileAttributeDirectory) != 0 &&
           (attributes & platform::kFileAttributeReparsePoint) == 0;
}

// Where the level walk of `path` begins. A UNC path ("\\server\share\App")
// has no levels to make before its share: the server and the share are
// there or not, and only the levels below the share are the caller's. For
// any other path every backslash ends a level.
size_t firstLevelEnd(const char* path, size_t length) {
    if (length < 2 || path[0] != '\\' || path[1] != '\\') {
        return 0;
    }
    // Past the server's name and the share's name.
    size_t i = 2;
    for (int names = 0; names < 2 && i < length; ++names) {
        while (i < length && path[i] != '\\') {
            i += characterSize(path + i, platform::isDbcsLeadByte);
        }
        ++i;
    }
    return i;
}

} // namespace

bool directoryExists(const char* path) {
    char pattern[kPathBufferSize];
    // "\*.*" and the terminator must fit behind the path for a search.
    if (joinPath(pattern, sizeof pattern, path, "*.*", platform::isDbcsLeadByte)) {
        platform::FindHandle find = platform::findFirstFile(pattern);
        if (find != nullptr) {
            platform::findClose(find);
            return true;
        }
    }
    return isDirectoryByAttributes(path);
}

bool createDirectoryPath(const char* path) {
    char prefix[kPathBufferSize];
    clearBuffer(prefix, sizeof prefix);
    const size_t length = boundedLength(path, kPathBufferSize);
    if (length == 0 || length >= kPathBufferSize) {
        return false;
    }
    const size_t firstLevel = firstLevelEnd(path, length);
    for (size_t i = 0; i < length;) {
        // The prefix holds everything in front of this backslash: one level.
        // A trail byte 0x5C belongs to its character and separates nothing.
        const size_t size = characterSize(path + i, platform::isDbcsLeadByte);
        if (path[i] == '\\' && i >= firstLevel && !ensureDirectory(prefix)) {
            return false;
        }
        for (const size_t end = i + size; i < end; ++i) {
            prefix[i] = path[i];
        }
    }
    return ensureDirectory(path);
}

bool createInnerLevels(const char* base, const char* relative) {
    // Joined once; each level is the path cut short at one of the
    // relative part's backslashes.
    char path[kPathBufferSize];
    if (!joinPath(path, sizeof path, base, relative, platform::isDbcsLeadByte)) {
        return false;
    }
    const size_t length = boundedLength(path, kPathBufferSize);
    for (size_t i = length - boundedLength(relative, kPathBufferSize); i < length;) {
        const size_t size = characterSize(path + i, platform::isDbcsLeadByte);
        if (path[i] == '\\') {
            path[i] = '\0';
            const bool made = ensureInnerLevel(path);
            path[i] = '\\';
            if (!made) {
                return false;
            }
        }
        i += size;
    }
    return true;
}
