// Fuzzes the unpacking step: any bytes as the package archive, unpacked in
// both modes into a fresh destination. The platform stops any write outside
// the destination before it happens; afterwards the scratch tree must hold
// nothing new outside the destination, the sentinels beside it must be
// untouched, and the exit code, the files written and the launch path must
// be what a plain reading of the format (written here with the standard
// library) gives.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <map>
#include <string>

#include "common/bounded_text.h"
#include "common/little_endian.h"
#include "format/entry_name.h"
#include "payload/package_archive.h"
#include "support/fuzz_platform.h"
#include "support/scratch.h"
#include "temp_dir.h"

namespace {

constexpr char kSentinelText[] = "must stay as it is";

struct Expected {
    ExitCode code;
    std::map<std::string, Bytes> files;
    std::string launchPath;
};

// A plain reader of the archive: records read whole and checked against
// what is left before anything of them is written; names refused when they
// could leave the destination; no folder exists in a fresh destination, so
// a name with levels cannot be created.
Expected model(const uint8_t* data, size_t size, UnpackMode mode, const std::string& destination) {
    Expected expected = {kExitSuccess, {}, ""};
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
            size_t{dataSize} + 1 > fuzzplatform::kFuzzHeapLimit) {
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
        if (!isSafeEntryName(name.c_str(), platform::isDbcsLeadByte) || path.size() >= kPathBufferSize ||
            name.find_first_of("\\/") != std::string::npos) {
            expected.code = kExitEntryOutput;
            return expected;
        }
        expected.files[name] = content;
        if (mode == UnpackMode::kExtractAndLaunch && designated) {
            expected.launchPath = path;
        }
    }
    return expected;
}

// The scratch tree, made once per process and removed when it exits.
struct Scratch {
    Scratch() {
        makeDirectory(work);
        writeBytes(root + "/sentinel.txt", toBytes(kSentinelText));
        writeBytes(work + "/sentinel.txt", toBytes(kSentinelText));
    }
    ScopedTempDir dir{"vemfuzz-unpack"};
    std::string root = dir.path();
    std::string work = root + "/work";
    std::string destination = work + "/dest";
    std::string archive = work + "/vem2.tmp";
};

const Scratch& places() {
    static const Scratch instance;
    return instance;
}

void checkSentinel(const std::string& path) {
    if (!fileExists(path) || readBytes(path) != toBytes(kSentinelText)) {
        scratch::fail("a sentinel beside the destination changed", path);
    }
}

void unpackOnce(const uint8_t* data, size_t size, UnpackMode mode) {
    const Scratch& s = places();
    makeDirectory(s.destination);
    writeBytes(s.archive, Bytes(data, data + size));
    const Expected expected = model(data, size, mode, s.destination);

    char launchPath[kPathBufferSize];
    memset(launchPath, 'L', sizeof launchPath);
    fuzzplatform::allowWritesInside(s.destination);
    fuzzplatform::allowWritesTo(s.archive); // opened "rb+", deleted on success
    const ExitCode result =
        unpackPackage(s.archive.c_str(), s.destination.c_str(), mode, launchPath);
    fuzzplatform::forbidAllWrites();

    const char* modeName = mode == UnpackMode::kInstall ? "install" : "extract";
    if (result != expected.code) {
        scratch::fail("exit code differs from the format's reading",
                      std::string(modeName) + ": " + std::to_string(result) + " instead of " +
                          std::to_string(expected.code));
    }
    if (memchr(launchPath, '\0', sizeof launchPath) == nullptr ||
        std::string(launchPath) != expected.launchPath) {
        scratch::fail("launch path differs", modeName);
    }
    if (fileExists(s.archive) == (result == kExitSuccess)) {
        scratch::fail("the archive must be deleted exactly on success", modeName);
    }

    // Nothing new outside the destination, nothing but files inside it.
    std::map<std::string, Bytes> written;
    for (const std::string& path : listTree(s.root)) {
        if (path == "work/" || path == "work/dest/" || path == "work/vem2.tmp" ||
            path == "sentinel.txt" || path == "work/sentinel.txt") {
            continue;
        }
        const std::string inside = "work/dest/";
        if (path.compare(0, inside.size(), inside) != 0 ||
            path.find('/', inside.size()) != std::string::npos) {
            scratch::fail("something appeared outside the destination", path);
        }
        written[path.substr(inside.size())] = readBytes(s.root + "/" + path);
    }
    checkSentinel(s.root + "/sentinel.txt");
    checkSentinel(s.work + "/sentinel.txt");
    if (written != expected.files) {
        scratch::fail("the files written differ from the format's reading", modeName);
    }

    removeTree(s.destination);
    removeTree(s.archive);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unpackOnce(data, size, UnpackMode::kInstall);
    unpackOnce(data, size, UnpackMode::kExtractAndLaunch);
    return 0;
}
