// Compression into and decompression out of the .lzma layout with liblzma.
#pragma once

#include "bytes.h"
#include "lzma_header.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vempack {

// Preset 9's nice length is 64; on program trees (Wine's libraries, 10,000
// small files) 160 packs 0.2 to 0.4 % smaller for a sixth more packing time.
constexpr std::uint32_t kDefaultNiceLength = 160;
constexpr std::uint32_t kMinNiceLength = 2; // liblzma's range
constexpr std::uint32_t kMaxNiceLength = 273;

struct LzmaSettings {
    // The payload is packed once and unpacked on every install, so the
    // strongest preset is worth its build time. The dictionary is chosen
    // apart from the preset (dictionarySizeFor), since the stub holds it
    // beside the archive while decoding; 0 sizes it to the data.
    std::uint32_t preset = 9;
    bool extreme = false;
    // How long a match the encoder takes without looking for a longer one;
    // 0: kDefaultNiceLength with preset 9, else the preset's own.
    std::uint32_t niceLength = 0;
    std::uint32_t dictionarySize = 0;
    LzmaProperties properties{3, 0, 2};
    // Without an end marker the header's size alone ends the data.
    bool endMarker = false;
    // Write all 0xFF as the size; needs the end marker.
    bool unknownSize = false;
};

// The largest dictionary chosen without --dict: beyond it a larger archive
// packs hardly smaller, while the stub's memory grows by all of it.
constexpr std::uint32_t kMaxChosenDictionarySize = 64u << 20;

// The dictionary for `dataSize` bytes: `requested` when it is not 0, else
// the smallest size a .lzma header states exactly (2^n or 2^n + 2^(n-1),
// 4 KiB at least) that covers all the data, at most
// kMaxChosenDictionarySize. A match can reach back no further than the data
// is long, so anything larger would only cost the stub memory.
std::uint32_t dictionarySizeFor(std::uint64_t dataSize, std::uint32_t requested);

// Refuses settings that liblzma or the .lzma layout cannot carry.
void checkSettings(const LzmaSettings& settings);

// Told how many bytes of the input have been read so far.
using ProgressCallback = std::function<void(std::uint64_t)>;

// Header plus raw LZMA1 data for `data`, with the dictionary that
// dictionarySizeFor gives.
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
