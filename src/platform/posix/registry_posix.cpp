// Registry stand-in: each root is a text file (registry_text.h) in
// $XDG_DATA_HOME/vemsetup/registry/ (default ~/.local/share/...). Every call
// reads the file afresh and every change rewrites it whole, so a test or a
// second process always sees the store as it is on disk. A store that
// cannot be written refuses keys opened for writing with
// ERROR_ACCESS_DENIED, which is how a user without rights under
// HKEY_LOCAL_MACHINE looks; a file without any write permission bit counts
// as unwritable even for root, as the read-only attribute does on Windows.
#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>

#include "platform/posix/host_files.h"
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

// The rights that let values be set (KEY_SET_VALUE, GENERIC_ALL,
// GENERIC_WRITE) or read (KEY_QUERY_VALUE, GENERIC_ALL, GENERIC_READ).
constexpr uint32_t kSetRights = 0x0002 | 0x10000000 | 0x40000000;
constexpr uint32_t kQueryRights = 0x0001 | 0x10000000 | 0x80000000;

platform::RegistryKeyObject machineRoot{platform::kHkeyLocalMachine, true, 0xFFFFFFFFu, ""};
platform::RegistryKeyObject userRoot{platform::kHkeyCurrentUser, true, 0xFFFFFFFFu, ""};

// The file of a root's store; empty when no data home is known.
std::string storePath(platform::RegistryRoot root) {
    const std::string base = dataHome();
    if (base.empty()) {
        return base;
    }
    return base + (root == platform::kHkeyLocalMachine
                       ? "/vemsetup/registry/HKEY_LOCAL_MACHINE.txt"
                       : "/vemsetup/registry/HKEY_CURRENT_USER.txt");
}

// A missing file is an empty store.
long loadStore(const std::string& path, RegistryStore& store) {
    store.clear();
    std::string text;
    const int error = path.empty() ? ENOENT : readFile(path.c_str(), text);
    if (error == ENOENT || error == ENOTDIR) {
        return kErrorSuccess;
    }
    if (error != 0) {
        return error == EACCES ? kErrorAccessDenied : kErrorRegistryIoFailed;
    }
    // A store that does not follow the format is refused rather than overwritten.
    return parseRegistryText(text, store) ? kErrorSuccess : kErrorBadDb;
}

// Whether the store may be changed. access() alone would always say yes to
// root, so a file with no write bit at all also counts as read-only.
bool storeWritable(const std::string& path) {
    const std::string directory = path.substr(0, path.rfind('/') + 1);
    if (path.empty() || !makeDirectories(directory) ||
        access(directory.c_str(), W_OK | X_OK) != 0) {
        return false;
    }
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    return (info.st_mode & 0222) != 0 && access(path.c_str(), W_OK) == 0;
}

// Replaced whole, so a reader never sees half a file and a failed write
// leaves the old store as it was.
long saveStore(const std::string& path, const RegistryStore& store) {
    const std::string text = registryText(store);
    const int error = writeFileAtomically(path.c_str(), text.data(), text.size());
    if (error == 0) {
        return kErrorSuccess;
    }
    return error == ENOSPC ? kErrorDiskFull : kErrorAccessDenied;
}

// The store of an open key, for a call that needs `rights`.
long loadKeyStore(platform::RegistryKey key, uint32_t rights, std::string& file,
                  RegistryStore& store) {
    if (!key) {
        return kErrorInvalidHandle;
    }
    if ((key->access & rights) == 0) {
        return kErrorAccessDenied;
    }
    file = storePath(key->root);
    const long status = loadStore(file, store);
    if (status != kErrorSuccess) {
        return status;
    }
    return registryKeyExists(store, key->path) ? kErrorSuccess : kErrorKeyDeleted;
}

} // namespace

platform::RegistryKey rootKey(platform::RegistryRoot root) {
    return root == platform::kHkeyLocalMachine  ? &machineRoot
           : root == platform::kHkeyCurrentUser ? &userRoot
                                                : nullptr;
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
        if (path.find("\\\\") != std::string::npos || path.back() == '\\') {
            return kErrorBadPathname; // an empty level
        }
    }

    const std::string file = storePath(root->root);
    RegistryStore store;
    long status = loadStore(file, store);
    if (status != kErrorSuccess) {
        return status;
    }
    const bool exists = registryKeyExists(store, path);
    if ((access & kSetRights) != 0 || !exists) {
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
    if (key && data && !size) {
        return kErrorInvalidParameter;
    }
    std::string file;
    RegistryStore store;
    const long status = loadKeyStore(key, kQueryRights, file, store);
    if (status != kErrorSuccess) {
        return status;
    }
    const RegistryLine* value = registryFindValue(store, key->path, valueName ? valueName : "");
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
    if (key && !data && size > 0) {
        return kErrorNoAccess;
    }
    std::string file;
    RegistryStore store;
    const long status = loadKeyStore(key, kSetRights, file, store);
    if (status != kErrorSuccess) {
        return status;
    }
    if (!storeWritable(file)) {
        return kErrorAccessDenied;
    }
    const std::string bytes(reinterpret_cast<const char*>(data), data ? size : 0);
    registrySetValue(store, key->path, valueName ? valueName : "", type, bytes);
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
