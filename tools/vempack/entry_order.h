// The order entries are packed in. LZMA finds a repeat only within its
// dictionary, so an archive larger than the dictionary packs smaller when
// files that share content lie side by side (a family of versioned
// libraries, a program and its resources) rather than wherever their names
// put them.
#pragma once

#include "archive.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vempack {

// The order to pack `entries` in: the first entry first, then each time the
// unplaced entry sharing the most content with the one just placed, or,
// where none shares any, the next unplaced one in the given order. Only
// entries' data counts, so equal inputs give equal orders.
std::vector<std::size_t> similarityOrder(const std::vector<PackageEntry>& entries);

// Reorders `package` by similarityOrder when its archive is larger than the
// dictionary it is packed with (dictionarySizeFor `requestedDictionary`),
// keeping its designated entry. An archive the dictionary holds keeps the
// given order, byte for byte: every repeat is in reach anyway.
void orderForDictionary(Package& package, std::uint32_t requestedDictionary);

} // namespace vempack
