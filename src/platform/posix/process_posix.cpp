// Process creation and code-page questions for the stand-in. Text converts
// to UTF-16 as Latin-1: every byte is the UTF-16 unit of the same value.
#include <errno.h>
#include <limits.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "common/character_walk.h"
#include "platform/posix/host_files.h"
#include "platform/posix/posix_impl.h"

extern char** environ;

namespace posix {

namespace {

// -1: not chosen yet, VEMSETUP_ANSI_CODEPAGE decides on first use.
long chosenCodePage = -1;

long ansiCodePage() {
    if (chosenCodePage < 0) {
        const char* value = getenv("VEMSETUP_ANSI_CODEPAGE");
        chosenCodePage = value != nullptr ? strtol(value, nullptr, 10) : 0;
    }
    return chosenCodePage;
}

} // namespace

void setAnsiCodePage(unsigned codePage) {
    chosenCodePage = codePage == 0 ? -1 : static_cast<long>(codePage);
}

bool isDbcsLeadByte(unsigned char c) {
    const long codePage = ansiCodePage();
    return codePage > 0 && leadByteTestOf(static_cast<unsigned>(codePage))(c);
}

// The mode is only kept: nothing here shows a box.
uint32_t setErrorMode(uint32_t mode) {
    static uint32_t current = 0;
    const uint32_t previous = current;
    current = mode;
    return previous;
}

// The command line is the program's path in quotes, which stands for the
// one argument a POSIX child gets: its host path.
bool createProcess(const char* applicationName, const char*) {
    char host[PATH_MAX];
    if (!mapPath(applicationName, host, sizeof host)) {
        errno = ENOENT;
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
    const int error = posix_spawn(&child, host, nullptr, nullptr, arguments, environ);
    errno = error;
    return error == 0;
}

// Nothing needs elevation here: the shell starts a program as process
// creation does.
bool shellExecute(const char* path) {
    return createProcess(path, nullptr);
}

int multiByteToWideChar(const char* text, uint16_t* out, int outLength) {
    int count = 0;
    for (;;) {
        if (count >= outLength) {
            return 0; // like Windows: ERROR_INSUFFICIENT_BUFFER, nothing usable
        }
        const unsigned char c = static_cast<unsigned char>(text[count]);
        out[count++] = c;
        if (c == 0) {
            return count;
        }
    }
}

} // namespace posix
