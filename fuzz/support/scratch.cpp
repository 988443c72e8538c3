#include "support/scratch.h"

#include <limits.h>
#include <linux/magic.h>
#include <stdlib.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "support/finding.h"
#include "support/host_tree.h"

namespace scratch {

namespace {

bool isWritableMemoryFileSystem(const char* directory) {
    struct statfs status;
    return directory != nullptr && directory[0] == '/' && statfs(directory, &status) == 0 &&
           (status.f_type == TMPFS_MAGIC || status.f_type == RAMFS_MAGIC) &&
           access(directory, W_OK | X_OK) == 0;
}

const char* nonEmpty(const char* value) {
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

} // namespace

std::string baseDirectory() {
    if (const char* chosen = nonEmpty(getenv("VEMSETUP_FUZZ_SCRATCH"))) {
        return chosen;
    }
    for (const char* candidate : {"/dev/shm", nonEmpty(getenv("XDG_RUNTIME_DIR"))}) {
        if (isWritableMemoryFileSystem(candidate)) {
            return candidate;
        }
    }
    const char* temporary = nonEmpty(getenv("TMPDIR"));
    return temporary != nullptr ? temporary : "/tmp";
}

Directory::Directory(const char* tag) {
    std::string pattern = baseDirectory() + "/" + tag + "-XXXXXX";
    char resolved[PATH_MAX];
    if (mkdtemp(pattern.data()) == nullptr || realpath(pattern.c_str(), resolved) == nullptr) {
        finding::fail("cannot make a scratch directory", pattern);
    }
    path_ = resolved;
}

Directory::~Directory() {
    hosttree::removeTree(path_);
}

} // namespace scratch
