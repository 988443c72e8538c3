// The C library's buffered streams over mapped paths.
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/host_files.h"
#include "platform/posix/posix_impl.h"

namespace posix {

namespace {

FILE* asFile(platform::Stream stream) {
    return reinterpret_cast<FILE*>(stream);
}

} // namespace

platform::Stream openStream(const char* path, const char* mode) {
    char host[PATH_MAX];
    if (!mapPath(path, host, sizeof host)) {
        return nullptr;
    }
    // fopen happily opens a directory for reading; Windows refuses.
    struct stat status;
    if (stat(host, &status) == 0 && S_ISDIR(status.st_mode)) {
        return nullptr;
    }
    if (strcmp(mode, "wb+") != 0) {
        return reinterpret_cast<platform::Stream>(fopen(host, mode));
    }
    // "wb+": created, or emptied if it exists.
    const int descriptor = openForRewrite(host, true, 0666);
    if (descriptor < 0) {
        return nullptr;
    }
    FILE* file = fdopen(descriptor, "wb+");
    if (file == nullptr) {
        close(descriptor);
    }
    return reinterpret_cast<platform::Stream>(file);
}

size_t readStream(void* buffer, size_t itemSize, size_t count, platform::Stream stream) {
    if (itemSize == 0 || count == 0) {
        return 0;
    }
    return fread(buffer, itemSize, count, asFile(stream));
}

size_t writeStream(const void* buffer, size_t itemSize, size_t count, platform::Stream stream) {
    if (itemSize == 0 || count == 0) {
        return 0;
    }
    return fwrite(buffer, itemSize, count, asFile(stream));
}

bool seekStream(platform::Stream stream, int64_t offset, platform::SeekOrigin origin) {
    return fseeko(asFile(stream), static_cast<off_t>(offset),
                  origin == platform::kSeekEnd ? SEEK_END : SEEK_SET) == 0;
}

int64_t tellStream(platform::Stream stream) {
    return static_cast<int64_t>(ftello(asFile(stream)));
}

bool closeStream(platform::Stream stream) {
    return fclose(asFile(stream)) == 0;
}

} // namespace posix
