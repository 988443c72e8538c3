#include "platform/posix/atomic_write.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posix {

namespace {

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t done = write(fd, data, size);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            if (done == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

} // namespace

int writeFileAtomically(const char* hostPath, const void* data, size_t size) {
    char temporary[4096 + 32];
    const int length =
        snprintf(temporary, sizeof temporary, "%s.tmp.%ld", hostPath, static_cast<long>(getpid()));
    if (length < 0 || static_cast<size_t>(length) >= sizeof temporary) {
        return ENAMETOOLONG;
    }
    const int fd = open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    struct stat previous;
    if (stat(hostPath, &previous) == 0) {
        fchmod(fd, previous.st_mode & 07777);
    }
    int error = 0;
    if (!writeAll(fd, static_cast<const char*>(data), size) || fsync(fd) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(temporary, hostPath) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporary);
    }
    return error;
}

} // namespace posix
