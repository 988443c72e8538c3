#include "platform/posix/host_files.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/character_walk.h"
#include "platform/posix/posix_impl.h"

namespace posix {

bool writeFileAtomically(const char* hostPath, const void* data, size_t size) {
    const std::string temporary = std::string(hostPath) + ".tmp." + std::to_string(getpid());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    struct stat previous;
    if (stat(hostPath, &previous) == 0) {
        fchmod(fd, previous.st_mode & 07777);
    }
    const char* bytes = static_cast<const char*>(data);
    for (ssize_t done = 0; size > 0; bytes += done, size -= static_cast<size_t>(done)) {
        done = write(fd, bytes, size);
        if (done < 0 && errno == EINTR) {
            done = 0;
        } else if (done <= 0) {
            break;
        }
    }
    const bool written = size == 0 && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(temporary.c_str(), hostPath) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
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
        const bool doubleByte = characterSize(p, isDbcsLeadByte) == 2;
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
