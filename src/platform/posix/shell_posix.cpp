// Shell stand-ins: special folders are ordinary host directories named by the
// XDG variables, change notices go nowhere and sleeping really sleeps.
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>

#include "platform/posix/host_files.h"
#include "platform/posix/posix_impl.h"

namespace posix {

namespace {

// An absolute path from the environment; relative ones do not count.
const char* absoluteVariable(const char* name) {
    const char* value = getenv(name);
    return value && value[0] == '/' ? value : nullptr;
}

// The base directory without trailing separators, as the shell delivers
// folder paths ("/" stays itself), followed by `tail` ("" or "/name...").
std::string compose(std::string base, const char* tail) {
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    if (tail[0] != '\0' && base == "/") {
        base.clear(); // "/" and "/x" make "/x", not "//x"
    }
    return base + tail;
}

// The host directory of a folder, or "" for one the stand-in does not know.
std::string folderPath(int csidl) {
    if (csidl == platform::kCsidlDesktopDirectory) {
        const char* desktop = absoluteVariable("XDG_DESKTOP_DIR");
        const char* home = absoluteVariable("HOME");
        return desktop ? compose(desktop, "") : home ? compose(home, "/Desktop") : "";
    }
    const std::string base = dataHome();
    // The machine-wide folders and the install folders of described
    // setups live beside the user's start menu.
    const struct {
        int csidl;
        const char* tail;
    } kFolders[] = {
        {platform::kCsidlPrograms, "/vemsetup/Start Menu/Programs"},
        {platform::kCsidlCommonPrograms, "/vemsetup/All Users/Start Menu/Programs"},
        {platform::kCsidlCommonDesktopDirectory, "/vemsetup/All Users/Desktop"},
        {platform::kCsidlLocalAppData, "/vemsetup/Local"},
        {platform::kCsidlProgramFiles, "/vemsetup/Program Files"},
    };
    for (const auto& folder : kFolders) {
        if (folder.csidl == csidl && !base.empty()) {
            return compose(base, folder.tail);
        }
    }
    return "";
}

} // namespace

// Every Windows profile has the desktop and the programs folder, which the
// shell makes when they are missing; a fresh Linux home may lack them, so
// they are made here.
bool getSpecialFolderPath(int csidl, char* out) {
    const std::string path = out ? folderPath(csidl) : "";
    if (path.empty() || path.size() >= 260 || !makeDirectories(path)) {
        return false;
    }
    memcpy(out, path.c_str(), path.size() + 1);
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
