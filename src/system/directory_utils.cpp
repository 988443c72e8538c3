#include "system/directory_utils.h"

#include "common/bounded_text.h"
#include "platform/platform.h"

namespace {

// "D:" or "D:\": the root of a drive.
bool isDriveRoot(const char* path) {
    const char letter = static_cast<char>(path[0] | 0x20);
    return letter >= 'a' && letter <= 'z' && path[1] == ':' &&
           (path[2] == '\0' || (path[2] == '\\' && path[3] == '\0'));
}

// A drive root has no "." or ".." entry, so on an empty drive the search
// finds nothing although the root is there: the file system is asked.
bool driveRootExists(const char* path) {
    const char root[4] = {path[0], ':', '\\', '\0'};
    const uint32_t attributes = platform::getFileAttributes(root);
    return attributes != platform::kInvalidFileAttributes &&
           (attributes & platform::kFileAttributeDirectory) != 0;
}

} // namespace

bool directoryExists(const char* path) {
    char pattern[kPathBufferSize];
    // "\*.*" and the terminator must fit behind the path.
    if (!joinPath(pattern, sizeof pattern, path, "*.*", platform::isDbcsLeadByte)) {
        return false;
    }
    platform::FindHandle find = platform::findFirstFile(pattern);
    if (find == nullptr) {
        return isDriveRoot(path) && driveRootExists(path);
    }
    platform::findClose(find);
    return true;
}

namespace {

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

} // namespace

bool createDirectoryPath(const char* path) {
    char prefix[kPathBufferSize];
    clearBuffer(prefix, sizeof prefix);
    const size_t length = boundedLength(path, kPathBufferSize);
    if (length == 0 || length >= kPathBufferSize) {
        return false;
    }
    for (size_t i = 0; i < length;) {
        // The prefix holds everything in front of this backslash: one level.
        // A trail byte 0x5C belongs to its character and separates nothing.
        const size_t size = characterSize(path + i, platform::isDbcsLeadByte);
        if (path[i] == '\\' && !ensureDirectory(prefix)) {
            return false;
        }
        for (const size_t end = i + size; i < end; ++i) {
            prefix[i] = path[i];
        }
    }
    return ensureDirectory(path);
}
