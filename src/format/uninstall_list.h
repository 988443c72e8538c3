// The uninstall list: what one described setup puts into its target, kept
// there as "Uninstall.<8 hex digits>.lst" beside Uninstall.exe. Every
// version installed leaves its own list (the name comes from its contents),
// so the uninstaller removes what all of them put there. Layout, integers
// little-endian:
//
//   "VEMU", version (16 bits, 1), flags (16 bits, 0), the size of the
//   product description (32 bits) and the description itself
//   (format/product_description.h), the number of entries (32 bits), then
//   each entry name as a 16-bit length and that many bytes.
//
// Nothing may follow the last name.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/character_walk.h"
#include "format/product_description.h"

constexpr unsigned char kUninstallListMagic[4] = {'V', 'E', 'M', 'U'};
constexpr uint16_t kUninstallListVersion = 1;
constexpr size_t kUninstallListFixedSize = 12;
// A list is read whole into memory: at most this many bytes and entries.
constexpr size_t kMaxUninstallListSize = 16u << 20;
constexpr uint32_t kMaxUninstallEntries = 1u << 20;

// The pattern the uninstaller looks for, and the name's parts.
constexpr const char* kUninstallListPattern = "Uninstall.*.lst";

struct UninstallList {
    ProductDescription product;
    uint32_t entryCount;
    // The first entry's length field, inside the bytes that were read.
    const unsigned char* entries;
    const unsigned char* end;
};

// Judges a whole list: false for anything malformed (magic, version, flags,
// sizes, a description the stub would refuse, a name cut short, a name
// that breaks the entry-name rule: "..", a drive, a device, a stream) and
// for bytes after the last name. Nothing is copied; `list` points into
// `bytes`.
bool readUninstallList(const unsigned char* bytes, size_t size, UninstallList* list,
                       LeadByteTest isLeadByte);

// The next entry name of a list that readUninstallList accepted: copied
// into `name` (260 bytes), `*cursor` moved past it. False at the end.
bool nextUninstallEntry(const UninstallList& list, const unsigned char** cursor, char* name);
