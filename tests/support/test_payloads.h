// Builds package archives and .lzma streams for tests, well-formed or not.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

struct TestEntry {
    std::string name;
    std::string data;
};

// "HEN", count, flag, index, then the records.
Bytes makeArchive(const std::vector<TestEntry>& entries, uint32_t designationFlag = 1,
                  int32_t designatedIndex = 0);
Bytes makeArchiveWithCount(const std::vector<TestEntry>& entries, int32_t entryCount,
                           uint32_t designationFlag, int32_t designatedIndex);

enum class EndMarker { kNone, kPresent };

// A .lzma file: 13-byte header with the real size (or `statedSize` when
// given), then raw LZMA1 data with lc 3, lp 0, pb 2.
Bytes makeLzma(const Bytes& content, EndMarker marker = EndMarker::kNone);
Bytes makeLzmaStatedSize(const Bytes& content, EndMarker marker, uint64_t statedSize);

void appendLe32(Bytes& bytes, uint32_t value);
Bytes toBytes(const std::string& text);
