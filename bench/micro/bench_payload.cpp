#include "bench_payload.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/little_endian.h"
#include "payload/lzma_decoder.h"

namespace {

bool fail(const char* path, const char* why) {
    fprintf(stderr, "%s: %s\n", path, why);
    return false;
}

bool indexArchive(const std::vector<unsigned char>& archive, std::vector<BenchEntry>* entries) {
    if (archive.size() < 15 || memcmp(archive.data(), "HEN", 3) != 0) {
        return false;
    }
    const int32_t count = static_cast<int32_t>(readLe32(archive.data() + 3));
    size_t at = 15;
    for (int32_t i = 0; i < count; ++i) {
        if (archive.size() - at < 4) {
            return false;
        }
        const uint32_t nameLength = readLe32(archive.data() + at);
        at += 4;
        if (archive.size() - at < size_t{nameLength} + 4) {
            return false;
        }
        BenchEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(archive.data() + at), nameLength);
        at += nameLength;
        entry.size = readLe32(archive.data() + at);
        at += 4;
        if (archive.size() - at < entry.size) {
            return false;
        }
        entry.offset = at;
        at += entry.size;
        entries->push_back(entry);
    }
    return true;
}

} // namespace

bool loadBenchPayload(const char* path, BenchPayload* payload) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return fail(path, "cannot be read");
    }
    payload->file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (payload->file.size() < kLzmaAloneHeaderSize) {
        return fail(path, "shorter than an .lzma header");
    }
    payload->header = parseLzmaAloneHeader(payload->file.data());
    if (hasUnknownSize(payload->header) ||
        !splitPropertiesByte(payload->header.propertiesByte, &payload->properties)) {
        return fail(path, "not a known-size LZMA1 payload");
    }
    payload->archive.resize(payload->header.uncompressedSizeLow);
    const size_t produced = decodeLzmaKnownSize(payload->properties, payload->header.dictionarySize,
                                                payload->file.data() + kLzmaAloneHeaderSize,
                                                payload->file.size() - kLzmaAloneHeaderSize,
                                                payload->archive.data(), payload->archive.size());
    if (produced != payload->archive.size() || !indexArchive(payload->archive, &payload->entries)) {
        return fail(path, "does not decode to a whole package archive");
    }
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/vemsetup-micro.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        return fail(pattern.c_str(), "cannot make a scratch directory");
    }
    payload->scratch = pattern;
    return true;
}

void releaseBenchPayload(BenchPayload* payload) {
    if (!payload->scratch.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(payload->scratch, ignored);
    }
}

void writeWholeFile(const std::string& path, const unsigned char* data, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr || (size != 0 && fwrite(data, 1, size, file) != size) ||
        fclose(file) != 0) {
        perror(path.c_str());
        abort();
    }
}

void emptyDirectory(const std::string& directory) {
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        std::filesystem::remove_all(entry.path());
    }
}
