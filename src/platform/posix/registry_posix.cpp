// Registry stand-in: each root is a text file (registry_text.h) in
// $XDG_DATA_HOME/vemsetup/registry/ (default ~/.local/share/...). Every call
// reads the file afresh and every change rewrites it whole, so a test or a
// second process always sees the store as it is on disk. A store that
// cannot be written refuses keys opened for writing with
// ERROR_ACCESS_DENIED, which is how a user without rights under
// HKEY_LOCAL_MACHINE looks; a file without any write permission bit counts
// as unwritable even for root, as the read-only attribute does on Windows.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>

#include "platform/posix/atomic_write.h"
#include "platform/posix/posix_impl.h"
#include "platform/posix/registry_text.h"

namespace platform {

// A key handle: the root it belongs to and the key's path below it
// ("Software\..."), with the access it was opened for.
struct RegistryKeyObject {
    RegistryRoot root;
    bool predefined;
    uint32_t access;
    std::string path;
};

} // namespace platform

namespace posix {

namespace {

constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorOutOfMemory = 14;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorDiskFull = 112;
constexpr long kErrorBadPathname = 161;
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoAccess = 998;
constexpr long kErrorBadDb = 1009;
constexpr long kErrorRegistryIoFailed = 1016;
constexpr long kErrorKeyDeleted = 1018;

// Access rights that ask for changing a key or its values (KEY_SET_VALUE,
// KEY_CREATE_SUB_KEY, DELETE, WRITE_DAC, WRITE_OWNER, GENERIC_ALL,
// GENERIC_WRITE) and those that let values be set or read.
constexpr uint32_t kWriteRights =
    0x0002 | 0x0004 | 0x00010000 | 0x00040000 | 0x00080000 | 0x10000000 | 0x40000000;
constexpr uint32_t kSetRights = 0x0002 | 0x10000000 | 0x40000000;
constexpr uint32_t kQueryRights = 0x0001 | 0x10000000 | 0x80000000;

platform::RegistryKeyObject machineRoot{platform::kHkeyLocalMachine, true, 0xFFFFFFFFu, ""};
platform::RegistryKeyObject userRoot{platform::kHkeyCurrentUser, true, 0xFFFFFFFFu, ""};

const char* rootName(platform::RegistryRoot root) {
    return root == platform::kHkeyLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// Where the stores live; false when neither XDG_DATA_HOME nor HOME says.
bool storeDirectory(std::string& directory) {
    const char* dataHome = getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') { // relative values are to be ignored
        directory = dataHome;
    } else {
        const char* home = getenv("HOME");
        if (!home || home[0] == '\0') {
            return false;
        }
        directory = std::string(home) + "/.local/share";
    }
    directory += "/vemsetup/registry";
    return true;
}

struct StoreFile {
    bool located;
    std::string directory;
    std::string path;
};

StoreFile storeFile(platform::RegistryRoot root) {
    StoreFile file{false, {}, {}};
    if (storeDirectory(file.directory)) {
        file.located = true;
        file.path = file.directory + "/" + rootName(root) + ".txt";
    }
    return file;
}

// A missing file is an empty store.
long loadStore(const StoreFile& file, RegistryStore& store) {
    store.clear();
    if (!file.located) {
        return kErrorSuccess;
    }
    int fd = open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return kErrorSuccess;
        }
        return errno == EACCES ? kErrorAccessDenied : kErrorRegistryIoFailed;
    }
    std::string text;
    char chunk[65536];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            close(fd);
            return kErrorRegistryIoFailed;
        }
        if (got == 0) {
            break;
        }
        text.append(chunk, static_cast<size_t>(got));
    }
    close(fd);
    // A store that does not follow the format is refused rather than overwritten.
    return parseRegistryText(text, store) ? kErrorSuccess : kErrorBadDb;
}

