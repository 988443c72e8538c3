// The fuzzers' platform: the POSIX stand-in, with the table entries that
// allocate, write, wait or reach beyond the scratch area replaced by a
// capped heap, a check of every place that would be written and pauses that
// take no time.
#include "support/fuzz_platform.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "platform/posix/host_files.h"
#include "platform/posix/posix_impl.h"

namespace {

struct WriteArea {
    std::vector<std::string> directories;
    std::vector<std::string> files;
};

WriteArea& area() {
    static WriteArea instance;
    return instance;
}

[[noreturn]] void refuse(const char* operation, const char* detail) {
    fprintf(stderr, "fuzz platform: %s outside the allowed area: %s\n", operation, detail);
    abort();
}

// Resolves "." and ".." and doubled separators by text alone. Nothing the
// targets run makes a link, so this is where the file system would land
// too; a ".." that the file system would refuse still counts, because
// the logic should never have tried it.
std::string normalize(const std::string& path) {
    std::string joined;
    if (path.empty() || path[0] != '/') {
        char cwd[PATH_MAX];
        joined = std::string(getcwd(cwd, sizeof cwd) ? cwd : "") + "/" + path;
    }
    const std::string& absolute = joined.empty() ? path : joined;
    // One string, levels appended and taken off at its end: every write
    // the logic attempts passes here.
    std::string result;
    result.reserve(absolute.size());
    for (size_t start = 0; start <= absolute.size();) {
        size_t end = absolute.find('/', start);
        if (end == std::string::npos) {
            end = absolute.size();
        }
        const size_t length = end - start;
        if (length == 2 && absolute.compare(start, 2, "..") == 0) {
            const size_t last = result.rfind('/');
            result.erase(last == std::string::npos ? 0 : last);
        } else if (length != 0 && !(length == 1 && absolute[start] == '.')) {
            result += '/';
            result.append(absolute, start, length);
        }
        start = end + 1;
    }
    return result.empty() ? "/" : result;
}

bool allowed(const std::string& hostPath) {
    const std::string path = normalize(hostPath);
    for (const std::string& file : area().files) {
        if (path == file) {
            return true;
        }
    }
    for (const std::string& directory : area().directories) {
        if (path.size() > directory.size() + 1 &&
            path.compare(0, directory.size(), directory) == 0 && path[directory.size()] == '/') {
            return true;
        }
    }
    return false;
}

// A path that cannot be mapped cannot be written either: the stand-in fails
// the call, so only mapped paths are checked.
void checkWrite(const char* operation, const char* windowsPath) {
    char host[PATH_MAX];
    if (posix::mapPath(windowsPath, host, sizeof host) && !allowed(host)) {
        refuse(operation, windowsPath);
    }
}

} // namespace

namespace fuzzplatform {

void allowWritesInside(const std::string& directory) {
    area().directories.push_back(normalize(directory));
}

void allowWritesTo(const std::string& file) {
    area().files.push_back(normalize(file));
}

} // namespace fuzzplatform

// Operations with a say of their own; everything else is the stand-in's.
namespace {

// The stand-in's heap, capped.
void* allocateMemory(size_t size) {
    return size > fuzzplatform::kFuzzHeapLimit ? nullptr : posix::allocateMemory(size);
}

void* reallocateMemory(void* block, size_t size) {
    return size > fuzzplatform::kFuzzHeapLimit ? nullptr : posix::reallocateMemory(block, size);
}

void sleepMilliseconds(uint32_t) {}

bool createProcess(const char* applicationName, const char*) {
    refuse("createProcess", applicationName);
}

bool shellExecute(const char* path) {
    refuse("shellExecute", path);
}

uint32_t getTempFileName(const char* directory, const char* prefix, uint32_t unique, char* out) {
    // Unique number 0 creates a file in `directory`.
    const std::string probe = std::string(directory) + "\\" + prefix + "FFFF.tmp";
    checkWrite("getTempFileName", probe.c_str());
    return posix::getTempFileName(directory, prefix, unique, out);
}

platform::FileHandle createFileForWriting(const char* path) {
    checkWrite("createFileForWriting", path);
    return posix::createFileForWriting(path);
}

bool deleteFile(const char* path) {
    checkWrite("deleteFile", path);
    return posix::deleteFile(path);
}

bool createDirectory(const char* path) {
    checkWrite("createDirectory", path);
    return posix::createDirectory(path);
}

bool moveFileReplacing(const char* from, const char* to) {
    checkWrite("moveFileReplacing", from);
    checkWrite("moveFileReplacing", to);
    return posix::moveFileReplacing(from, to);
}

bool createPrivateDirectory(const char* path) {
    checkWrite("createPrivateDirectory", path);
    return posix::createPrivateDirectory(path);
}

platform::Stream openStream(const char* path, const char* mode) {
    if (std::string(mode) != "rb") {
        checkWrite("openStream", path);
    }
    return posix::openStream(path, mode);
}

// The registry stores and the shell folders live outside any scratch
// directory; no fuzzed step may reach them.
long regCreateKey(platform::RegistryKey, const char* subKey, uint32_t, platform::RegistryKey*) {
    refuse("regCreateKey", subKey);
}

long regSetValue(platform::RegistryKey, const char* valueName, uint32_t, const unsigned char*,
                 uint32_t) {
    refuse("regSetValue", valueName);
}

bool getSpecialFolderPath(int, char*) {
    refuse("getSpecialFolderPath", "a shell folder");
}

long persistFileSave(platform::PersistFile, const uint16_t*, bool) {
    refuse("persistFileSave", "a shortcut");
}

void install() {
    platform::Operations& table = platform::operations;
    table.allocateMemory = allocateMemory;
    table.reallocateMemory = reallocateMemory;
    table.sleepMilliseconds = sleepMilliseconds;
    table.createProcess = createProcess;
    table.shellExecute = shellExecute;
    table.getTempFileName = getTempFileName;
    table.createFileForWriting = createFileForWriting;
    table.deleteFile = deleteFile;
    table.createDirectory = createDirectory;
    table.createPrivateDirectory = createPrivateDirectory;
    table.moveFileReplacing = moveFileReplacing;
    table.openStream = openStream;
    table.regCreateKey = regCreateKey;
    table.regSetValue = regSetValue;
    table.getSpecialFolderPath = getSpecialFolderPath;
    table.persistFileSave = persistFileSave;
}

// Every target links this file, so the entries are in place before any input.
[[maybe_unused]] const bool installed = (install(), true);

} // namespace
