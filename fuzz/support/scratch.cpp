#include "scratch.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace scratch {

namespace {

std::vector<std::string>& roots() {
    static std::vector<std::string> instance;
    return instance;
}

void removeRoots() {
    for (const std::string& root : roots()) {
        removeTree(root);
    }
}

} // namespace

std::string makeRoot(const char* tag) {
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base && base[0] ? base : "/tmp") + "/vemfuzz-" + tag + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        fail("cannot make a scratch directory", pattern);
    }
    char resolved[PATH_MAX];
    if (realpath(buffer.data(), resolved) == nullptr) {
        fail("cannot resolve the scratch directory", buffer.data());
    }
    if (roots().empty()) {
        atexit(removeRoots);
    }
    roots().push_back(resolved);
    return resolved;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr || (size != 0 && fwrite(data, 1, size, file) != size) ||
        fclose(file) != 0) {
        fail("cannot write", path);
    }
}

Bytes readFile(const std::string& path, bool* found) {
    std::ifstream in(path, std::ios::binary);
    *found = static_cast<bool>(in);
    if (!in) {
        return Bytes();
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

void makeDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0) {
        fail("cannot make directory", path);
    }
}

void removeTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::vector<std::string> listTree(const std::string& root) {
    std::vector<std::string> paths;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        std::string relative = it->path().lexically_relative(root).string();
        if (it->is_directory() && !it->is_symlink()) {
            relative += "/";
        }
        paths.push_back(relative);
    }
    if (error) {
        fail("cannot list", root);
    }
    return paths;
}

void fail(const char* what, const std::string& detail) {
    fprintf(stderr, "fuzz target: %s: %s\n", what, detail.c_str());
    abort();
}

uint32_t readLe32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

} // namespace scratch
