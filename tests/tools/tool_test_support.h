// Helpers for the packer tests: a scratch directory, whole-file access and a
// way to run the vempack program.
#pragma once

#include "bytes.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vempack_test {

namespace fs = std::filesystem;

// A fresh directory, removed with everything in it afterwards.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "vempack-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        path_ = pattern;
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

inline vempack::Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return vempack::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& path, const vempack::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline vempack::Bytes textBytes(const std::string& text) {
    return vempack::Bytes(text.begin(), text.end());
}

// Bytes that compress poorly, so the coders see more than one block.
inline vempack::Bytes noiseBytes(std::size_t size, std::uint32_t seed) {
    vempack::Bytes bytes(size);
    for (std::uint8_t& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return bytes;
}

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs vempack with `args`, capturing its output in files of `scratch`.
inline RunResult runVempack(const ScratchDir& scratch, const std::vector<std::string>& args) {
    const std::string outPath = scratch.file("vempack.stdout");
    const std::string errPath = scratch.file("vempack.stderr");
    std::vector<std::string> storage{VEMPACK_PATH};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    RunResult result;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, VEMPACK_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << VEMPACK_PATH;
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const vempack::Bytes out = readBytes(outPath);
    const vempack::Bytes err = readBytes(errPath);
    result.out.assign(out.begin(), out.end());
    result.err.assign(err.begin(), err.end());
    return result;
}

} // namespace vempack_test
