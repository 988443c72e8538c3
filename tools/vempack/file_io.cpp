// File access for the packer; extraction uses POSIX calls so that it can
// refuse to follow symbolic links.
#include "file_io.h"

#include "archive.h"
#include "error.h"
#include "names.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace vempack {
namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& path) {
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
    // Closes now so that a failing close (a late write error) is seen.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

void writeAll(int fd, const Bytes& bytes, const std::string& what) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            fail("cannot write " + what + ": " + std::strerror(errno));
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

std::uint64_t regularFileSize(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error) {
        fail("cannot read " + quoted(path) + ": " + error.message());
    }
    if (!fs::is_regular_file(status)) {
        fail(quoted(path) + " is not a regular file");
    }
    const std::uint64_t size = fs::file_size(path, error);
    if (error) {
        fail("cannot read " + quoted(path) + ": " + error.message());
    }
    return size;
}

Bytes readFile(const std::string& path) {
    const std::uint64_t size = regularFileSize(path);
    if (size > kMaxArchiveSize) {
        refuse(quoted(path) + " is " + std::to_string(size) + " bytes; at most " +
               std::to_string(kMaxArchiveSize) + " are allowed");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fail("cannot open " + quoted(path));
    }
    Bytes bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    // A file that changed size while being read is an error, not a guess.
    if (in.gcount() != static_cast<std::streamsize>(bytes.size()) || in.peek() != EOF) {
        fail("cannot read " + quoted(path) + ": its size changed while it was read");
    }
    return bytes;
}

void writeFileReplacing(const std::string& path, const Bytes& bytes) {
    const std::string partial = path + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(partial, ignored);
            fail("cannot write " + quoted(partial));
        }
    }
    std::error_code error;
    fs::rename(partial, path, error);
    if (error) {
        fs::remove(partial, error);
        fail("cannot write " + quoted(path) + ": " + error.message());
    }
}

void writeFileInDirectory(const std::string& directory, const std::string& name,
                          const Bytes& bytes) {
    // The caller has judged the name already; this guard keeps the write
    // inside the directory even if it had not.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        fail("refusing to write the entry \"" + displayName(name) + "\" outside " +
             quoted(directory));
    }
    const std::string target = (fs::path(directory) / name).string();
    FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        fail("cannot open the directory " + quoted(directory) + ": " + std::strerror(errno));
    }
    FileDescriptor file(::openat(dir.get(), name.c_str(),
                                 O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (file.get() < 0) {
        if (errno == ELOOP) {
            fail("refusing to write through the symbolic link " + quoted(target));
        }
        fail("cannot create " + quoted(target) + ": " + std::strerror(errno));
    }
    writeAll(file.get(), bytes, quoted(target));
    if (!file.close()) {
        fail("cannot write " + quoted(target) + ": " + std::strerror(errno));
    }
}

} // namespace vempack
