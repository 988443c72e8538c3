// Stand-in for the shell's link object: it keeps the path and description it
// is given and saves them at the mapped host path as two text lines,
//
//   Target=<path>
//   Description=<text>
//
// The binary Shell Link format is the shell's business on Windows.
#include <string.h>

#include <string>

#include "platform/posix/host_files.h"
#include "platform/posix/posix_impl.h"

// The link's state. Its persist interface is the same object, which the
// link's release frees: callers release the persist interface first.
struct platform::ShellLinkObject {
    char path[260];
    char description[260];
};

namespace posix {

namespace {

// The shortcut code only tells success (S_OK) from failure; every failure
// here is E_FAIL.
constexpr long kOk = 0;
constexpr long kFail = static_cast<int32_t>(0x80004005u);

long storeText(char (&field)[260], const char* text) {
    const void* end = text ? memchr(text, '\0', sizeof field) : nullptr;
    if (!end) {
        return kFail;
    }
    memcpy(field, text, static_cast<size_t>(static_cast<const char*>(end) - text) + 1);
    return kOk;
}

// The ANSI spelling of a UTF-16 path in the stand-in's code page, Latin-1
// (process_posix.cpp); false when it has no such spelling or does not fit.
bool toAnsi(const uint16_t* path, char (&out)[260]) {
    for (size_t i = 0; path && i < sizeof out; ++i) {
        if (path[i] > 0xFF) {
            return false;
        }
        out[i] = static_cast<char>(path[i]);
        if (path[i] == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

void comInitialize() {}

long createShellLink(platform::ShellLink* link) {
    *link = new platform::ShellLinkObject();
    return kOk;
}

long shellLinkSetPath(platform::ShellLink link, const char* path) {
    return storeText(link->path, path);
}

long shellLinkSetDescription(platform::ShellLink link, const char* description) {
    return storeText(link->description, description);
}

long shellLinkQueryPersistFile(platform::ShellLink link, platform::PersistFile* persist) {
    *persist = reinterpret_cast<platform::PersistFile>(link);
    return kOk;
}

void shellLinkRelease(platform::ShellLink link) {
    delete link;
}

// `remember` only changes which file the object would save to next.
long persistFileSave(platform::PersistFile persist, const uint16_t* path, bool) {
    const platform::ShellLinkObject* link = reinterpret_cast<platform::ShellLink>(persist);
    char ansiPath[260];
    char hostPath[4096];
    // A line break in either text would make another line of the file.
    if (!toAnsi(path, ansiPath) || strpbrk(link->path, "\r\n") ||
        strpbrk(link->description, "\r\n") || !mapPath(ansiPath, hostPath, sizeof hostPath)) {
        return kFail;
    }
    const std::string text =
        std::string("Target=") + link->path + "\nDescription=" + link->description + "\n";
    return writeFileAtomically(hostPath, text.data(), text.size()) ? kOk : kFail;
}

void persistFileRelease(platform::PersistFile) {}

} // namespace posix
