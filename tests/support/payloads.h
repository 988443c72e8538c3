// Payloads for tests, made by the packer's own code (tools/vempack), which
// writes the formats from the same definitions the stub reads them by.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "temp_dir.h"

struct TestEntry {
    std::string name;
    std::string data;
};

// A package archive; entry `designatedIndex` designated when
// `designationFlag` is nonzero.
Bytes makeArchive(const std::vector<TestEntry>& entries, uint32_t designationFlag = 1,
                  int32_t designatedIndex = 0);

enum class EndMarker { kNone, kPresent, kPresentNoSize };

// A .lzma file of `content`: lc 3, lp 0, pb 2, a 1 MiB dictionary, the size
// stated unless kPresentNoSize.
Bytes makeLzma(const Bytes& content, EndMarker marker = EndMarker::kNone);

// Bytes that compress poorly, the same for the same seed.
Bytes noiseBytes(size_t size, uint32_t seed);
