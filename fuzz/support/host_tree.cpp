#include "support/host_tree.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "support/finding.h"

namespace hosttree {

namespace {

bool isDots(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The entry's kind from the directory itself where the file system says it,
// else from lstat: 'f', 'd' or 'o' (other).
char kindOf(const std::string& directory, const char* name, unsigned char type) {
    if (type == DT_UNKNOWN) {
        struct stat status;
        if (lstat((directory + "/" + name).c_str(), &status) != 0) {
            return 'o';
        }
        type = S_ISREG(status.st_mode) ? DT_REG : S_ISDIR(status.st_mode) ? DT_DIR : DT_UNKNOWN;
    }
    return type == DT_REG ? 'f' : type == DT_DIR ? 'd' : 'o';
}

// Calls `visit(name, kind)` for each entry of `directory`. The entries are
// read straight into a buffer on the stack: opendir's own block would be a
// fresh 32 KiB from the sanitizer's heap every time.
template <typename Visit> void forEachEntry(const std::string& directory, Visit visit) {
    const int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        finding::fail("cannot list a scratch directory", directory);
    }
    alignas(struct dirent64) char buffer[4096];
    for (;;) {
        const ssize_t got = getdents64(descriptor, buffer, sizeof buffer);
        if (got < 0) {
            finding::fail("cannot list a scratch directory", directory);
        }
        if (got == 0) {
            break;
        }
        for (ssize_t at = 0; at < got;) {
            const struct dirent64* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
            if (!isDots(entry->d_name)) {
                visit(std::string(entry->d_name), kindOf(directory, entry->d_name, entry->d_type));
            }
            at += entry->d_reclen;
        }
    }
    close(descriptor);
}

// Removes everything below `root`/`relative`, and records it in `tree`
// when one is given.
void clear(const std::string& root, const std::string& relative, Tree* tree) {
    const std::string directory = relative.empty() ? root : root + "/" + relative;
    forEachEntry(directory, [&](const std::string& name, char kind) {
        const std::string inner = relative.empty() ? name : relative + "/" + name;
        const std::string path = directory + "/" + name;
        if (kind == 'd') {
            if (tree != nullptr) {
                tree->directories.insert(inner);
            }
            clear(root, inner, tree);
            if (rmdir(path.c_str()) != 0) {
                finding::fail("cannot remove a scratch directory", path);
            }
            return;
        }
        if (tree != nullptr && kind == 'f' && !readFile(path, &tree->files[inner])) {
            finding::fail("cannot read a scratch file", path);
        }
        if (tree != nullptr && kind != 'f') {
            tree->others.insert(inner);
        }
        if (unlink(path.c_str()) != 0) {
            finding::fail("cannot remove a scratch file", path);
        }
    });
}

int64_t nanoseconds(const struct timespec& time) {
    return int64_t{time.tv_sec} * 1000000000 + time.tv_nsec;
}

Stamp stampOf(const struct stat& status) {
    return Stamp{status.st_ino, status.st_size, nanoseconds(status.st_mtim),
                 nanoseconds(status.st_ctim)};
}

} // namespace

void writeFile(const std::string& path, const unsigned char* data, size_t size) {
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool whole = descriptor >= 0;
    for (size_t done = 0; whole && done < size;) {
        const ssize_t written = write(descriptor, data + done, size - done);
        whole = written > 0 || (written < 0 && errno == EINTR);
        done += written > 0 ? static_cast<size_t>(written) : 0;
    }
    if (descriptor < 0 || close(descriptor) != 0 || !whole) {
        finding::fail("cannot write a scratch file", path);
    }
}

bool readFile(const std::string& path, Bytes* bytes) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    bytes->clear();
    unsigned char buffer[65536];
    for (;;) {
        const ssize_t got = read(descriptor, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            close(descriptor);
            return got == 0;
        }
        bytes->insert(bytes->end(), buffer, buffer + got);
    }
}

bool exists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

void makeDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0) {
        finding::fail("cannot make a scratch directory", path);
    }
}

std::vector<std::string> list(const std::string& directory) {
    std::vector<std::string> names;
    forEachEntry(directory, [&](const std::string& name, char kind) {
        names.push_back(kind == 'f' ? name : name + (kind == 'd' ? "/" : "@"));
    });
    std::sort(names.begin(), names.end());
    return names;
}

Tree takeTree(const std::string& directory) {
    Tree tree;
    clear(directory, "", &tree);
    return tree;
}

void removeTree(const std::string& path) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) {
        return;
    }
    if (S_ISDIR(status.st_mode)) {
        clear(path, "", nullptr);
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

Stamp stamp(const std::string& path) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) {
        return Stamp{0, 0, 0, 0};
    }
    return stampOf(status);
}

Watched::Watched(const std::string& path)
    : path_(path), descriptor_(open(path.c_str(), O_RDONLY | O_CLOEXEC)), stamp_(stamp(path)) {
    if (descriptor_ < 0) {
        finding::fail("cannot open a scratch file", path);
    }
}

Watched::~Watched() {
    close(descriptor_);
}

bool Watched::unchanged() const {
    struct stat status;
    return fstat(descriptor_, &status) == 0 && stampOf(status) == stamp_;
}

} // namespace hosttree
