// File access for the packer; extraction uses POSIX calls so that it can
// refuse to follow symbolic links.
#include "file_io.h"

#include "archive.h"
#include "error.h"
#include "host_files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vempack {
namespace {

namespace fs = std::filesystem;

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

std::uint64_t regularFileSize(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error) {
        fail("cannot read " + quotedPath(path) + ": " + error.message());
    }
    if (!fs::is_regular_file(status)) {
        fail(quotedPath(path) + " is not a regular file");
    }
    const std::uint64_t size = fs::file_size(path, error);
    if (error) {
        fail("cannot read " + quotedPath(path) + ": " + error.message());
    }
    return size;
}

Bytes readFile(const std::string& path) {
    const std::uint64_t size = regularFileSize(path);
    if (size > kMaxArchiveSize) {
        refuse(quotedPath(path) + " is " + std::to_string(size) + " bytes; at most " +
               std::to_string(kMaxArchiveSize) + " are allowed");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fail("cannot open " + quotedPath(path));
    }
    Bytes bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    // A file that changed size while being read is an error, not a guess.
    if (in.gcount() != static_cast<std::streamsize>(bytes.size()) || in.peek() != EOF) {
        fail("cannot read " + quotedPath(path) + ": its size changed while it was read");
    }
    return bytes;
}

void writeFileBelow(const std::string& directory, const std::vector<std::string>& levels,
                    const Bytes& bytes) {
    std::string target = directory;
    for (const std::string& level : levels) {
        target += "/" + level;
    }
    // The caller has judged the names already; this guard keeps the write
    // inside the directory even if it had not.
    for (const std::string& level : levels) {
        if (level.empty() || level == "." || level == ".." ||
            level.find_first_of(std::string("/\0", 2)) != std::string::npos) {
            fail("refusing to write " + quotedPath(target) + ", which is not inside " +
                 quotedPath(directory));
        }
    }
    if (levels.empty()) {
        fail("refusing to write an entry without a name into " + quotedPath(directory));
    }
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
