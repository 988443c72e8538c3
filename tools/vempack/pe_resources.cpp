// Reads and writes the resource directory tree of a PE image.
#include "pe_resources.h"

#include "error.h"

#include <algorithm>
#include <set>
#include <utility>

namespace vempack {
namespace {

constexpr std::uint32_t kDirectorySize = 16;
constexpr std::uint32_t kEntrySize = 8;
constexpr std::uint32_t kDataEntrySize = 16;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint32_t kDataAlignment = 8;

class TreeReader {
  public:
    TreeReader(const PeImage& image, const Bytes& file, std::uint32_t root)
        : image_(image), file_(file), root_(root) {}

    void readDirectory(std::uint32_t offset, int level, Resource& path,
                       std::vector<Resource>& out) {
        if (!visitedDirectories_.insert(offset).second) {
            fail("the resource tree reaches the directory at offset " + std::to_string(offset) +
                 " twice");
        }
        const std::uint8_t* header = at(offset, kDirectorySize, "a resource directory");
        const std::uint32_t count = loadLe(header + 12, 2) + loadLe(header + 14, 2);
        const std::uint8_t* entries =
            at(offset + kDirectorySize, std::uint64_t{kEntrySize} * count, "resource entries");
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t nameField = loadLe32(entries + kEntrySize * i);
            const std::uint32_t target = loadLe32(entries + kEntrySize * i + 4);
            const ResourceKey key = readKey(nameField);
            const bool isDirectory = (target & kHighBit) != 0;
            if (isDirectory != (level < 2)) {
                fail("the resource tree is not three levels deep (type, name, language)");
            }
            if (level == 0) {
                path.type = key;
            } else if (level == 1) {
                path.name = key;
            } else {
                path.language = key.isName ? 0 : key.id;
            }
            if (isDirectory) {
                readDirectory(target & ~kHighBit, level + 1, path, out);
            } else {
                out.push_back(readLeaf(target, path));
            }
        }
    }

  private:
    const std::uint8_t* at(std::uint64_t offset, std::uint64_t size, const std::string& what) {
        return bytesAtRva(image_, file_, std::uint64_t{root_} + offset, size, what);
    }

    // Names and data may be shared, but never more of them copied than the
    // file holds: that bounds what a hostile tree can cost.
    void count(std::uint64_t bytes) {
        copied_ += bytes;
        if (copied_ > file_.size()) {
            fail("the resources' names and data add up to more than the file's size");
        }
    }

    ResourceKey readKey(std::uint32_t field) {
        if ((field & kHighBit) == 0) {
            return resourceId(static_cast<std::uint16_t>(field));
        }
        const std::uint32_t offset = field & ~kHighBit;
        const std::uint32_t length = loadLe(at(offset, 2, "a resource name"), 2);
        const std::uint8_t* units = at(offset + 2, std::uint64_t{2} * length, "a resource name");
        count(2 * length);
        ResourceKey key;
        key.isName = true;
        for (std::uint32_t i = 0; i < length; ++i) {
            key.name.push_back(static_cast<char16_t>(loadLe(units + 2 * i, 2)));
        }
        return key;
    }

    Resource readLeaf(std::uint32_t offset, const Resource& path) {
        if (!visitedData_.insert(offset).second) {
            fail("two resources share the data entry at offset " + std::to_string(offset));
        }
        const std::uint8_t* entry = at(offset, kDataEntrySize, "a resource data entry");
        const std::uint32_t rva = loadLe32(entry);
        const std::uint32_t size = loadLe32(entry + 4);
        count(size);
        const std::uint8_t* data = bytesAtRva(image_, file_, rva, size, "resource data");
        Resource leaf = path;
        leaf.codePage = loadLe32(entry + 8);
        leaf.data.assign(data, data + size);
        return leaf;
    }

    const PeImage& image_;
    const Bytes& file_;
    std::uint32_t root_;
    std::set<std::uint32_t> visitedDirectories_;
    std::set<std::uint32_t> visitedData_;
    std::uint64_t copied_ = 0;
};

void put32(Bytes& out, std::size_t offset, std::uint32_t value) {
    storeLe(out, offset, value, 4);
}

void put16(Bytes& out, std::size_t offset, std::uint32_t value) {
    storeLe(out, offset, value, 2);
}

// One level of the tree while it is laid out: the keys in directory order,
// and for each the resources below it.
using Group = std::vector<std::pair<ResourceKey, std::vector<const Resource*>>>;

ResourceKey keyAt(const Resource& resource, int level) {
    return level == 0 ? resource.type : level == 1 ? resource.name : resourceId(resource.language);
}

// Sorted, so that an image with many resources costs n log n, not n².
Group groupBy(std::vector<const Resource*> resources, int level) {
    std::stable_sort(resources.begin(), resources.end(), [&](const Resource* a, const Resource* b) {
        return keyAt(*a, level) < keyAt(*b, level);
    });
    Group groups;
    for (const Resource* resource : resources) {
        const ResourceKey key = keyAt(*resource, level);
        if (groups.empty() || !(groups.back().first == key)) {
            groups.push_back({key, {resource}});
        } else if (level == 2) {
            refuse("two resources are " + describeKey(resource->type) + " " +
                   describeKey(resource->name) + " in language " +
                   std::to_string(resource->language));
        } else {
            groups.back().second.push_back(resource);
        }
    }
    return groups;
}

class SectionWriter {
  public:
    explicit SectionWriter(std::uint32_t sectionRva) : sectionRva_(sectionRva) {}

