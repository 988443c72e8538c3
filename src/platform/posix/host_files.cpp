#include "platform/posix/host_files.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/posix_impl.h"

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

int readFile(const char* hostPath, std::string& text) {
    text.clear();
    FILE* file = fopen(hostPath, "rb");
    if (!file) {
        return errno;
    }
    char chunk[65536];
    size_t got = 0;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, got);
    }
    const int error = ferror(file) ? EIO : 0;
    fclose(file);
    return error;
}

std::string dataHome() {
    const char* dataHome = getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') {
        return dataHome;
    }
    const char* home = getenv("HOME");
    return home && home[0] == '/' ? std::string(home) + "/.local/share" : std::string();
}

bool makeDirectories(const std::string& directory) {
    for (size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
        if (mkdir(directory.substr(0, slash).c_str(), 0777) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat info;
    return stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool mapPath(const char* windowsPath, char* out, size_t outSize) {
    if (outSize == 0) {
        return false;
    }
    const char* p = windowsPath;
    const char drive = p[0];
    if (drive != '\0' && p[1] == ':' &&
        ((drive >= 'a' && drive <= 'z') || (drive >= 'A' && drive <= 'Z'))) {
        // Only Z: exists, as the host's root, the way Wine maps it.
        if (drive != 'z' && drive != 'Z') {
            return false;
        }
        p += 2;
        if (*p == '\0') {
            if (outSize < 2) {
                return false;
            }
            out[0] = '/';
            out[1] = '\0';
            return true;
        }
    }
    size_t length = 0;
    for (; *p != '\0'; ++p) {
        // A double-byte character's trail byte may be 0x5C; it is kept.
        const bool doubleByte = isDbcsLeadByte(static_cast<unsigned char>(*p)) &&
                                static_cast<unsigned char>(p[1]) >= 0x40;
        if (length + (doubleByte ? 2 : 1) >= outSize) {
            out[0] = '\0';
            return false;
        }
        if (doubleByte) {
            out[length++] = *p++;
            out[length++] = *p;
        } else {
            out[length++] = *p == '\\' ? '/' : *p;
        }
    }
    out[length] = '\0';
    return true;
}

int openForRewrite(const char* host, bool readable, mode_t mode) {
    const int descriptor = open(host, (readable ? O_RDWR : O_WRONLY) | O_CREAT | O_CLOEXEC, mode);
    if (descriptor < 0) {
        return -1;
    }
    struct stat status;
    if (fstat(descriptor, &status) != 0 || (status.st_size != 0 && ftruncate(descriptor, 0) != 0)) {
        close(descriptor);
        return -1;
    }
    return descriptor;
}

} // namespace posix
