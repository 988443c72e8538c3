// Reads and writes the resource directory tree of a PE image.
#include "pe_resources.h"

#include "error.h"

#include <algorithm>
#include <set>
#include <utility>

namespace vempack {
namespace {

using namespace pe;

constexpr std::uint32_t kHighBit = resourceEntry::kHighBit;
constexpr std::uint32_t kDataAlignment = 8;
constexpr std::size_t kMaxCount = 0xFFFF; // of name units, and of entries of each kind

// The three levels of the tree, from the root down.
enum class ResourceLevel { kType, kName, kLanguage };

ResourceLevel below(ResourceLevel level) {
    return level == ResourceLevel::kType ? ResourceLevel::kName : ResourceLevel::kLanguage;
}

class TreeReader {
  public:
    TreeReader(const PeImage& image, const Bytes& file, std::uint32_t root)
        : image_(image), file_(file), root_(root) {}

    void readDirectory(std::uint32_t offset, ResourceLevel level, Resource& path,
                       std::vector<Resource>& out) {
        if (!visitedDirectories_.insert(offset).second) {
            fail("the resource tree reaches the directory at offset " + std::to_string(offset) +
                 " twice");
        }
        const std::uint8_t* header = at(offset, resourceDirectory::kSize, "a resource directory");
        const std::uint32_t count = loadLe16(header + resourceDirectory::kNamedEntryCount) +
                                    loadLe16(header + resourceDirectory::kIdEntryCount);
        const std::uint8_t* entries =
            at(std::uint64_t{offset} + resourceDirectory::kSize,
               std::uint64_t{resourceEntry::kSize} * count, "resource entries");
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* entry = entries + resourceEntry::kSize * i;
            const ResourceKey key = readKey(loadLe32(entry + resourceEntry::kName));
            const std::uint32_t target = loadLe32(entry + resourceEntry::kTarget);
            const bool isDirectory = (target & kHighBit) != 0;
            if (isDirectory != (level != ResourceLevel::kLanguage)) {
                fail("the resource tree is not three levels deep (type, name, language)");
            }
            switch (level) {
            case ResourceLevel::kType:
                path.type = key;
                break;
            case ResourceLevel::kName:
                path.name = key;
                break;
            case ResourceLevel::kLanguage:
                // FindResourceEx looks languages up by number: a named one
                // would be read as some number and written back as another.
                if (key.isName) {
                    fail("the resource " + describeKey(path.type) + " " + describeKey(path.name) +
                         " gives its language as a name");
                }
                path.language = key.id;
                break;
            }
            if (isDirectory) {
                readDirectory(target & ~kHighBit, below(level), path, out);
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

    // An entry's name field: a number (the loader reads its low 16 bits), or
    // with the high bit the offset of a name.
    ResourceKey readKey(std::uint32_t field) {
        if ((field & kHighBit) == 0) {
            return resourceId(static_cast<std::uint16_t>(field));
        }
        const std::uint64_t offset = field & ~kHighBit;
        const std::uint32_t length =
            loadLe16(at(offset + resourceString::kLength, 2, "a resource name"));
        const std::uint8_t* units =
            at(offset + resourceString::kUnits, std::uint64_t{2} * length, "a resource name");
        count(2 * length);
        ResourceKey key;
        key.isName = true;
        for (std::uint32_t i = 0; i < length; ++i) {
            key.name.push_back(static_cast<char16_t>(loadLe16(units + 2 * i)));
        }
        return key;
    }

    Resource readLeaf(std::uint32_t offset, const Resource& path) {
        if (!visitedData_.insert(offset).second) {
            fail("two resources share the data entry at offset " + std::to_string(offset));
        }
        const std::uint8_t* entry = at(offset, resourceDataEntry::kSize, "a resource data entry");
        const std::uint32_t size = loadLe32(entry + resourceDataEntry::kDataSize);
        count(size);
        const std::uint8_t* data = bytesAtRva(
            image_, file_, loadLe32(entry + resourceDataEntry::kDataRva), size, "resource data");
        Resource leaf = path;
        leaf.codePage = loadLe32(entry + resourceDataEntry::kCodePage);
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

// One level of the tree while it is laid out: the keys in directory order,
// and for each the resources below it.
using Group = std::vector<std::pair<ResourceKey, std::vector<const Resource*>>>;

ResourceKey keyAt(const Resource& resource, ResourceLevel level) {
    switch (level) {
    case ResourceLevel::kType:
        return resource.type;
    case ResourceLevel::kName:
        return resource.name;
    case ResourceLevel::kLanguage:
        break;
    }
    return resourceId(resource.language);
}

// Sorted, so that an image with many resources costs n log n, not n².
Group groupBy(std::vector<const Resource*> resources, ResourceLevel level) {
    std::stable_sort(resources.begin(), resources.end(), [&](const Resource* a, const Resource* b) {
        return keyAt(*a, level) < keyAt(*b, level);
    });
    Group groups;
    for (const Resource* resource : resources) {
        const ResourceKey key = keyAt(*resource, level);
        if (groups.empty() || !(groups.back().first == key)) {
            groups.push_back({key, {resource}});
        } else if (level == ResourceLevel::kLanguage) {
            refuse("two resources are " + describeResource(*resource));
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
        layoutDirectory(all, ResourceLevel::kType);
        for (auto& [offset, key] : pendingNames_) {
            if (key.name.size() > kMaxCount) {
                refuse("the resource name " + describeKey(key) + " is longer than " +
                       std::to_string(kMaxCount) + " UTF-16 units");
            }
            align(2);
            storeOffset(offset, kHighBit);
            const std::size_t at = reserve(resourceString::kUnits + 2 * key.name.size());
            storeLe16(out_, at + resourceString::kLength,
                      static_cast<std::uint16_t>(key.name.size()));
            for (std::size_t i = 0; i < key.name.size(); ++i) {
                storeLe16(out_, at + resourceString::kUnits + 2 * i, key.name[i]);
            }
        }
        align(4);
        for (auto& [offset, resource] : pendingLeaves_) {
            storeOffset(offset, 0);
            dataEntries_.push_back({reserve(resourceDataEntry::kSize), resource});
        }
        // Every offset stored so far, with the high bit as a flag, must
        // stay below it.
        if (out_.size() >= kHighBit) {
            refuse("the resource directory would be larger than 2 GiB");
        }
        for (auto& [entry, resource] : dataEntries_) {
            align(kDataAlignment);
            const std::uint64_t rva = std::uint64_t{sectionRva_} + out_.size();
            if (rva + resource->data.size() > UINT32_MAX) {
                refuse("the resources do not fit in a 32-bit image");
            }
            storeLe32(out_, entry + resourceDataEntry::kDataRva, static_cast<std::uint32_t>(rva));
            storeLe32(out_, entry + resourceDataEntry::kDataSize,
                      static_cast<std::uint32_t>(resource->data.size()));
            storeLe32(out_, entry + resourceDataEntry::kCodePage, resource->codePage);
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

    void align(std::size_t alignment) {
        out_.resize(static_cast<std::size_t>(alignUp(out_.size(), alignment)));
    }

    // Points the field at `field` to the end of what is written so far.
    void storeOffset(std::size_t field, std::uint32_t flag) {
        storeLe32(out_, field, flag | static_cast<std::uint32_t>(out_.size()));
    }

    // Writes the directory of `resources` at this level and, after it, the
    // directories below; returns its offset.
    std::uint32_t layoutDirectory(const std::vector<const Resource*>& resources,
                                  ResourceLevel level) {
        const Group groups = groupBy(resources, level);
        const auto named = static_cast<std::size_t>(std::count_if(
            groups.begin(), groups.end(), [](const auto& group) { return group.first.isName; }));
        if (named > kMaxCount || groups.size() - named > kMaxCount) {
            refuse("a resource directory would hold more than " + std::to_string(kMaxCount) +
                   " entries of one kind");
        }
        const std::size_t at =
            reserve(resourceDirectory::kSize + resourceEntry::kSize * groups.size());
        storeLe16(out_, at + resourceDirectory::kNamedEntryCount,
                  static_cast<std::uint16_t>(named));
        storeLe16(out_, at + resourceDirectory::kIdEntryCount,
                  static_cast<std::uint16_t>(groups.size() - named));
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const std::size_t entry = at + resourceDirectory::kSize + resourceEntry::kSize * i;
            const ResourceKey& key = groups[i].first;
            if (key.isName) {
                pendingNames_.push_back({entry + resourceEntry::kName, key});
            } else {
                storeLe32(out_, entry + resourceEntry::kName, key.id);
            }
            if (level == ResourceLevel::kLanguage) {
                pendingLeaves_.push_back(
                    {entry + resourceEntry::kTarget, groups[i].second.front()});
            } else {
                const std::uint32_t child = layoutDirectory(groups[i].second, below(level));
                storeLe32(out_, entry + resourceEntry::kTarget, kHighBit | child);
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

// Resources ordered by type, name and language, the key of a resource.
bool keyLess(const Resource* a, const Resource* b) {
    if (!(a->type == b->type)) {
        return a->type < b->type;
    }
    if (!(a->name == b->name)) {
        return a->name < b->name;
    }
    return a->language < b->language;
}

std::vector<const Resource*> sortedByKey(const std::vector<Resource>& resources) {
    std::vector<const Resource*> sorted;
    for (const Resource& resource : resources) {
        sorted.push_back(&resource);
    }
    std::stable_sort(sorted.begin(), sorted.end(), keyLess);
    return sorted;
}

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

std::string describeResource(const Resource& resource) {
    return describeKey(resource.type) + " " + describeKey(resource.name) + " in language " +
           std::to_string(resource.language);
}

ResourceKey payloadType() {
    return resourceName("PACKAGE");
}

std::vector<Resource> readResources(const PeImage& image, const Bytes& file) {
    const PeDataDirectory directory = dataDirectory(image, pe::directory::kResource);
    std::vector<Resource> resources;
    if (directory.address == 0) {
        return resources;
    }
    TreeReader reader(image, file, directory.address);
    Resource path;
    reader.readDirectory(0, ResourceLevel::kType, path, resources);
    return resources;
}

Bytes writeResourceSection(const std::vector<Resource>& resources, std::uint32_t sectionRva) {
    return SectionWriter(sectionRva).write(resources);
}

std::string resourceDifference(const std::vector<Resource>& wanted,
                               const std::vector<Resource>& actual) {
    const std::vector<const Resource*> want = sortedByKey(wanted);
    const std::vector<const Resource*> have = sortedByKey(actual);
    std::size_t w = 0;
    std::size_t h = 0;
    while (w < want.size() || h < have.size()) {
        if (h == have.size() || (w < want.size() && keyLess(want[w], have[h]))) {
            return describeResource(*want[w]) + " is missing";
        }
        if (w == want.size() || keyLess(have[h], want[w])) {
            return describeResource(*have[h]) + " is there but was not wanted";
        }
        if (want[w]->codePage != have[h]->codePage) {
            return describeResource(*want[w]) + " has code page " +
                   std::to_string(have[h]->codePage) + " instead of " +
                   std::to_string(want[w]->codePage);
        }
        const Bytes& wantedData = want[w]->data;
        const Bytes& data = have[h]->data;
        if (data.size() != wantedData.size()) {
            return describeResource(*want[w]) + " holds " + std::to_string(data.size()) +
                   " bytes instead of " + std::to_string(wantedData.size());
        }
        const auto differ = std::mismatch(data.begin(), data.end(), wantedData.begin());
        if (differ.first != data.end()) {
            return describeResource(*want[w]) + " holds other data from byte " +
                   std::to_string(differ.first - data.begin()) + " on";
        }
        ++w;
        ++h;
    }
    return {};
}

} // namespace vempack