    Bytes write(const std::vector<Resource>& resources) {
        std::vector<const Resource*> all;
        for (const Resource& resource : resources) {
            all.push_back(&resource);
        }
        // Directories first (breadth-first placement is not needed: each
        // directory is written where it is reserved), then names, data
        // entries and data, each region reserved as it is reached.
        layoutDirectory(all, 0);
        for (auto& [offset, key] : pendingNames_) {
            align(2);
            put32(out_, offset, kHighBit | static_cast<std::uint32_t>(out_.size()));
            const std::size_t at = reserve(2 + 2 * key.name.size());
            put16(out_, at, static_cast<std::uint32_t>(key.name.size()));
            for (std::size_t i = 0; i < key.name.size(); ++i) {
                put16(out_, at + 2 + 2 * i, key.name[i]);
            }
        }
        align(4);
        for (auto& [offset, resource] : pendingLeaves_) {
            put32(out_, offset, static_cast<std::uint32_t>(out_.size()));
            dataEntries_.push_back({reserve(kDataEntrySize), resource});
        }
        for (auto& [entry, resource] : dataEntries_) {
            align(kDataAlignment);
            const std::uint64_t rva = std::uint64_t{sectionRva_} + out_.size();
            if (rva + resource->data.size() > UINT32_MAX) {
                refuse("the resources do not fit in a 32-bit image");
            }
            put32(out_, entry, static_cast<std::uint32_t>(rva));
            put32(out_, entry + 4, static_cast<std::uint32_t>(resource->data.size()));
            put32(out_, entry + 8, resource->codePage);
            out_.insert(out_.end(), resource->data.begin(), resource->data.end());
        }
        align(kDataAlignment);
        return std::move(out_);
    }

  private:
    std::size_t reserve(std::size_t size) {
        const std::size_t at = out_.size();
        out_.resize(at + size);
        return at;
    }

    void align(std::size_t alignment) { out_.resize(alignUp(out_.size(), alignment)); }

    // Writes the directory of `resources` at this level and, after it, the
    // directories below; returns its offset.
    std::uint32_t layoutDirectory(const std::vector<const Resource*>& resources, int level) {
        const Group groups = groupBy(resources, level);
        const std::size_t at = reserve(kDirectorySize + kEntrySize * groups.size());
        const auto named = std::count_if(groups.begin(), groups.end(),
                                         [](const auto& group) { return group.first.isName; });
        put16(out_, at + 12, static_cast<std::uint32_t>(named));
        put16(out_, at + 14, static_cast<std::uint32_t>(groups.size() - named));
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const std::size_t entry = at + kDirectorySize + kEntrySize * i;
            const ResourceKey& key = groups[i].first;
            if (key.isName) {
                pendingNames_.push_back({entry, key});
            } else {
                put32(out_, entry, key.id);
            }
            if (level == 2) {
                pendingLeaves_.push_back({entry + 4, groups[i].second.front()});
            } else {
                const std::uint32_t below = layoutDirectory(groups[i].second, level + 1);
                put32(out_, entry + 4, kHighBit | below);
            }
        }
        return static_cast<std::uint32_t>(at);
    }

    std::uint32_t sectionRva_;
    Bytes out_;
    std::vector<std::pair<std::size_t, ResourceKey>> pendingNames_;
    std::vector<std::pair<std::size_t, const Resource*>> pendingLeaves_;
    std::vector<std::pair<std::size_t, const Resource*>> dataEntries_;
};

} // namespace

ResourceKey resourceId(std::uint16_t id) {
    ResourceKey key;
    key.id = id;
    return key;
}

ResourceKey resourceName(const std::string& ascii) {
    ResourceKey key;
    key.isName = true;
    key.name.assign(ascii.begin(), ascii.end());
    return key;
}

bool operator==(const ResourceKey& a, const ResourceKey& b) {
    return a.isName == b.isName && (a.isName ? a.name == b.name : a.id == b.id);
}

bool operator<(const ResourceKey& a, const ResourceKey& b) {
    if (a.isName != b.isName) {
        return a.isName;
    }
    return a.isName ? a.name < b.name : a.id < b.id;
}

std::string describeKey(const ResourceKey& key) {
    if (!key.isName) {
        return std::to_string(key.id);
    }
    std::string text = "\"";
    for (char16_t unit : key.name) {
        text += unit >= 0x20 && unit < 0x7F ? static_cast<char>(unit) : '?';
    }
    return text + "\"";
}

ResourceKey payloadType() {
    return resourceName("PACKAGE");
}

std::vector<Resource> readResources(const PeImage& image, const Bytes& file) {
    const PeDataDirectory directory = dataDirectory(image, kResourceDirectory);
    std::vector<Resource> resources;
    if (directory.address == 0) {
        return resources;
    }
    TreeReader reader(image, file, directory.address);
    Resource path;
    reader.readDirectory(0, 0, path, resources);
    return resources;
}

Bytes writeResourceSection(const std::vector<Resource>& resources, std::uint32_t sectionRva) {
    return SectionWriter(sectionRva).write(resources);
}

} // namespace vempack
