// Output files written whole and only ever reported as written when the file
// in place holds this run's bytes.
#include "output_file.h"

#include "error.h"
#include "file_io.h"
#include "host_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace vempack {
namespace {

namespace fs = std::filesystem;

constexpr int kNameAttempts = 100;

std::string inQuotes(const std::string& path) {
    return "'" + path + "'";
}

std::string randomTag(std::mt19937_64& random) {
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string tag;
    for (int i = 0; i < 8; ++i) {
        tag += kDigits[random() % (sizeof kDigits - 1)];
    }
    return tag;
}

// Whether the file at `path` holds `bytes`, read in pieces so that a large
// setup is not held twice.
bool holds(const std::string& path, const Bytes& bytes) {
    std::ifstream in(hostPath(path), std::ios::binary);
    std::vector<char> piece(1u << 20);
    std::size_t at = 0;
    while (in) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got > bytes.size() - at || std::memcmp(piece.data(), bytes.data() + at, got) != 0) {
            return false;
        }
        at += got;
    }
    return in.eof() && at == bytes.size();
}

} // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    std::random_device device;
    std::mt19937_64 random((static_cast<std::uint64_t>(device()) << 32) ^ device() ^
                           static_cast<std::uint64_t>(currentProcessId()));
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temporary_ = path_ + "." + randomTag(random) + ".part";
        fd_ = createExclusive(temporary_);
        if (fd_ >= 0 || errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0) {
        const std::string reason = std::strerror(errno);
        const fs::path folder = hostPath(path_).parent_path();
        temporary_.clear();
        fail("cannot write " + inQuotes(path_) + " in the folder " +
             inQuotes(folder.empty() ? "." : hostText(folder)) + ": " + reason);
    }
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) {
        closeFile(fd_);
    }
    if (!temporary_.empty()) {
        std::error_code ignored;
        fs::remove(hostPath(temporary_), ignored);
    }
}

void OutputFile::commit(const Bytes& bytes, const std::function<void()>& afterRename) {
    writeWhole(fd_, bytes, inQuotes(temporary_));
    const int fd = fd_;
    fd_ = -1;
    if (!closeFile(fd)) {
        fail("cannot write " + inQuotes(temporary_) + ": " + std::strerror(errno));
    }
    std::error_code error;
    fs::rename(hostPath(temporary_), hostPath(path_), error);
    if (error) {
        fail("cannot write " + inQuotes(path_) + ": " + error.message());
    }
    temporary_.clear();
    if (afterRename) {
        afterRename();
    }
    // The rename replaced whatever was there; the file now in place is
    // ours only if nothing replaced it since, as a second run writing the
    // same output would.
    if (!holds(path_, bytes)) {
        fail(inQuotes(path_) +
             " is not the file this run wrote: another process replaced it (a second "
             "build to the same output?)");
    }
}

void writeFileReplacing(const std::string& path, const Bytes& bytes) {
    OutputFile(path).commit(bytes);
}

} // namespace vempack
