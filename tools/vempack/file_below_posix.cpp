// Extraction on Linux: POSIX calls relative to each level's folder, so that
// no symbolic link is ever followed.
#include "file_io.h"

#include "error.h"
#include "host_files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vempack {
namespace {

std::string quotedPath(const std::string& path) {
    return "'" + path + "'";
}

// Closes a descriptor on every path.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    // Closes now so that a failing close (a late write error) is seen.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

} // namespace

void writeFileBelow(const std::string& directory, const std::vector<std::string>& levels,
                    const Bytes& bytes) {
    const std::string target = pathBelow(directory, levels);
    FileDescriptor parent(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent.get() < 0) {
        fail("cannot open the directory " + quotedPath(directory) + ": " + std::strerror(errno));
    }
    std::string at = directory;
    for (std::size_t i = 0; i + 1 < levels.size(); ++i) {
        const char* level = levels[i].c_str();
        at += "/" + levels[i];
        if (::mkdirat(parent.get(), level, 0777) != 0 && errno != EEXIST) {
            fail("cannot create the directory " + quotedPath(at) + ": " + std::strerror(errno));
        }
        // An existing level is used only if it is a directory itself, not a
        // link to one.
        const int child =
            ::openat(parent.get(), level, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) {
            // Linux says ENOTDIR for a link when O_DIRECTORY is given too.
            const int error = errno;
            struct stat status {};
            if (error == ELOOP ||
                (::fstatat(parent.get(), level, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                 S_ISLNK(status.st_mode))) {
                fail("refusing to write through the symbolic link " + quotedPath(at));
            }
            fail("cannot open the directory " + quotedPath(at) + ": " + std::strerror(error));
        }
        parent.reset(child);
    }
    // O_NONBLOCK: a FIFO in the file's place fails instead of waiting for a
    // reader.
    FileDescriptor file(::openat(parent.get(), levels.back().c_str(),
                                 O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                                 0666));
    if (file.get() < 0) {
        if (errno == ELOOP) {
            fail("refusing to write through the symbolic link " + quotedPath(target));
        }
        fail("cannot create " + quotedPath(target) + ": " + std::strerror(errno));
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        fail("refusing to write " + quotedPath(target) + ", which is not a regular file");
    }
    writeWhole(file.get(), bytes, quotedPath(target));
    if (!file.close()) {
        fail("cannot write " + quotedPath(target) + ": " + std::strerror(errno));
    }
}

} // namespace vempack
