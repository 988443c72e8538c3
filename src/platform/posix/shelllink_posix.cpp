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

namespace platform {

// The link's state. Its persist interface is the same object, which the
// link's release frees: callers release the persist interface first.
struct ShellLinkObject {
    char path[260];
    char description[260];
};

} // namespace platform

namespace posix {

namespace {

constexpr long kOk = 0;
constexpr long kEPointer = static_cast<long>(static_cast<int32_t>(0x80004003u));
constexpr long kEOutOfMemory = static_cast<long>(static_cast<int32_t>(0x8007000Eu));
constexpr long kEInvalidArg = static_cast<long>(static_cast<int32_t>(0x80070057u));
constexpr long kEPathNotFound = static_cast<long>(static_cast<int32_t>(0x80070003u));
constexpr long kEAccessDenied = static_cast<long>(static_cast<int32_t>(0x80070005u));
constexpr long kEDiskFull = static_cast<long>(static_cast<int32_t>(0x80070070u));

long storeText(char (&field)[260], const char* text) {
    if (!text) {
        return kEInvalidArg;
    }
    const void* end = memchr(text, '\0', sizeof field);
    if (!end) {
        return kEInvalidArg;
    }
    memcpy(field, text, static_cast<size_t>(static_cast<const char*>(end) - text) + 1);
    return kOk;
}

platform::ShellLinkObject* linkOf(platform::PersistFile persist) {
    return reinterpret_cast<platform::ShellLinkObject*>(persist);
}

// Replaced whole or not at all.
long writeLinkFile(const char* hostPath, const std::string& text) {
    const int error = writeFileAtomically(hostPath, text.data(), text.size());
    if (error == 0) {
        return kOk;
    }
    if (error == ENAMETOOLONG) {
        return kEInvalidArg;
    }
    if (error == ENOENT || error == ENOTDIR) {
        return kEPathNotFound;
    }
    return error == ENOSPC ? kEDiskFull : kEAccessDenied;
}

} // namespace

void comInitialize() {}

long createShellLink(platform::ShellLink* link) {
    if (!link) {
        return kEPointer;
    }
    platform::ShellLinkObject* made = new (std::nothrow) platform::ShellLinkObject();
    if (!made) {
        return kEOutOfMemory;
    }
    *link = made;
    return kOk;
}

long shellLinkSetPath(platform::ShellLink link, const char* path) {
    if (!link) {
        return kEPointer;
    }
    return storeText(link->path, path);
}

long shellLinkSetDescription(platform::ShellLink link, const char* description) {
    if (!link) {
        return kEPointer;
    }
    return storeText(link->description, description);
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

long persistFileSave(platform::PersistFile persist, const uint16_t* path, bool remember) {
    (void)remember; // only changes which file the object would save to next
    if (!persist) {
        return kEPointer;
    }
    if (!path) {
        return kEInvalidArg;
    }
    char ansiPath[260];
    size_t length = 0;
    for (;; ++length) {
        if (length == sizeof ansiPath) {
            return kEInvalidArg;
        }
        if (path[length] == 0) {
            ansiPath[length] = '\0';
            break;
        }
        // The stand-in's ANSI code page is Latin-1 (text_posix.cpp).
        if (path[length] > 0xFF) {
            return kEInvalidArg;
        }
        ansiPath[length] = static_cast<char>(path[length]);
    }

    char hostPath[4096];
    if (!mapPath(ansiPath, hostPath, sizeof hostPath)) {
        return kEPathNotFound;
    }
    const platform::ShellLinkObject* link = linkOf(persist);
    // A line break in either text would make another line of the file.
    if (strpbrk(link->path, "\r\n") || strpbrk(link->description, "\r\n")) {
        return kEInvalidArg;
    }
    return writeLinkFile(hostPath, std::string("Target=") + link->path +
                                       "\nDescription=" + link->description + "\n");
}

void persistFileRelease(platform::PersistFile) {}

} // namespace posix
