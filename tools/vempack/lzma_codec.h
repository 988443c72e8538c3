// Compression into and decompression out of the .lzma layout with liblzma.
#pragma once

#include "bytes.h"
#include "lzma_header.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vempack {

struct LzmaSettings {
    // The payload is packed once and unpacked on every install, so the
    // strongest preset is worth its build time. The dictionary stays at 8 MiB
    // whatever the preset: the stub's decoder allocates what the header states.
    std::uint32_t preset = 9;
    bool extreme = false;
    std::uint32_t dictionarySize = 8u << 20;
    LzmaProperties properties{3, 0, 2};
    // Without an end marker the header's size alone ends the data.
    bool endMarker = false;
    // Write all 0xFF as the size; needs the end marker.
    bool unknownSize = false;
};

// Refuses settings that liblzma or the .lzma layout cannot carry.
void checkSettings(const LzmaSettings& settings);

// Told how many bytes of the input have been read so far.
using ProgressCallback = std::function<void(std::uint64_t)>;

// Header plus raw LZMA1 data for `data`.
Bytes compressAlone(const Bytes& data, const LzmaSettings& settings,
                    const ProgressCallback& progress = {});

struct DecodedPayload {
    LzmaAloneHeader header{};
    Bytes data;
    // Bytes after the end of the LZMA1 data; the stub ignores them.
    std::size_t trailingBytes = 0;
};

// Decodes a whole .lzma file. A stated size must be met exactly; an end
// marker is accepted only right there (or anywhere when no size is stated).
DecodedPayload decompressAlone(const Bytes& file);

} // namespace vempack
