// The commands that read a payload: list and extract.
#include "commands.h"

#include "error.h"
#include "file_io.h"
#include "lzma_codec.h"
#include "names.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace vempack {

void warn(const std::string& message) {
    std::cerr << "vempack: warning: " << message << '\n';
}

Package readPayloadFile(const std::string& path) {
    const DecodedPayload payload = decompressAlone(payloadBytes(readFile(path)));
    if (uncompressedSize(payload.header) == kUnknownSize) {
        warn("the header states no size; the stub then grows its buffer as it decodes, "
             "which costs more memory than a stated size");
    }
    if (payload.trailingBytes != 0) {
        warn(std::to_string(payload.trailingBytes) +
             " bytes after the end of the compressed data are ignored");
    }
    Package package = readArchive(payload.data);
    if (package.designationFlag != 0 && !designatedEntry(package)) {
        warn("the designated index " + std::to_string(package.designatedIndex) + " names no entry");
    }
    return package;
}

int runList(const CommandLine& line) {
    const Package package = readPayloadFile(line.operands[0]);
    const auto designated = designatedEntry(package);
    std::uint64_t total = 0;
    std::printf("index         size  name\n");
    for (std::size_t i = 0; i < package.entries.size(); ++i) {
        const PackageEntry& entry = package.entries[i];
        std::printf("%5zu %c %10zu  %s\n", i, designated == i ? '*' : ' ', entry.data.size(),
                    displayName(entry.name).c_str());
        total += entry.data.size();
    }
    std::printf("%zu entries, %llu bytes", package.entries.size(),
                static_cast<unsigned long long>(total));
    if (designated) {
        std::printf("; '*' marks the designated entry\n");
    } else {
        std::printf("; no entry is designated\n");
    }
    return 0;
}

int runExtract(const CommandLine& line) {
    const Package package = readPayloadFile(line.operands[0]);
    const std::string& directory = line.operands[1];

    // Every name is judged before anything is written, so a hostile archive
    // leaves nothing half-written behind.
    std::vector<std::string> names;
    for (std::size_t i = 0; i < package.entries.size(); ++i) {
        const std::string& name = package.entries[i].name;
        const std::string problem = nameProblem(name);
        if (!problem.empty()) {
            refuse("entry " + std::to_string(i) + " \"" + displayName(name) + "\": " + problem +
                   "; nothing was extracted");
        }
        names.push_back(name);
    }
    if (const auto duplicate = findDuplicateName(names)) {
        refuse("entry " + std::to_string(*duplicate) + " \"" + displayName(names[*duplicate]) +
               "\" repeats an earlier name (ignoring case); nothing was extracted");
    }

    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        fail("cannot create the directory '" + directory + "': " + error.message());
    }
    for (const PackageEntry& entry : package.entries) {
        writeFileInDirectory(directory, entry.name, entry.data);
    }
    return 0;
}

} // namespace vempack
