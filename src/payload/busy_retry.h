// Tries a file operation again while something else holds the file for a
// moment. Real-time scanners open every freshly written file, and while one
// holds it, opening it, deleting it or reusing its name fails with a
// sharing violation or access denied; a name whose file was deleted while
// it was held refuses a directory with access denied until it is let go.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

// The pauses double from 50 to 800 ms: 1.55 seconds in all.
constexpr uint32_t kFirstBusyPause = 50;
constexpr uint32_t kLastBusyPause = 800;

inline bool isBusyError(uint32_t error) {
    return error == platform::kErrorSharingViolation || error == platform::kErrorAccessDenied;
}

// Calls `attempt` (returning true on success) until it succeeds, fails for
// another reason, or the pauses are used up.
template <typename Attempt> bool retryWhileBusy(Attempt attempt) {
    for (uint32_t pause = kFirstBusyPause;; pause *= 2) {
        if (attempt()) {
            return true;
        }
        if (pause > kLastBusyPause || !isBusyError(platform::getLastError())) {
            return false;
        }
        platform::sleepMilliseconds(pause);
    }
}

// The stream, or null once it could not be opened even after the pauses.
inline platform::Stream openStreamWhenFree(const char* path, const char* mode) {
    platform::Stream stream = nullptr;
    retryWhileBusy([&] { return (stream = platform::openStream(path, mode)) != nullptr; });
    return stream;
}

// The handle, or null once the file could not be created even after the
// pauses.
inline platform::FileHandle createFileWhenFree(const char* path) {
    platform::FileHandle file = nullptr;
    retryWhileBusy([&] { return (file = platform::createFileForWriting(path)) != nullptr; });
    return file;
}

inline bool deleteFileWhenFree(const char* path) {
    return retryWhileBusy([&] { return platform::deleteFile(path); });
}
