#include "temp_dir.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

ScopedTempDir::ScopedTempDir(const char* tag) {
    const char* base = getenv("VEMSETUP_TEST_TMP");
    if (base == nullptr || base[0] == '\0') {
        base = getenv("TMPDIR");
    }
    std::string pattern =
        std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/" + tag + "-XXXXXX";
    char resolved[PATH_MAX];
    if (mkdtemp(pattern.data()) == nullptr || realpath(pattern.c_str(), resolved) == nullptr) {
        throw std::runtime_error("cannot make a scratch directory " + pattern);
    }
    path_ = resolved;
}

ScopedTempDir::~ScopedTempDir() {
    removeTree(path_);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* old = getenv(name);
    had_ = old != nullptr;
    old_ = had_ ? old : "";
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (had_) {
        setenv(name_.c_str(), old_.c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

std::vector<std::string> runEnvironment(const std::string& root) {
    mkdir((root + "/temp").c_str(), 0755);
    mkdir((root + "/Desktop").c_str(), 0755);
    return {"TMPDIR=" + root + "/temp", "XDG_DATA_HOME=" + root + "/data",
            "XDG_DESKTOP_DIR=" + root + "/Desktop", "HOME=" + root, "PATH=/usr/bin:/bin"};
}

ScopedRunEnvironment::ScopedRunEnvironment(const ScopedTempDir& root) {
    const std::vector<std::string> variables = runEnvironment(root.path());
    for (const std::string& variable : variables) {
        const size_t equals = variable.find('=');
        if (variable.compare(0, equals, "PATH") != 0) {
            variables_.emplace_back(variable.substr(0, equals).c_str(),
                                    variable.substr(equals + 1));
        }
    }
}

void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes toBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

bool fileExists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

void makeDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0) {
        throw std::runtime_error("cannot make the directory " + path);
    }
}

void removeTree(const std::string& path) {
    std::error_code ignored;
    // Read-only leftovers of a test must not keep the tree alive.
    for (auto it = fs::recursive_directory_iterator(path, ignored);
         !ignored && it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (!it->is_symlink()) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path, ignored);
}

std::vector<std::string> listDirectory(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> listTree(const std::string& root) {
    std::vector<std::string> paths;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::string relative = it->path().lexically_relative(root).string();
        if (it->is_directory() && !it->is_symlink()) {
            relative += "/";
        }
        paths.push_back(relative);
    }
    if (error) {
        throw std::runtime_error("cannot list " + root);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}
