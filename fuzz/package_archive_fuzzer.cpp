// Fuzzes the unpacking step: any bytes as the package archive, unpacked in
// both modes into an empty destination, install mode in a single-byte code
// page and extract-and-launch mode in the double-byte code page 932, so
// that every input meets both ways of walking names. The platform stops any
// write outside the destination before it happens; afterwards nothing may
// be new outside the destination, the sentinels beside it must be
// untouched, and the exit code, the files and directories made and the
// launch path must be what a plain reading of the format (written here
// with the standard library) gives.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/bounded_text.h"
#include "common/character_walk.h"
#include "common/little_endian.h"
#include "format/entry_name.h"
#include "payload/package_archive.h"
#include "platform/platform.h"
#include "platform/posix/posix_impl.h"
#include "support/finding.h"
#include "support/fuzz_platform.h"
#include "support/host_tree.h"
#include "support/scratch.h"

namespace {

using hosttree::Bytes;

constexpr char kSentinelText[] = "must stay as it is";

// What the destination should hold afterwards, by host paths relative to
// it ('/' between levels), as hosttree::takeTree gives them.
struct Expected {
    ExitCode code;
    std::map<std::string, Bytes> files;
    std::set<std::string> directories;
    std::string launchPath;
};

// The levels of an entry name, split at every backslash that is a
// character of its own (a trail byte 0x5C is part of its character).
std::vector<std::string> levelsOf(const std::string& name) {
    std::vector<std::string> levels(1);
    for (size_t i = 0; i < name.size();) {
        const size_t size = characterSize(name.c_str() + i, platform::isDbcsLeadByte);
        if (size == 1 && name[i] == '\\') {
            levels.emplace_back();
        } else {
            levels.back().append(name, i, size);
        }
        i += size;
    }
    return levels;
}

// Writes one entry into the expected destination: every missing level in
// front of the name becomes a directory, in order, and stays even when a
// later step fails; a level that is a file, or a name that is a directory,
// fails the entry.
bool expectEntry(const std::string& name, const Bytes& content, Expected* expected) {
    const std::vector<std::string> levels = levelsOf(name);
    std::string path;
    for (size_t i = 0; i + 1 < levels.size(); ++i) {
        path += (i == 0 ? "" : "/") + levels[i];
        if (expected->files.count(path) != 0) {
            return false;
        }
        expected->directories.insert(path);
    }
    path += (levels.size() == 1 ? "" : "/") + levels.back();
    if (expected->directories.count(path) != 0) {
        return false;
    }
    expected->files[path] = content;
    return true;
}

// A plain reader of the archive: records read whole and checked against
// what is left before anything of them is written; names refused when they
// could leave the destination or the path would not fit 260 bytes; bytes
// after the counted records refused once those are written.
Expected model(const uint8_t* data, size_t size, UnpackMode mode, const std::string& destination) {
    Expected expected = {kExitSuccess, {}, {}, ""};
    if (size < sizeof kPackageMagic || memcmp(data, kPackageMagic, sizeof kPackageMagic) != 0) {
        expected.code = kExitArchiveCorrupt;
        return expected;
    }
    size_t pos = sizeof kPackageMagic;
    auto take32 = [&](uint32_t* value) {
        if (size - pos < 4) {
            return false;
        }
        *value = readLe32(data + pos);
        pos += 4;
        return true;
    };
    int32_t count = 0;
    uint32_t flag = 0;
    int32_t index = -1;
    uint32_t value = 0;
    if (take32(&value)) {
        count = static_cast<int32_t>(value);
        if (take32(&value)) {
            flag = value;
            if (take32(&value)) {
                index = static_cast<int32_t>(value);
            }
        }
    }
    for (int32_t i = 0; i < count; ++i) {
        uint32_t nameLength = 0;
        uint32_t dataSize = 0;
        if (!take32(&nameLength) || nameLength >= kPathBufferSize || size - pos < nameLength) {
            expected.code = kExitArchiveCorrupt;
            return expected;
        }
        const std::string name(reinterpret_cast<const char*>(data + pos), nameLength);
        pos += nameLength;
        if (name.find('\0') != std::string::npos || !take32(&dataSize) || size - pos < dataSize ||
            dataSize > fuzzplatform::kFuzzHeapLimit) {
            expected.code = kExitArchiveCorrupt;
            return expected;
        }
        const Bytes content(data + pos, data + pos + dataSize);
        pos += dataSize;
        const bool designated = flag != 0 && i == index;
        if (mode == UnpackMode::kInstall && designated) {
            continue;
        }
        const std::string path = destination + "\\" + name;
        if (!isSafeEntryName(name.c_str(), platform::isDbcsLeadByte) ||
            path.size() >= kPathBufferSize || !expectEntry(name, content, &expected)) {
            expected.code = kExitEntryOutput;
            return expected;
        }
        if (mode == UnpackMode::kExtractAndLaunch && designated) {
            expected.launchPath = path;
        }
    }
    // The counted records must be all there is.
    if (pos != size) {
        expected.code = kExitArchiveCorrupt;
    }
    return expected;
}

// The scratch tree, made once per process and removed when it exits:
// root/sentinel.txt, root/work/sentinel.txt, the destination root/work/dest
// (emptied after every run), and the archive in a directory of its own,
// root/archive/vem2.tmp, so that nothing in root or root/work comes or goes
// while the logic runs right.
struct Places {
    Places() {
        for (const std::string& directory : {work, destination, root.path() + "/archive"}) {
            hosttree::makeDirectory(directory);
        }
        for (const std::string& sentinel :
             {root.path() + "/sentinel.txt", work + "/sentinel.txt"}) {
            hosttree::writeFile(sentinel, reinterpret_cast<const unsigned char*>(kSentinelText),
                                sizeof kSentinelText - 1);
        }
        // A directory's stamp changes with every entry made, removed or
        // renamed in it, a file's with every write.
        for (const std::string& path :
             {root.path(), work, root.path() + "/sentinel.txt", work + "/sentinel.txt"}) {
            watched.emplace_back(path);
        }
        fuzzplatform::allowWritesInside(destination);
        fuzzplatform::allowWritesTo(archive); // deleted on success
    }
    scratch::Directory root{"vemfuzz-unpack"};
    std::string work = root.path() + "/work";
    std::string destination = work + "/dest";
    std::string archive = root.path() + "/archive/vem2.tmp";
    std::deque<hosttree::Watched> watched;
};

const Places& places() {
    static const Places instance;
    return instance;
}

// Nothing new, gone or changed beside the destination.
void checkSurroundings(const Places& p) {
    for (const hosttree::Watched& watched : p.watched) {
        if (!watched.unchanged()) {
            finding::fail("something changed beside the destination", watched.path());
        }
    }
}

void unpackOnce(const uint8_t* data, size_t size, UnpackMode mode) {
    const Places& p = places();
    const Expected expected = model(data, size, mode, p.destination);

    char launchPath[kPathBufferSize];
    memset(launchPath, 'L', sizeof launchPath);
    // The archive as the decoding stage hands it on: in memory, its file
    // being written beside the unpacking.
    Bytes archive(data, data + size);
    ArchiveFile file = {};
    copyText(file.path, sizeof file.path, p.archive.c_str());
    file.archive = {archive.data(), archive.size()};
    startArchiveFile(&file);
    const ExitCode result = unpackPackage(&file, p.destination.c_str(), mode, launchPath);

    const char* modeName = mode == UnpackMode::kInstall ? "install" : "extract";
    if (result != expected.code) {
        finding::fail("exit code differs from the format's reading",
                      std::string(modeName) + ": " + std::to_string(result) + " instead of " +
                          std::to_string(expected.code));
    }
    if (memchr(launchPath, '\0', sizeof launchPath) == nullptr ||
        std::string(launchPath) != expected.launchPath) {
        finding::fail("launch path differs", modeName);
    }
    // Deleted exactly on success; otherwise left whole, for inspection.
    Bytes left;
    const bool kept = hosttree::readFile(p.archive, &left);
    if (result == kExitSuccess ? kept : !kept || left != archive) {
        finding::fail("the archive must be deleted on success and kept whole otherwise", modeName);
    }
    checkSurroundings(p);

    const hosttree::Tree tree = hosttree::takeTree(p.destination);
    if (!tree.others.empty()) {
        finding::fail("the destination holds something but files and directories",
                      *tree.others.begin());
    }
    if (tree.files != expected.files) {
        finding::fail("the files written differ from the format's reading", modeName);
    }
    if (tree.directories != expected.directories) {
        finding::fail("the directories made differ from the names' levels", modeName);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    hosttree::writeFile(places().archive, data, size);
    posix::setAnsiCodePage(1252);
    unpackOnce(data, size, UnpackMode::kInstall);
    posix::setAnsiCodePage(932);
    unpackOnce(data, size, UnpackMode::kExtractAndLaunch);
    return 0;
}
