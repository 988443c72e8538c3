// Replaces the resource section of a PE image.
#include "pe_rewrite.h"

#include "error.h"

#include <algorithm>

namespace vempack {
namespace {

namespace opt = pe::optionalHeader;
namespace sec = pe::sectionHeader;
namespace dir = pe::directory;

// The section that holds the resource directory, which must start it and
// be the last section both in memory and in the file, so that growing it
// moves nothing else.
const PeSection& lastResourceSection(const PeImage& image) {
    const PeDataDirectory directory = dataDirectory(image, dir::kResource);
    if (directory.address == 0) {
        refuse("the stub has no resource section; link it with its resources (manifest, "
               "version information) so that .rsrc is its last section");
    }
    const PeSection* found = nullptr;
    for (const PeSection& section : image.sections) {
        if (section.virtualAddress == directory.address) {
            found = &section;
        }
    }
    if (found == nullptr) {
        refuse("the resource directory does not start a section of its own");
    }
    if (found->sizeOfRawData == 0) {
        refuse("the resource section has no data in the file");
    }
    for (const PeSection& section : image.sections) {
        const bool laterInMemory = section.virtualAddress > found->virtualAddress;
        const bool laterInFile =
            section.sizeOfRawData != 0 && section.pointerToRawData > found->pointerToRawData;
        if (laterInMemory || laterInFile) {
            refuse("the resource section (" + describeSection(*found) +
                   ") is not the last section (" + describeSection(section) +
                   " follows it); the stub must be linked with .rsrc last");
        }
    }
    return *found;
}

// The section is replaced whole: a table that another data directory
// (imports, relocations, debug information ...) keeps in it would be lost.
void checkNothingElseIn(const PeImage& image, const PeSection& section) {
    const std::uint64_t begin = section.virtualAddress;
    const std::uint64_t end =
        begin + (section.virtualSize != 0 ? section.virtualSize : section.sizeOfRawData);
    for (std::uint32_t i = 0; i < image.directories.size(); ++i) {
        const PeDataDirectory& directory = image.directories[i];
        if (i == dir::kResource || i == dir::kCertificate || directory.address == 0) {
            continue;
        }
        // A table of no size still marks a place in the section.
        const std::uint64_t last =
            std::uint64_t{directory.address} + std::max<std::uint32_t>(directory.size, 1);
        if (directory.address < end && last > begin) {
            refuse("data directory " + std::to_string(i) + " lies in the resource section (" +
                   describeSection(section) + "); rewriting the section would lose it");
        }
    }
}

// Fails unless everything after the sections' data is the certificate
// table (and its alignment padding); returns whether a signature is there.
bool checkTail(const PeImage& image, const Bytes& file) {
    const PeDataDirectory certificate = dataDirectory(image, dir::kCertificate);
    std::uint64_t end = image.endOfSectionData;
    const bool signed_ = certificate.address != 0 || certificate.size != 0;
    if (signed_) {
        const std::uint64_t start = certificate.address;
        const std::uint64_t stop = start + certificate.size;
        const bool paddingOnly =
            start >= end && start - end < 8 &&
            std::all_of(file.begin() + static_cast<std::ptrdiff_t>(end),
                        file.begin() + static_cast<std::ptrdiff_t>(
                                           std::min<std::uint64_t>(start, file.size())),
                        [](std::uint8_t b) { return b == 0; });
        if (!paddingOnly || stop > file.size()) {
            refuse("the certificate table does not directly follow the sections");
        }
        end = stop;
    }
    if (file.size() > end) {
        refuse(std::to_string(file.size() - end) +
               " bytes follow the image's sections (an overlay, such as an appended archive or "
               "debug symbols); they would be lost");
    }
    return signed_;
}

std::size_t directoryEntry(const PeImage& image, std::uint32_t index) {
    return image.directoriesOffset + dir::kEntrySize * index;
}

} // namespace

Bytes replaceResources(const Bytes& file, const std::vector<Resource>& resources,
                       const RewriteOptions& options) {
    const PeImage image = parsePeImage(file);
    const PeSection& section = lastResourceSection(image);
    checkNothingElseIn(image, section);
    if (checkTail(image, file) && !options.stripSignature) {
        refuse("the stub is signed; a signature cannot survive a new payload. Pass "
               "--strip-signature to drop it, then sign the setup again");
    }

    const Bytes data = writeResourceSection(resources, section.virtualAddress);
    const std::uint64_t rawSize = alignUp(data.size(), image.fileAlignment);
    const std::uint64_t imageSize =
        alignUp(std::uint64_t{section.virtualAddress} + data.size(), image.sectionAlignment);
    if (imageSize > UINT32_MAX || section.pointerToRawData + rawSize > UINT32_MAX) {
        refuse("the setup would be larger than a PE image can be (4 GiB)");
    }

    Bytes out(file.begin(), file.begin() + section.pointerToRawData);
    out.insert(out.end(), data.begin(), data.end());
    out.resize(static_cast<std::size_t>(section.pointerToRawData + rawSize));

    // Every value stored is below 4 GiB: checked above.
    const auto store = [&out](std::size_t offset, std::uint64_t value) {
        storeLe32(out, offset, static_cast<std::uint32_t>(value));
    };
    store(section.headerOffset + sec::kVirtualSize, data.size());
    store(section.headerOffset + sec::kSizeOfRawData, rawSize);
    const std::size_t optional = image.optionalHeaderOffset;
    store(optional + opt::kSizeOfImage, imageSize);
    if ((section.characteristics & sec::kInitializedData) != 0) {
        // Changed by the difference only, so whatever else the linker
        // counted in it stays counted.
        const std::uint64_t before = loadLe32(&out[optional + opt::kSizeOfInitializedData]);
        const std::uint64_t after =
            before + rawSize - std::min<std::uint64_t>(before, section.sizeOfRawData);
        store(optional + opt::kSizeOfInitializedData, std::min<std::uint64_t>(after, UINT32_MAX));
    }
    store(directoryEntry(image, dir::kResource) + dir::kSize, data.size());
    if (image.directories.size() > dir::kCertificate) {
        store(directoryEntry(image, dir::kCertificate) + dir::kAddress, 0);
        store(directoryEntry(image, dir::kCertificate) + dir::kSize, 0);
    }
    store(optional + opt::kCheckSum, peChecksum(out, optional + opt::kCheckSum));
    checkWrittenResources(out, resources);
    return out;
}

void checkWrittenResources(const Bytes& image, const std::vector<Resource>& wanted) {
    std::string difference;
    try {
        difference = resourceDifference(wanted, readResources(parsePeImage(image), image));
    } catch (const ToolError& e) {
        difference = std::string("it does not read back: ") + e.what();
    }
    if (!difference.empty()) {
        throw ReadBackError("the rewritten image does not hold the resources it should (" +
                            difference + "); nothing was written");
    }
}

} // namespace vempack
