#include "uninstall/removal.h"

#include "common/bounded_text.h"
#include "payload/busy_retry.h"
#include "platform/platform.h"

namespace {

bool isReparsePoint(const char* path) {
    const uint32_t attributes = platform::getFileAttributes(path);
    return attributes != platform::kInvalidFileAttributes &&
           (attributes & platform::kFileAttributeReparsePoint) != 0;
}

// Offsets of the backslashes of `name`, walked by characters; at most
// `limit` are kept.
size_t separators(const char* name, size_t* offsets, size_t limit) {
    size_t count = 0;
    for (size_t i = 0; name[i] != '\0' && count < limit;) {
        if (name[i] == '\\') {
            offsets[count++] = i;
        }
        i += characterSize(name + i, platform::isDbcsLeadByte);
    }
    return count;
}

// "<folder>\<the first `length` bytes of name>".
bool levelPath(const char* folder, const char* name, size_t length, char* path) {
    char level[kPathBufferSize];
    clearBuffer(level, sizeof level);
    if (length >= sizeof level) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        level[i] = name[i];
    }
    return joinPath(path, kPathBufferSize, folder, level, platform::isDbcsLeadByte);
}

} // namespace

bool parentOf(const char* path, char* out) {
    size_t last = 0;
    bool found = false;
    for (size_t i = 0; path[i] != '\0';) {
        if (path[i] == '\\') {
            last = i;
            found = true;
        }
        i += characterSize(path + i, platform::isDbcsLeadByte);
    }
    if (!found || last >= kPathBufferSize) {
        return false;
    }
    clearBuffer(out, kPathBufferSize);
    for (size_t i = 0; i < last; ++i) {
        out[i] = path[i];
    }
    return true;
}

bool removeListedFile(const char* folder, const char* name) {
    size_t offsets[kPathBufferSize];
    const size_t count = separators(name, offsets, kPathBufferSize);
    char path[kPathBufferSize];
    // Every folder on the way must be a plain one: a junction would lead
    // outside.
    for (size_t i = 0; i < count; ++i) {
        if (!levelPath(folder, name, offsets[i], path)) {
            return false;
        }
        const uint32_t attributes = platform::getFileAttributes(path);
        if (attributes == platform::kInvalidFileAttributes) {
            return true; // its folder is gone, so is the file
        }
        if ((attributes & platform::kFileAttributeReparsePoint) != 0) {
            return false;
        }
    }
    if (!joinPath(path, sizeof path, folder, name, platform::isDbcsLeadByte)) {
        return false;
    }
    const uint32_t attributes = platform::getFileAttributes(path);
    if (attributes == platform::kInvalidFileAttributes) {
        return true;
    }
    if ((attributes & (platform::kFileAttributeReparsePoint | platform::kFileAttributeDirectory)) !=
        0) {
        return false;
    }
    return retryWhileBusy([&] { return platform::deleteFile(path); });
}

void removeEmptyFolders(const char* folder, const char* name) {
    size_t offsets[kPathBufferSize];
    const size_t count = separators(name, offsets, kPathBufferSize);
    char path[kPathBufferSize];
    for (size_t i = count; i-- > 0;) {
        if (!levelPath(folder, name, offsets[i], path) || isReparsePoint(path)) {
            return;
        }
        platform::removeDirectory(path);
    }
}
