// Buffered byte streams are the C runtime's FILE. Paths go to fopen as
// they are: msvcrt interprets them in the ANSI code page, like the A calls.
#include "platform/platform.h"

#include <fcntl.h>
#include <io.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "platform/win32/open_rewrite.h"

namespace platform::win32 {

namespace {

FILE* toFile(Stream stream) {
    return reinterpret_cast<FILE*>(stream);
}

} // namespace

Stream openStream(const char* path, const char* mode) {
    if (strcmp(mode, "wb+") != 0) {
        return reinterpret_cast<Stream>(fopen(path, mode));
    }
    // "wb+" as msvcrt opens it (shared for reading and writing), without
    // truncating an empty file.
    HANDLE file =
        openForRewrite(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (file == INVALID_HANDLE_VALUE) {
        return NULL;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(file);
        return NULL;
    }
    FILE* stream = _fdopen(descriptor, "wb+");
    if (stream == NULL) {
        _close(descriptor);
    }
    return reinterpret_cast<Stream>(stream);
}

size_t readStream(void* buffer, size_t itemSize, size_t count, Stream stream) {
    if (stream == NULL) {
        return 0;
    }
    return fread(buffer, itemSize, count, toFile(stream));
}

// Streams are written in whole blocks only (an entry, the decoded archive,
// in pieces of at most 1 GiB): each goes to the file in one write, where
// the runtime's buffer would split it into one write of what fills the
// buffer and one of the rest.
size_t writeStream(const void* buffer, size_t itemSize, size_t count, Stream stream) {
    if (stream == NULL || itemSize == 0 || count > UINT_MAX / itemSize) {
        return 0;
    }
    FILE* file = toFile(stream);
    if (fflush(file) != 0) {
        return 0;
    }
    const int written = _write(_fileno(file), buffer, static_cast<unsigned int>(itemSize * count));
    return written < 0 ? 0 : static_cast<size_t>(written) / itemSize;
}

bool seekStream(Stream stream, int64_t offset, SeekOrigin origin) {
    if (stream == NULL) {
        return false;
    }
    // The 64-bit variants: fseek's long would stop at 2 GiB.
    int whence = origin == kSeekEnd ? SEEK_END : SEEK_SET;
    return _fseeki64(toFile(stream), offset, whence) == 0;
}

int64_t tellStream(Stream stream) {
    if (stream == NULL) {
        return -1;
    }
    return _ftelli64(toFile(stream));
}

bool closeStream(Stream stream) {
    if (stream == NULL) {
        return false;
    }
    return fclose(toFile(stream)) == 0;
}

} // namespace platform::win32
