// The .lzma header (format/lzma_alone_header.h) with the packer's checks.
#pragma once

#include "bytes.h"
#include "format/lzma_alone_header.h"

#include <cstddef>
#include <cstdint>

namespace vempack {

using ::LzmaAloneHeader;
using ::LzmaProperties;

// All eight size bytes 0xFF: the size is not stated and an end marker ends
// the data.
constexpr std::uint64_t kUnknownSize = UINT64_MAX;
// liblzma decodes LZMA1 only with lc + lp of at most 4.
constexpr std::uint32_t kMaxLcPlusLp = 4;

LzmaAloneHeader makeAloneHeader(const LzmaProperties& properties, std::uint32_t dictionarySize,
                                std::uint64_t uncompressedSize);

// Both halves of the size field.
std::uint64_t uncompressedSize(const LzmaAloneHeader& header);

void appendAloneHeader(Bytes& out, const LzmaAloneHeader& header);

// Reads and checks the header at the start of `file`: long enough, a valid
// properties byte that liblzma can decode, and a size that is either stated
// below 4 GiB (the stub reads only the low 32 bits) or not stated at all.
// An I/O-like failure for a malformed header; a refusal (exit 2) for a size
// the stub cannot take.
LzmaAloneHeader parseAloneHeader(const Bytes& file);

// A dictionary size as .lzma headers state it: 2^n or 2^n + 2^(n-1) bytes,
// or all ones. xz does not take a file with any other size for a .lzma
// file, nor does list; --dict accepts these sizes only.
bool isStatedDictionarySize(std::uint32_t size);

// Whether `file` begins with what xz accepts as a .lzma header: a properties
// byte liblzma decodes (lc + lp at most 4), a dictionary size as above, and
// a size below 2^38 bytes or not stated. Tells a payload from any other file
// before its bytes are taken for LZMA parameters.
bool looksLikeAloneHeader(const Bytes& file);

} // namespace vempack
