// Whole-file reads for the packer.
#include "file_io.h"

#include "archive.h"
#include "error.h"
#include "host_files.h"

#include <filesystem>
#include <fstream>

namespace vempack {
namespace {

namespace fs = std::filesystem;

std::string quotedPath(const std::string& path) {
    return "'" + path + "'";
}

} // namespace

std::uint64_t regularFileSize(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(hostPath(path), error);
    if (error) {
        fail("cannot read " + quotedPath(path) + ": " + error.message());
    }
    if (!fs::is_regular_file(status)) {
        fail(quotedPath(path) + " is not a regular file");
    }
    const std::uint64_t size = fs::file_size(hostPath(path), error);
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
    std::ifstream in(hostPath(path), std::ios::binary);
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

std::string pathBelow(const std::string& directory, const std::vector<std::string>& levels) {
    std::string target = directory;
    for (const std::string& level : levels) {
        target += "/" + level;
    }
    for (const std::string& level : levels) {
        if (level.empty() || level == "." || level == ".." ||
            level.find_first_of(std::string("/\\\0", 3)) != std::string::npos) {
            fail("refusing to write " + quotedPath(target) + ", which is not inside " +
                 quotedPath(directory));
        }
    }
    if (levels.empty()) {
        fail("refusing to write an entry without a name into " + quotedPath(directory));
    }
    return target;
}

} // namespace vempack
