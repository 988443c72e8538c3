// The commands that read a payload: list and extract.
#include "commands.h"

#include "code_page.h"
#include "error.h"
#include "file_io.h"
#include "host_files.h"
#include "lzma_codec.h"
#include "names.h"
#include "pe_image.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace vempack {
namespace {

CodePage codePageOf(const CommandLine& line) {
    if (line.codePage == 0) {
        return CodePage();
    }
    notice("names read in code page " + std::to_string(line.codePage));
    return CodePage(line.codePage);
}

// The host names of an entry's levels, or a refusal that says why the entry
// cannot be extracted.
std::vector<std::string> hostLevels(const std::string& name, std::size_t index,
                                    const CodePage& codePage) {
    const std::string entry =
        "entry " + std::to_string(index) + " \"" + displayStoredName(name, codePage) + "\"";
    // Without the code page not even the levels are known: a trail byte
    // may be 0x5C.
    if (!codePage.chosen() && !isAscii(name)) {
        refuse(entry + " is not ASCII; give --codepage N, the code page it was stored in, to "
                       "extract it; nothing was extracted");
    }
    const std::string problem = nameProblem(name, codePage.leadByteTest());
    if (!problem.empty()) {
        refuse(entry + ": " + problem + "; nothing was extracted");
    }
    std::vector<std::string> levels;
    for (const std::string& level : nameLevels(name, codePage.leadByteTest())) {
        const std::optional<std::string> utf8 = codePage.toUtf8(level);
        // The name rule leaves no '/' and no "." or ".." in a level; the
        // conversion could only add them through a broken table.
        if (!utf8 || utf8->find('/') != std::string::npos || *utf8 == "." || *utf8 == "..") {
            refuse(entry + " is not a valid name in code page " +
                   std::to_string(codePage.number()) + "; nothing was extracted");
        }
        levels.push_back(*utf8);
    }
    return levels;
}

} // namespace

void warn(const std::string& message) {
    std::cerr << "vempack: warning: " << message << '\n';
}

void notice(const std::string& message) {
    std::cerr << "vempack: " << message << '\n';
}

Package readPayloadFile(const std::string& path) {
    return readPayload(readFile(path), path);
}

Package readPayload(const Bytes& file, const std::string& path) {
    // Random bytes would otherwise pass for LZMA parameters and fail later
    // with a message about the compressed data.
    if (!looksLikeExecutable(file) && !looksLikeAloneHeader(file)) {
        fail("'" + path + "' is neither a setup executable (MZ) nor a .lzma payload");
    }
    const DecodedPayload payload = decompressAlone(payloadBytes(file));
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
    const CodePage codePage = codePageOf(line);
    const auto designated = designatedEntry(package);
    std::uint64_t total = 0;
    std::printf("index         size  name\n");
    for (std::size_t i = 0; i < package.entries.size(); ++i) {
        const PackageEntry& entry = package.entries[i];
        std::printf("%5zu %c %10zu  %s\n", i, designated == i ? '*' : ' ', entry.data.size(),
                    displayStoredName(entry.name, codePage).c_str());
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
    const CodePage codePage = codePageOf(line);
    const std::string& directory = line.operands[1];

    // Every name is judged before anything is written, so a hostile archive
    // leaves nothing half-written behind.
    std::vector<std::vector<std::string>> paths;
    std::vector<std::wstring> keys;
    for (std::size_t i = 0; i < package.entries.size(); ++i) {
        paths.push_back(hostLevels(package.entries[i].name, i, codePage));
        keys.push_back(foldedCase(joinLevels(paths.back())));
    }
    if (const auto clash = findNameClash(keys)) {
        const auto shown = [&](std::size_t i) {
            return "entry " + std::to_string(i) + " \"" +
                   displayStoredName(package.entries[i].name, codePage) + "\"";
        };
        refuse(shown(clash->index) +
               (clash->fileAndFolder
                    ? " and " + shown(clash->earlier) + " need one path as both a file and a folder"
                    : " repeats " + shown(clash->earlier) + " (ignoring case)") +
               "; nothing was extracted");
    }

    std::error_code error;
    std::filesystem::create_directories(hostPath(directory), error);
    if (error) {
        fail("cannot create the directory '" + directory + "': " + error.message());
    }
    for (std::size_t i = 0; i < package.entries.size(); ++i) {
        writeFileBelow(directory, paths[i], package.entries[i].data);
    }
    return 0;
}

} // namespace vempack
