// Registry stand-in over REGEDIT4 files, one per root. Every call reads the
// file afresh and every change rewrites it, so a test or a second process
// always sees the store as it is on disk. Standard containers are used here
// (this code never goes into the stub) because they make the format handling
// short and obviously bounded.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>

#include "platform/posix/atomic_write.h"
#include "platform/posix/posix_registry_shell.h"
#include "platform/posix/regedit_format.h"

namespace platform {

// A key handle: the root it belongs to and the key's full path in the store
// ("HKEY_LOCAL_MACHINE\Software\..."), with the access it was opened for.
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
constexpr long kErrorKeyDeleted = 1018;
constexpr long kErrorRegistryIoFailed = 1016;

// Access rights that ask for changing a key or its values (KEY_SET_VALUE,
// KEY_CREATE_SUB_KEY, DELETE, WRITE_DAC, WRITE_OWNER, GENERIC_ALL,
// GENERIC_WRITE) and those that let values be set or read.
constexpr uint32_t kWriteRights =
    0x0002 | 0x0004 | 0x00010000 | 0x00040000 | 0x00080000 | 0x10000000 | 0x40000000;
constexpr uint32_t kSetRights = 0x0002 | 0x10000000 | 0x40000000;
constexpr uint32_t kQueryRights = 0x0001 | 0x10000000 | 0x80000000;

platform::RegistryKeyObject machineRoot{platform::kHkeyLocalMachine, true, 0xFFFFFFFFu,
                                        "HKEY_LOCAL_MACHINE"};
platform::RegistryKeyObject userRoot{platform::kHkeyCurrentUser, true, 0xFFFFFFFFu,
                                     "HKEY_CURRENT_USER"};

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
        file.path = file.directory + "/" + rootName(root) + ".reg";
    }
    return file;
}

// A missing file is an empty store.
long loadStore(const StoreFile& file, RegeditStore& store) {
    store.keys.clear();
    store.index.clear();
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
    // A store that is not REGEDIT4 is refused rather than overwritten.
    return parseRegedit(text.data(), text.size(), store) ? kErrorSuccess : kErrorBadDb;
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
long saveStore(const StoreFile& file, const RegeditStore& store) {
    const std::string text = serializeRegedit(store);
    const int error = writeFileAtomically(file.path.c_str(), text.data(), text.size());
    if (error == 0) {
        return kErrorSuccess;
    }
    return error == ENOSPC ? kErrorDiskFull : kErrorAccessDenied;
}

bool isRootPath(const platform::RegistryKeyObject& key) {
    return key.path == rootName(key.root);
}

// The key a handle names, in a freshly loaded store; the root always exists.
RegeditKey* keyOfHandle(RegeditStore& store, const platform::RegistryKeyObject& key) {
    if (isRootPath(key)) {
        return regeditAddKey(store, key.path, nullptr);
    }
    return regeditFindKey(store, key.path);
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
        path += '\\';
        path += subKey;
        if (path.back() == '\\') {
            path.pop_back(); // one trailing separator is tolerated
        }
        if (!regeditPathHoldable(path)) {
            return kErrorBadPathname;
        }
    }

    StoreFile file = storeFile(root->root);
    RegeditStore store;
    long status = loadStore(file, store);
    if (status != kErrorSuccess) {
        return status;
    }
    bool exists = path == root->path ? (root->predefined || regeditFindKey(store, path))
                                     : regeditFindKey(store, path) != nullptr;
    if ((access & kWriteRights) != 0 || !exists) {
        if (!storeWritable(file)) {
            return kErrorAccessDenied;
        }
    }
    if (!exists) {
        bool created = false;
        if (!regeditAddKey(store, path, &created)) {
            return kErrorBadPathname;
        }
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
    RegeditStore store;
    long status = loadStore(file, store);
    if (status != kErrorSuccess) {
        return status;
    }
    RegeditKey* stored = keyOfHandle(store, *key);
    if (!stored) {
        return kErrorKeyDeleted;
    }
    const RegeditValue* value = regeditFindValue(*stored, valueName);
    if (!value) {
        return kErrorFileNotFound;
    }
    if (value->data.size() > 0xFFFFFFFFu) {
        return kErrorRegistryIoFailed;
    }
    uint32_t dataSize = static_cast<uint32_t>(value->data.size());
    if (type) {
        *type = value->type;
    }
    if (data) {
        if (*size < dataSize) {
            *size = dataSize;
            return kErrorMoreData;
        }
        if (dataSize > 0) {
            memcpy(data, value->data.data(), dataSize);
        }
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
    RegeditStore store;
    long status = loadStore(file, store);
    if (status != kErrorSuccess) {
        return status;
    }
    if (!storeWritable(file)) {
        return kErrorAccessDenied;
    }
    RegeditKey* stored = keyOfHandle(store, *key);
    if (!stored) {
        return kErrorKeyDeleted;
    }
    regeditSetValue(*stored, valueName, type, data, size);
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
