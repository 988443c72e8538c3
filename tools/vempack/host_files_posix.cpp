// Linux versions of the host file calls.
#include "host_files.h"

#include "error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace vempack {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

int createExclusive(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

void writeWhole(int fd, const Bytes& bytes, const std::string& what) {
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

bool closeFile(int fd) {
    return ::close(fd) == 0;
}

unsigned long currentProcessId() {
    return static_cast<unsigned long>(::getpid());
}

bool stderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

std::string executablePath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.string();
}

bool stubBesideExecutable() {
    return false;
}

} // namespace vempack
