// Stand-in for the shell's link object: it keeps the path and description it
// is given and saves them as a real .lnk file at the mapped host path.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <new>

#include "platform/posix/atomic_write.h"
#include "platform/posix/lnk_format.h"
#include "platform/posix/path_map.h"
#include "platform/posix/posix_registry_shell.h"

namespace platform {

// The link's state. The persist interface shares it, so it lives until both
// the link and every persist interface obtained from it are released.
struct ShellLinkObject {
    char path[260];
    char description[260];
    int references;
};

struct PersistFileObject {
    ShellLinkObject* link;
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

void dropReference(platform::ShellLinkObject* link) {
    if (--link->references == 0) {
        delete link;
    }
}

// Replaced whole or not at all.
long writeLinkFile(const char* hostPath, const unsigned char* bytes, size_t size) {
    const int error = writeFileAtomically(hostPath, bytes, size);
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
    made->references = 1;
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
    platform::PersistFileObject* made = new (std::nothrow) platform::PersistFileObject{link};
    if (!made) {
        return kEOutOfMemory;
    }
    ++link->references;
    *persist = made;
    return kOk;
}

void shellLinkRelease(platform::ShellLink link) {
    if (link) {
        dropReference(link);
    }
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
        unsigned char c = 0;
        if (!utf16ToAnsi(path[length], &c)) {
            return kEInvalidArg;
        }
        ansiPath[length] = static_cast<char>(c);
    }

    char hostPath[4096];
    if (!mapPath(ansiPath, hostPath, sizeof hostPath)) {
        return kEPathNotFound;
    }
    unsigned char bytes[kShellLinkMaxBytes];
    size_t size =
        buildShellLink(persist->link->path, persist->link->description, bytes, sizeof bytes);
    if (size == 0) {
        return kEInvalidArg;
    }
    return writeLinkFile(hostPath, bytes, size);
}

void persistFileRelease(platform::PersistFile persist) {
    if (persist) {
        dropReference(persist->link);
        delete persist;
    }
}

} // namespace posix
