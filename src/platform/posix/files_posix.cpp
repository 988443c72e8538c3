// Files, directories and temporary names on the host file system, behaving
// the way the Windows calls they stand for do.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "common/character_walk.h"
#include "platform/posix/host_files.h"
#include "platform/posix/posix_impl.h"

struct platform::FileObject {
    int descriptor;
};

struct platform::FindObject {
    int unused;
};

namespace posix {

namespace {

constexpr size_t kWindowsPathLimit = 260;
constexpr uint32_t kFileAttributeNormal = 0x80;

// Unique numbers are 16 bits wide, as on Windows; 0 is never used.
constexpr uint32_t kUniqueRange = 0x10000;

} // namespace

uint32_t getTempPath(uint32_t bufferLength, char* buffer) {
    // Like Windows, the directory is not checked for existence.
    const char* directory = getenv("TMPDIR");
    directory = directory && directory[0] != '\0' ? directory : "/tmp";
    const size_t length = strlen(directory);
    const char* separator = directory[length - 1] == '/' ? "" : "/";
    const size_t total = length + strlen(separator);
    if (total >= bufferLength) {
        return static_cast<uint32_t>(total + 1);
    }
    snprintf(buffer, bufferLength, "%s%s", directory, separator);
    return static_cast<uint32_t>(total);
}

uint32_t getTempFileName(const char* directory, const char* prefix, uint32_t unique, char* out) {
    // The directory as GetTempPathA gives it ends in a separator; '/' counts
    // too, since the stand-in's own temporary path is a host one.
    bool needsSeparator = true;
    for (const char* p = directory; *p != '\0';) {
        const size_t size = characterSize(p, isDbcsLeadByte);
        needsSeparator = size == 2 || (*p != '\\' && *p != '/');
        p += size;
    }
    // The logic always lets the call choose the number (`unique` 0).
    (void)unique;
    uint32_t number = static_cast<uint32_t>(getpid() ^ time(nullptr) ^ clock()) % kUniqueRange;
    for (uint32_t attempt = 0; attempt < kUniqueRange; ++attempt) {
        if (number == 0) {
            number = 1;
        }
        char name[kWindowsPathLimit];
        const int written = snprintf(name, sizeof name, "%s%s%.3s%X.tmp", directory,
                                     needsSeparator ? "\\" : "", prefix, number);
        if (written < 0 || static_cast<size_t>(written) >= sizeof name) {
            return 0;
        }
        char host[PATH_MAX];
        if (!mapPath(name, host, sizeof host)) {
            return 0;
        }
        // O_EXCL: the name is this process's the moment the call returns.
        const int descriptor = open(host, O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (descriptor >= 0) {
            close(descriptor);
            memcpy(out, name, static_cast<size_t>(written) + 1);
            return number;
        }
        if (errno != EEXIST) {
            return 0;
        }
        number = (number + 1) % kUniqueRange;
    }
    return 0;
}

platform::FileHandle createFileForWriting(const char* path) {
    char host[PATH_MAX];
    if (!mapPath(path, host, sizeof host)) {
        return nullptr;
    }
    // CREATE_ALWAYS: created, or emptied if it exists.
    const int descriptor = openForRewrite(host, false, 0644);
    if (descriptor < 0) {
        return nullptr;
    }
    return new platform::FileObject{descriptor};
}

bool writeFile(platform::FileHandle file, const void* data, uint32_t size, uint32_t* written) {
    *written = 0;
    const char* bytes = static_cast<const char*>(data);
    while (*written < size) {
        const ssize_t count = write(file->descriptor, bytes + *written, size - *written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        *written += static_cast<uint32_t>(count);
    }
    return true;
}

bool closeFile(platform::FileHandle file) {
    const bool closed = close(file->descriptor) == 0;
    delete file;
    return closed;
}

bool deleteFile(const char* path) {
    char host[PATH_MAX];
    struct stat status;
    // DeleteFileA does not remove directories.
    if (!mapPath(path, host, sizeof host) || lstat(host, &status) != 0 || S_ISDIR(status.st_mode)) {
        return false;
    }
    return unlink(host) == 0;
}

bool createDirectory(const char* path) {
    char host[PATH_MAX];
    return mapPath(path, host, sizeof host) && host[0] != '\0' && mkdir(host, 0755) == 0;
}

// The owner alone may enter, as the protected descriptor on Windows lets
// only the user (and the system's own accounts) in.
bool createPrivateDirectory(const char* path) {
    char host[PATH_MAX];
    return mapPath(path, host, sizeof host) && host[0] != '\0' && mkdir(host, 0700) == 0;
}

uint32_t getFileAttributes(const char* path) {
    char host[PATH_MAX];
    struct stat status;
    if (!mapPath(path, host, sizeof host) || stat(host[0] == '\0' ? "/" : host, &status) != 0) {
        return platform::kInvalidFileAttributes;
    }
    // A symbolic link stands for a reparse point (a junction, a link).
    struct stat link;
    const uint32_t reparse = host[0] != '\0' && lstat(host, &link) == 0 && S_ISLNK(link.st_mode)
                                 ? platform::kFileAttributeReparsePoint
                                 : 0;
    return reparse |
           (S_ISDIR(status.st_mode) ? platform::kFileAttributeDirectory : kFileAttributeNormal);
}

// The last level of the pattern may hold wildcards ("*.*" matches every
// name, also one without a dot); the search succeeds when an entry matches.
// Nothing is enumerated afterwards, so one handle serves every search.
platform::FindHandle findFirstFile(const char* pattern) {
    static platform::FindObject search;
    char host[PATH_MAX];
    struct stat status;
    if (!mapPath(pattern, host, sizeof host)) {
        return nullptr;
    }
    char* slash = strrchr(host, '/');
    const char* last = slash ? slash + 1 : host;
    if (!strpbrk(last, "*?")) {
        return stat(host, &status) == 0 ? &search : nullptr;
    }
    if (slash) {
        *slash = '\0'; // the pattern's directory; no slash: the current one
    }
    DIR* listing = opendir(!slash ? "." : host[0] == '\0' ? "/" : host);
    bool found = false;
    for (const dirent* entry; listing && !found && (entry = readdir(listing));) {
        found = strcmp(last, "*.*") == 0 || fnmatch(last, entry->d_name, 0) == 0;
    }
    if (listing) {
        closedir(listing);
    }
    return found ? &search : nullptr;
}

bool findClose(platform::FindHandle) {
    return true;
}

// The errors that steer the logic: access denied and a file in use (tried
// again a little later), and a file that is no program (started through
// the shell). Every other error is ERROR_GEN_FAILURE.
uint32_t getLastError() {
    switch (errno) {
    case 0:
        return 0;
    case EACCES:
    case EPERM:
    case EISDIR:
        return platform::kErrorAccessDenied;
    case EBUSY:
    case ETXTBSY:
        return platform::kErrorSharingViolation;
    case ENOEXEC:
        return platform::kErrorBadExeFormat;
    default:
        return 31;
    }
}

} // namespace posix
