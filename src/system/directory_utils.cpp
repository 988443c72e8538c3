#include "system/directory_utils.h"

#include "common/bounded_text.h"
#include "platform/platform.h"

bool directoryExists(const char* path) {
    char pattern[kPathBufferSize];
    clearBuffer(pattern, sizeof pattern);
    // "\*.*" and the terminator must fit behind the path.
    if (!copyText(pattern, sizeof pattern, path) ||
        !appendText(pattern, sizeof pattern, endsWithBackslash(pattern) ? "*.*" : "\\*.*")) {
        return false;
    }
    platform::FindHandle find = platform::findFirstFile(pattern);
    if (find == nullptr) {
        return false;
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
    if (path[0] == '\0' || boundedLength(path, kPathBufferSize) >= kPathBufferSize) {
        return false;
    }
    for (size_t i = 0; path[i] != '\0'; ++i) {
        // The prefix holds everything in front of this backslash: one level.
        if (path[i] == '\\' && !ensureDirectory(prefix)) {
            return false;
        }
        prefix[i] = path[i];
    }
    return ensureDirectory(path);
}
