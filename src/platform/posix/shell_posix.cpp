// Shell stand-ins: special folders are ordinary host directories named by the
// XDG variables, change notices go nowhere and sleeping really sleeps.
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "platform/posix/host_files.h"
#include "platform/posix/posix_impl.h"

namespace posix {

namespace {

constexpr size_t kPathSize = 260;

// Appends `text` to the composed path; false when it would not fit.
bool append(char (&path)[kPathSize], size_t* length, const char* text) {
    size_t add = strlen(text);
    if (add >= kPathSize - *length) {
        return false;
    }
    memcpy(path + *length, text, add + 1);
    *length += add;
    return true;
}

// An absolute path from the environment; relative ones do not count.
const char* absoluteVariable(const char* name) {
    const char* value = getenv(name);
    return value && value[0] == '/' ? value : nullptr;
}

// The base directory without trailing separators (except for "/" itself), as
// the shell delivers folder paths, followed by `tail` ("" or "/name...").
bool compose(char (&path)[kPathSize], const char* base, const char* tail) {
    size_t length = 0;
    path[0] = '\0';
    if (!append(path, &length, base)) {
        return false;
    }
    while (length > 1 && path[length - 1] == '/') {
        path[--length] = '\0';
    }
    if (tail[0] != '\0' && length == 1) {
        path[--length] = '\0'; // "/" and "/x" make "/x", not "//x"
    }
    return append(path, &length, tail);
}

// The desktop folder. Every Windows profile has one; a fresh Linux home may
// not, so it is made like the programs folder.
bool desktopFolder(char (&path)[kPathSize]) {
    const char* desktop = absoluteVariable("XDG_DESKTOP_DIR");
    const char* home = absoluteVariable("HOME");
    bool composed = false;
    if (desktop) {
        composed = compose(path, desktop, "");
    } else if (home) {
        composed = compose(path, home, "/Desktop");
    }
    return composed && makeDirectories(path);
}

// The start-menu programs folder, which Windows makes when it is missing.
bool programsFolder(char (&path)[kPathSize]) {
    const std::string base = dataHome();
    return !base.empty() && compose(path, base.c_str(), "/vemsetup/Start Menu/Programs") &&
           makeDirectories(path);
}

} // namespace

bool getSpecialFolderPath(int csidl, char* out) {
    if (!out) {
        return false;
    }
    char path[kPathSize];
    bool located = false;
    if (csidl == platform::kCsidlDesktopDirectory) {
        located = desktopFolder(path);
    } else if (csidl == platform::kCsidlPrograms) {
        located = programsFolder(path);
    }
    if (!located) {
        return false;
    }
    memcpy(out, path, strlen(path) + 1);
    return true;
}

void changeNotify(int32_t event, uint32_t flags) {
    (void)event;
    (void)flags;
}

void sleepMilliseconds(uint32_t milliseconds) {
    struct timespec remaining;
    remaining.tv_sec = static_cast<time_t>(milliseconds / 1000);
    remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

} // namespace posix