bool makeDirectories(const std::string& directory) {
    for (size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
        std::string level = directory.substr(0, slash);
        if (mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat info;
    return stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Whether the store may be changed. access() alone would always say yes to
// root, so a file with no write bit at all also counts as read-only.
bool storeWritable(const StoreFile& file) {
    if (!file.located || !makeDirectories(file.directory)) {
        return false;
    }
    if (access(file.directory.c_str(), W_OK | X_OK) != 0) {
        return false;
    }
    struct stat info;
    if (stat(file.path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    return (info.st_mode & 0222) != 0 && access(file.path.c_str(), W_OK) == 0;
}

// Written beside the store and renamed over it, so a reader never sees half
// a file and a failed write leaves the old store whole.
long saveStore(const StoreFile& file, const RegistryStore& store) {
    const std::string text = registryText(store);
    const int error = writeFileAtomically(file.path.c_str(), text.data(), text.size());
    if (error == 0) {
        return kErrorSuccess;
    }
    return error == ENOSPC ? kErrorDiskFull : kErrorAccessDenied;
}

// A path the registry would refuse: an empty level.
bool pathHoldable(const std::string& path) {
    return path.find("\\\\") == std::string::npos && path[0] != '\\' && path.back() != '\\';
}

} // namespace

platform::RegistryKey rootKey(platform::RegistryRoot root) {
    switch (root) {
    case platform::kHkeyLocalMachine:
        return &machineRoot;
    case platform::kHkeyCurrentUser:
        return &userRoot;
    }
    return nullptr;
}

long regCreateKey(platform::RegistryKey root, const char* subKey, uint32_t access,
                  platform::RegistryKey* key) {
    if (!key) {
        return kErrorInvalidParameter;
    }
    if (!root) {
        return kErrorInvalidHandle;
    }
    std::string path = root->path;
    if (subKey && subKey[0] != '\0') {
        if (subKey[0] == '\\') {
            return kErrorBadPathname;
        }
        if (!path.empty()) {
            path += '\\';
        }
        path += subKey;
        if (path.back() == '\\') {
            path.pop_back(); // one trailing separator is tolerated
        }
        if (!pathHoldable(path)) {
            return kErrorBadPathname;
        }
    }

    StoreFile file = storeFile(root->root);
    RegistryStore store;
    long status = loadStore(file, store);
    if (status != kErrorSuccess) {
        return status;
    }
    const bool exists = registryKeyExists(store, path);
    if ((access & kWriteRights) != 0 || !exists) {
        if (!storeWritable(file)) {
            return kErrorAccessDenied;
        }
    }
    if (!exists) {
        registryAddKey(store, path);
        status = saveStore(file, store);
        if (status != kErrorSuccess) {
            return status;
        }
    }

    platform::RegistryKeyObject* opened =
        new (std::nothrow) platform::RegistryKeyObject{root->root, false, access, std::string()};
    if (!opened) {
        return kErrorOutOfMemory;
    }
    opened->path.swap(path);
    *key = opened;
    return kErrorSuccess;
}

long regQueryValue(platform::RegistryKey key, const char* valueName, uint32_t* type,
                   unsigned char* data, uint32_t* size) {
    if (!key) {
        return kErrorInvalidHandle;
    }
    if ((key->access & kQueryRights) == 0) {
        return kErrorAccessDenied;
    }
    if (data && !size) {
        return kErrorInvalidParameter;
    }
    StoreFile file = storeFile(key->root);
    RegistryStore store;
    long status = loadStore(file, store);
    if (status != kErrorSuccess) {
        return status;
    }
    if (!registryKeyExists(store, key->path)) {
        return kErrorKeyDeleted;
    }
    const StoredValue* value = registryFindValue(store, key->path, valueName ? valueName : "");
    if (!value) {
        return kErrorFileNotFound;
    }
    if (value->data.size() > 0xFFFFFFFFu) {
        return kErrorRegistryIoFailed;
    }
    const uint32_t dataSize = static_cast<uint32_t>(value->data.size());
    if (type) {
        *type = value->type;
    }
    if (data) {
        if (*size < dataSize) {
            *size = dataSize;
            return kErrorMoreData;
        }
        memcpy(data, value->data.data(), dataSize);
    }
    if (size) {
        *size = dataSize;
    }
    return kErrorSuccess;
}

long regSetValue(platform::RegistryKey key, const char* valueName, uint32_t type,
                 const unsigned char* data, uint32_t size) {
    if (!key) {
        return kErrorInvalidHandle;
    }
    if ((key->access & kSetRights) == 0) {
        return kErrorAccessDenied;
    }
    if (!data && size > 0) {
        return kErrorNoAccess;
    }
    StoreFile file = storeFile(key->root);
    RegistryStore store;
    long status = loadStore(file, store);
    if (status != kErrorSuccess) {
        return status;
    }
    if (!storeWritable(file)) {
        return kErrorAccessDenied;
    }
    if (!registryKeyExists(store, key->path)) {
        return kErrorKeyDeleted;
    }
    const std::string bytes(reinterpret_cast<const char*>(data), data ? size : 0);
    registrySetValue(registryAddKey(store, key->path), valueName ? valueName : "", type, bytes);
    return saveStore(file, store);
}

long regCloseKey(platform::RegistryKey key) {
    if (!key) {
        return kErrorInvalidHandle;
    }
    if (!key->predefined) {
        delete key;
    }
    return kErrorSuccess;
}

} // namespace posix
