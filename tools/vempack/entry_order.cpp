#include "entry_order.h"

#include "lzma_codec.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <utility>

namespace vempack {
namespace {

// A bottom-k sketch: the smallest distinct hashes of every 8-byte window.
// Two files' sketches share values in proportion to the content they share.
constexpr std::size_t kSketchSize = 512;
// A window found in this many entries or more (runs of zeros, a common
// header) says nothing about which of them belong together.
constexpr std::size_t kMaxEntriesPerValue = 64;
// The best neighbours an entry keeps; past them the order falls back.
constexpr std::size_t kNeighbours = 64;

std::uint64_t mixed(std::uint64_t x) {
    x *= 0x9E3779B97F4A7C15u;
    x ^= x >> 29;
    x *= 0xBF58476D1CE4E5B9u;
    return x ^ (x >> 32);
}

std::vector<std::uint64_t> sketchOf(const Bytes& data) {
    std::set<std::uint64_t> smallest;
    std::uint64_t window = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        // The window assembled byte by byte: the same on every host.
        window = (window >> 8) | (static_cast<std::uint64_t>(data[i]) << 56);
        if (i < 7) {
            continue;
        }
        const std::uint64_t hash = mixed(window);
        if (smallest.size() < kSketchSize) {
            smallest.insert(hash);
        } else if (hash < *smallest.rbegin() && smallest.insert(hash).second) {
            smallest.erase(std::prev(smallest.end()));
        }
    }
    return {smallest.begin(), smallest.end()};
}

struct Neighbour {
    std::uint32_t shared;
    std::size_t index;
};

// For each entry, the entries sharing sketch values with it, most shared
// first, ties in the given order.
std::vector<std::vector<Neighbour>> neighboursOf(const std::vector<PackageEntry>& entries) {
    std::vector<std::vector<std::uint64_t>> sketches;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> holders;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        sketches.push_back(sketchOf(entries[i].data));
        for (const std::uint64_t value : sketches.back()) {
            holders[value].push_back(i);
        }
    }
    std::vector<std::vector<Neighbour>> neighbours(entries.size());
    std::vector<std::uint32_t> shared(entries.size(), 0);
    std::vector<std::size_t> touched;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (const std::uint64_t value : sketches[i]) {
            const std::vector<std::size_t>& with = holders.at(value);
            if (with.size() >= kMaxEntriesPerValue) {
                continue;
            }
            for (const std::size_t other : with) {
                if (other != i && shared[other]++ == 0) {
                    touched.push_back(other);
                }
            }
        }
        std::vector<Neighbour>& list = neighbours[i];
        for (const std::size_t other : touched) {
            list.push_back({shared[other], other});
            shared[other] = 0;
        }
        touched.clear();
        std::sort(list.begin(), list.end(), [](const Neighbour& a, const Neighbour& b) {
            return a.shared != b.shared ? a.shared > b.shared : a.index < b.index;
        });
        list.resize(std::min(list.size(), kNeighbours));
    }
    return neighbours;
}

} // namespace

std::vector<std::size_t> similarityOrder(const std::vector<PackageEntry>& entries) {
    std::vector<std::size_t> order;
    if (entries.empty()) {
        return order;
    }
    const std::vector<std::vector<Neighbour>> neighbours = neighboursOf(entries);
    std::vector<bool> placed(entries.size(), false);
    std::size_t nextInOrder = 0;
    std::size_t current = 0;
    for (;;) {
        placed[current] = true;
        order.push_back(current);
        if (order.size() == entries.size()) {
            return order;
        }
        const auto near = std::find_if(neighbours[current].begin(), neighbours[current].end(),
                                       [&](const Neighbour& n) { return !placed[n.index]; });
        if (near != neighbours[current].end()) {
            current = near->index;
            continue;
        }
        while (placed[nextInOrder]) {
            ++nextInOrder;
        }
        current = nextInOrder;
    }
}

void orderForDictionary(Package& package, std::uint32_t requestedDictionary) {
    std::uint64_t archiveSize = kPackageHeaderSize;
    for (const PackageEntry& entry : package.entries) {
        archiveSize += recordSize(entry.name.size(), entry.data.size());
    }
    if (archiveSize <= dictionarySizeFor(archiveSize, requestedDictionary)) {
        return;
    }
    const std::vector<std::size_t> order = similarityOrder(package.entries);
    std::vector<PackageEntry> reordered;
    reordered.reserve(order.size());
    std::int32_t designated = package.designatedIndex;
    for (std::size_t position = 0; position < order.size(); ++position) {
        if (static_cast<std::int32_t>(order[position]) == package.designatedIndex) {
            designated = static_cast<std::int32_t>(position);
        }
        reordered.push_back(std::move(package.entries[order[position]]));
    }
    package.entries = std::move(reordered);
    package.designatedIndex = designated;
}

} // namespace vempack
