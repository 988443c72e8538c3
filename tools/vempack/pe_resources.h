// The resource tree of a PE image (type, name, language, data), read from an
// image and written as a new resource section.
#pragma once

#include "bytes.h"
#include "pe_image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vempack {

// A resource type or name: a 16-bit number, or a UTF-16 string.
struct ResourceKey {
    bool isName = false;
    std::uint16_t id = 0;
    std::u16string name;
};

ResourceKey resourceId(std::uint16_t id);
ResourceKey resourceName(const std::string& ascii);
bool operator==(const ResourceKey& a, const ResourceKey& b);
// The order of a resource directory: names first, compared by code unit,
// then numbers ascending.
bool operator<(const ResourceKey& a, const ResourceKey& b);
std::string describeKey(const ResourceKey& key);

struct Resource {
    ResourceKey type;
    ResourceKey name;
    std::uint16_t language = 0;
    std::uint32_t codePage = 0;
    Bytes data;
};

// The payload's place: type "PACKAGE" (a string), identifier 105.
ResourceKey payloadType();
constexpr std::uint16_t kPayloadId = 105;

// "PACKAGE" 105 in language 0, for messages.
std::string describeResource(const Resource& resource);

// Every resource of the image, in directory order; an image without a
// resource directory has none. Fails on a tree that is malformed: entries
// or data outside the image, a directory reached twice (a loop), other than
// three levels, a language given by name, or data that overlaps beyond the
// file's own size.
std::vector<Resource> readResources(const PeImage& image, const Bytes& file);

// A resource section for the RVA `sectionRva`: the directory tree, names,
// data entries and data, each datum aligned to 8 bytes. Refuses resources
// that repeat a type, name and language, and a tree that the format cannot
// hold (a name or a directory of more than 65535 entries).
Bytes writeResourceSection(const std::vector<Resource>& resources, std::uint32_t sectionRva);

// The first difference between the resources `wanted` and those an image
// holds (`actual`), in any order: one missing, one not wanted, or one whose
// code page or data differs. Empty when they are the same.
std::string resourceDifference(const std::vector<Resource>& wanted,
                               const std::vector<Resource>& actual);

} // namespace vempack
