// Stand-in for the shell's link object: it keeps the path and description it
// is given and saves them at the mapped host path as two text lines,
//
//   Target=<path>
//   Description=<text>
//
// The binary Shell Link format is the shell's business on Windows.
#include <errno.h>
#include <string.h>

#include <new>
#include <string>

#include "platform/posix/host_files.h"
#include "platform/posix/path_map.h"
#include "platform/posix/posix_impl.h"

// The link's state. Its persist interface is the same object, which the
// link's release frees: callers release the persist interface first.
struct platform::ShellLinkObject {
    char path[260];
    char description[260];
};

namespace posix {

namespace {

// HRESULTs: S_OK, E_POINTER, E_OUTOFMEMORY, and the Win32 errors
// ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_DISK_FULL and
// ERROR_INVALID_PARAMETER as HRESULTs.
constexpr long kOk = 0;
constexpr long kEPointer = static_cast<int32_t>(0x80004003u);
constexpr long kEOutOfMemory = static_cast<int32_t>(0x8007000Eu);
constexpr long kEPathNotFound = static_cast<int32_t>(0x80070003u);
constexpr long kEAccessDenied = static_cast<int32_t>(0x80070005u);
constexpr long kEDiskFull = static_cast<int32_t>(0x80070070u);
constexpr long kEInvalidArg = static_cast<int32_t>(0x80070057u);

long storeText(char (&field)[260], const char* text) {
    const void* end = text ? memchr(text, '\0', sizeof field) : nullptr;
    if (!end) {
        return kEInvalidArg;
    }
    memcpy(field, text, static_cast<size_t>(static_cast<const char*>(end) - text) + 1);
    return kOk;
}

// The ANSI spelling of a UTF-16 path in the stand-in's code page, Latin-1
// (text_posix.cpp); false when it has no such spelling or does not fit.
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
    if (!link) {
        return kEPointer;
    }
    *link = new (std::nothrow) platform::ShellLinkObject();
    return *link ? kOk : kEOutOfMemory;
}

long shellLinkSetPath(platform::ShellLink link, const char* path) {
    return link ? storeText(link->path, path) : kEPointer;
}

long shellLinkSetDescription(platform::ShellLink link, const char* description) {
    return link ? storeText(link->description, description) : kEPointer;
}

long shellLinkQueryPersistFile(platform::ShellLink link, platform::PersistFile* persist) {
    if (!link || !persist) {
        return kEPointer;
    }
    *persist = reinterpret_cast<platform::PersistFile>(link);
    return kOk;
}

void shellLinkRelease(platform::ShellLink link) {
    delete link;
}

// `remember` only changes which file the object would save to next.
long persistFileSave(platform::PersistFile persist, const uint16_t* path, bool) {
    if (!persist) {
        return kEPointer;
    }
    const platform::ShellLinkObject* link = reinterpret_cast<platform::ShellLink>(persist);
    char ansiPath[260];
    char hostPath[4096];
    // A line break in either text would make another line of the file.
    if (!toAnsi(path, ansiPath) || strpbrk(link->path, "\r\n") ||
        strpbrk(link->description, "\r\n")) {
        return kEInvalidArg;
    }
    if (!mapPath(ansiPath, hostPath, sizeof hostPath)) {
        return kEPathNotFound;
    }
    const std::string text =
        std::string("Target=") + link->path + "\nDescription=" + link->description + "\n";
    const int error = writeFileAtomically(hostPath, text.data(), text.size());
    if (error == 0 || error == ENAMETOOLONG) {
        return error == 0 ? kOk : kEInvalidArg;
    }
    if (error == ENOENT || error == ENOTDIR) {
        return kEPathNotFound;
    }
    return error == ENOSPC ? kEDiskFull : kEAccessDenied;
}

void persistFileRelease(platform::PersistFile) {}

} // namespace posix
