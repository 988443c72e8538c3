// Process creation and code-page questions for the stand-in.
#include <limits.h>
#include <spawn.h>
#include <sys/stat.h>

#include "platform/posix/path_map.h"
#include "platform/posix/posix_impl.h"

extern char** environ;

namespace posix {

// The stand-in's ANSI code page is a single-byte one.
bool isDbcsLeadByte(unsigned char) {
    return false;
}

bool createProcess(const char* applicationName) {
    char host[PATH_MAX];
    if (!mapPath(applicationName, host, sizeof host)) {
        return false;
    }
    // Unpacked files carry no execute bit; on Windows the name alone makes a
    // program runnable.
    struct stat status;
    if (stat(host, &status) == 0) {
        chmod(host, status.st_mode | S_IXUSR | S_IXGRP | S_IXOTH);
    }
    char* const arguments[] = {host, nullptr};
    pid_t child = 0;
    // The child is not waited for: it belongs to the user from now on.
    return posix_spawn(&child, host, nullptr, nullptr, arguments, environ) == 0;
}

} // namespace posix
