#include "payloads.h"

#include "archive.h"
#include "lzma_codec.h"

Bytes makeArchive(const std::vector<TestEntry>& entries, uint32_t designationFlag,
                  int32_t designatedIndex) {
    vempack::Package package;
    package.designationFlag = designationFlag;
    package.designatedIndex = designatedIndex;
    for (const TestEntry& entry : entries) {
        package.entries.push_back({entry.name, toBytes(entry.data)});
    }
    return vempack::writeArchive(package);
}

Bytes makeLzma(const Bytes& content, EndMarker marker) {
    vempack::LzmaSettings settings;
    settings.preset = 6;
    settings.dictionarySize = 1u << 20;
    settings.endMarker = marker != EndMarker::kNone;
    settings.unknownSize = marker == EndMarker::kPresentNoSize;
    return vempack::compressAlone(content, settings);
}

Bytes noiseBytes(size_t size, uint32_t seed) {
    Bytes bytes(size);
    for (unsigned char& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<unsigned char>(seed >> 24);
    }
    return bytes;
}
