// Replaces the resource section of a PE image.
#include "pe_rewrite.h"

#include "error.h"

#include <algorithm>

namespace vempack {
namespace {

constexpr std::uint32_t kInitializedData = 0x00000040;

void put32(Bytes& out, std::size_t offset, std::uint64_t value) {
    storeLe(out, offset, value, 4);
}

// The section that holds the resource directory, which must start it and
// be the last section both in memory and in the file, so that growing it
// moves nothing else.
const PeSection& lastResourceSection(const PeImage& image) {
    const PeDataDirectory directory = dataDirectory(image, kResourceDirectory);
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
    if (found->sizeOfRawData == 0 || found->pointerToRawData < image.sizeOfHeaders) {
        refuse("the resource section has no data of its own after the headers");
    }
    for (const PeSection& section : image.sections) {
        const bool laterInMemory = section.virtualAddress > found->virtualAddress;
        const bool laterInFile = section.sizeOfRawData != 0 && found->sizeOfRawData != 0 &&
                                 section.pointerToRawData > found->pointerToRawData;
        if (laterInMemory || laterInFile) {
            refuse("the resource section " + found->name + " is not the last section (" +
                   section.name + " follows it); the stub must be linked with .rsrc last");
        }
    }
    return *found;
}

// Fails unless everything after the sections' data is the certificate
// table (and its alignment padding); returns whether a signature is there.
bool checkTail(const PeImage& image, const Bytes& file) {
    const PeDataDirectory certificate = dataDirectory(image, kCertificateDirectory);
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

} // namespace

Bytes replaceResources(const Bytes& file, const std::vector<Resource>& resources,
                       const RewriteOptions& options) {
    const PeImage image = parsePeImage(file);
    const PeSection& section = lastResourceSection(image);
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

    put32(out, section.headerOffset + 8, data.size());
    put32(out, section.headerOffset + 16, rawSize);
    const std::size_t optional = image.optionalHeaderOffset;
    put32(out, optional + kSizeOfImageField, imageSize);
    if ((section.characteristics & kInitializedData) != 0) {
        // Changed by the difference only, so whatever else the linker
        // counted in it stays counted.
        const std::uint64_t before = loadLe32(&out[optional + kSizeOfInitializedDataField]);
        const std::uint64_t after =
            before + rawSize - std::min<std::uint64_t>(before, section.sizeOfRawData);
        put32(out, optional + kSizeOfInitializedDataField,
              std::min<std::uint64_t>(after, UINT32_MAX));
    }
    const std::size_t resourceEntry = image.directoriesOffset + 8 * kResourceDirectory;
    put32(out, resourceEntry + 4, data.size());
    if (image.directories.size() > kCertificateDirectory) {
        const std::size_t certificateEntry = image.directoriesOffset + 8 * kCertificateDirectory;
        put32(out, certificateEntry, 0);
        put32(out, certificateEntry + 4, 0);
    }
    put32(out, optional + kCheckSumField, peChecksum(out, optional + kCheckSumField));
    return out;
}

} // namespace vempack
