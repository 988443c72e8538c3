// The uninstaller's operations on the host file system. A running program
// may be deleted on the host, so what Windows removes at its next start is
// removed at once here.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <limits.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/posix/host_files.h"
#include "platform/posix/posix_impl.h"

namespace posix {

bool getModuleFileName(char* out) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || length >= 260) {
        return false;
    }
    memcpy(out, path, static_cast<size_t>(length));
    out[length] = '\0';
    return true;
}

bool copyFile(const char* from, const char* to) {
    char source[PATH_MAX];
    char target[PATH_MAX];
    std::string bytes;
    if (!mapPath(from, source, sizeof source) || !mapPath(to, target, sizeof target) ||
        readFile(source, bytes) != 0) {
        return false;
    }
    const int descriptor = open(target, O_WRONLY | O_CREAT | O_EXCL, 0755);
    if (descriptor < 0) {
        return false;
    }
    const bool written =
        write(descriptor, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return close(descriptor) == 0 && written;
}

bool removeDirectory(const char* path) {
    char host[PATH_MAX];
    struct stat status;
    // RemoveDirectoryA removes a link to a directory itself, never what it
    // points at.
    if (!mapPath(path, host, sizeof host) || lstat(host, &status) != 0) {
        return false;
    }
    return S_ISLNK(status.st_mode) ? unlink(host) == 0 : rmdir(host) == 0;
}

bool deleteAtReboot(const char* path) {
    char host[PATH_MAX];
    struct stat status;
    if (!mapPath(path, host, sizeof host) || lstat(host, &status) != 0) {
        return false;
    }
    return S_ISDIR(status.st_mode) ? rmdir(host) == 0 : unlink(host) == 0;
}

bool findFileName(const char* pattern, uint32_t index, char* name) {
    char host[PATH_MAX];
    if (!mapPath(pattern, host, sizeof host)) {
        return false;
    }
    char* slash = strrchr(host, '/');
    const std::string last = slash ? slash + 1 : host;
    const std::string directory = !slash ? "." : slash == host ? "/" : std::string(host, slash);
    DIR* listing = opendir(directory.c_str());
    std::vector<std::string> names;
    for (const dirent* entry; listing && (entry = readdir(listing));) {
        struct stat status;
        const std::string path = directory + "/" + entry->d_name;
        if (fnmatch(last.c_str(), entry->d_name, FNM_CASEFOLD) == 0 &&
            lstat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
            names.push_back(entry->d_name);
        }
    }
    if (listing) {
        closedir(listing);
    }
    std::sort(names.begin(), names.end());
    if (index >= names.size() || names[index].size() >= 260) {
        return false;
    }
    memcpy(name, names[index].c_str(), names[index].size() + 1);
    return true;
}

} // namespace posix
