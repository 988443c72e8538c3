// The commands that write: create, archive and compress.
#include "commands.h"

#include "code_page.h"
#include "entry_order.h"
#include "error.h"
#include "file_io.h"
#include "host_files.h"
#include "inputs.h"
#include "name_room.h"
#include "names.h"
#include "output_file.h"
#include "progress.h"

namespace vempack {
namespace {

CodePage codePageOf(const CommandLine& line) {
    return line.codePage == 0 ? CodePage() : CodePage(line.codePage);
}

// What a name is compared by: its characters, case folded.
std::wstring nameKey(const std::string& stored, const CodePage& codePage) {
    return foldedCase(codePage.toUtf8(stored).value_or(stored));
}

// The levels converted to the code page one by one, so that a trail byte
// 0x5C never merges with a separator, and joined with '\'. Refuses a name
// the code page cannot hold or the stub would not write.
std::string storedName(const InputFile& input, const CodePage& codePage) {
    const std::string cannot =
        "cannot store '" + input.path + "' as \"" + displayText(joinLevels(input.levels)) + "\": ";
    std::vector<std::string> stored;
    for (const std::string& level : input.levels) {
        if (!codePage.chosen() && !isAscii(level)) {
            refuse(cannot +
                   "the name is not ASCII; give --codepage N, the Windows ANSI code page "
                   "of the machines that will run the setup, one of " +
                   kWindowsAnsiCodePages);
        }
        const std::optional<std::string> converted = codePage.fromUtf8(level);
        if (!converted) {
            refuse(cannot + (isUtf8(level) ? "code page " + std::to_string(codePage.number()) +
                                                 " cannot represent every character of the name "
                                                 "(choose another with --codepage)"
                                           : std::string("the name is not UTF-8")));
        }
        stored.push_back(*converted);
    }
    const std::string name = joinLevels(stored);
    const std::string problem = nameProblem(name, codePage.leadByteTest());
    if (!problem.empty()) {
        refuse(cannot + problem);
    }
    return name;
}

void refuseClash(const NameClash& clash, const std::vector<InputFile>& inputs,
                 const std::vector<std::string>& names, const CodePage& codePage) {
    const auto shown = [&](std::size_t i) {
        return "\"" + displayStoredName(names[i], codePage) + "\" ('" + inputs[i].path + "')";
    };
    if (!clash.fileAndFolder) {
        refuse("the name " + shown(clash.index) + " is given twice, first as " +
               shown(clash.earlier) + " (names are compared ignoring case)");
    }
    const bool laterIsFile = names[clash.index].size() < names[clash.earlier].size();
    const std::size_t file = laterIsFile ? clash.index : clash.earlier;
    const std::size_t other = laterIsFile ? clash.earlier : clash.index;
    refuse("the name " + shown(file) + " is a file, but " + shown(other) +
           " needs it as a folder (names are compared ignoring case)");
}

// The last level of a name key.
std::wstring lastLevel(const std::wstring& key) {
    const std::size_t slash = key.rfind(L'\\');
    return slash == std::wstring::npos ? key : key.substr(slash + 1);
}

// "; stored with that last level: bin\hostname.exe", or nothing.
std::string entriesEndingLike(const std::wstring& wanted, const Package& package,
                              const std::vector<std::wstring>& keys, const CodePage& codePage) {
    std::string found;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (lastLevel(keys[i]) == lastLevel(wanted)) {
            found += (found.empty() ? "; stored with that last level: " : ", ") +
                     displayStoredName(package.entries[i].name, codePage);
        }
    }
    return found;
}

void designate(Package& package, const std::vector<std::wstring>& keys, const CommandLine& line,
               const CodePage& codePage) {
    // A described setup installs every entry: nothing is left out unasked.
    if (line.noLaunch || (line.product.described() && !line.hasLaunch)) {
        package.designationFlag = 0;
        package.designatedIndex = -1;
        return;
    }
    package.designationFlag = 1;
    package.designatedIndex = 0;
    if (!line.hasLaunch) {
        // Install mode leaves the designated entry out, so a silent choice
        // would lose a file the user meant to install.
        notice("designated: " + displayStoredName(package.entries[0].name, codePage) +
               " (the first file; --launch NAME or --no-launch to choose)");
        return;
    }
    // Raw names are matched byte for byte, others as Windows would match
    // them: levels split at '/' or '\', ignoring case.
    std::optional<std::wstring> wanted;
    if (!line.rawNames) {
        std::vector<std::string> levels;
        for (const std::string& level : givenNameLevels(line.launchName)) {
            levels.push_back(codePage.fromUtf8(level).value_or(std::string()));
        }
        wanted = nameKey(joinLevels(levels), codePage);
    }
    for (std::size_t i = 0; i < package.entries.size(); ++i) {
        if (wanted ? keys[i] == *wanted : package.entries[i].name == line.launchName) {
            package.designatedIndex = static_cast<std::int32_t>(i);
            return;
        }
    }
    refuse("--launch: no entry is stored as \"" + displayText(line.launchName) + "\"" +
           (wanted ? entriesEndingLike(*wanted, package, keys, codePage) : std::string()));
}

} // namespace

Package buildPackage(const CommandLine& line, const OutputFile* output) {
    const CodePage codePage = codePageOf(line);
    if (codePage.chosen()) {
        notice("names stored in code page " + std::to_string(codePage.number()));
    }
    const std::vector<InputFile> inputs = collectInputs(
        line.operands, line.rawNames,
        output ? OutputPaths{output->path(), output->temporaryPath()} : OutputPaths{});
    if (inputs.empty()) {
        refuse("no files to store: the directories given hold none");
    }
    std::vector<std::string> names;
    std::vector<std::wstring> keys;
    for (const InputFile& input : inputs) {
        names.push_back(line.rawNames ? joinLevels(input.levels) : storedName(input, codePage));
        keys.push_back(line.rawNames ? std::wstring() : nameKey(names.back(), codePage));
        if (!line.rawNames) {
            checkNameRoom(names.back(), displayStoredName(names.back(), codePage), input.path);
        }
    }
    if (!line.rawNames) {
        if (const auto clash = findNameClash(keys)) {
            refuseClash(*clash, inputs, names, codePage);
        }
    }
    // Sizes are checked before any file is read, so an oversized input is
    // refused without loading gigabytes first.
    std::uint64_t total = kPackageHeaderSize;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        total += recordSize(names[i].size(), regularFileSize(inputs[i].path));
    }
    if (total > kMaxArchiveSize) {
        refuse("the archive would be " + std::to_string(total) + " bytes; at most " +
               std::to_string(kMaxArchiveSize) + " are allowed");
    }
    Package package;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        package.entries.push_back({names[i], readFile(inputs[i].path)});
    }
    designate(package, keys, line, codePage);
    return package;
}

PackSummary summarize(const Package& package, std::uint64_t bytesIn, std::uint64_t bytesOut,
                      const CodePage& codePage) {
    PackSummary summary{package.entries.size(), bytesIn, bytesOut, std::string()};
    if (const auto index = designatedEntry(package)) {
        summary.designated = displayStoredName(package.entries[*index].name, codePage);
    }
    return summary;
}

Bytes compressShowingProgress(const Bytes& data, const LzmaSettings& settings) {
    ProgressMeter meter(data.size(), stderrIsTerminal());
    return compressAlone(data, settings, [&](std::uint64_t done) { meter.update(done); });
}

int runArchive(const CommandLine& line) {
    OutputFile output(line.output);
    const Package package = buildPackage(line, &output);
    const Bytes archive = writeArchive(package);
    output.commit(archive);
    notice(summaryLine(summarize(package, archive.size(), archive.size(), codePageOf(line)),
                       line.output));
    return 0;
}

Bytes compressPackage(Package& package, const CommandLine& line, PackSummary* summary) {
    if (!line.keepOrder) {
        orderForDictionary(package, line.lzma.dictionarySize);
    }
    const Bytes archive = writeArchive(package);
    Bytes payload = compressShowingProgress(archive, line.lzma);
    if (summary != nullptr) {
        *summary = summarize(package, archive.size(), payload.size(), codePageOf(line));
        summary->dictionary = dictionarySizeFor(archive.size(), line.lzma.dictionarySize);
    }
    return payload;
}

Bytes createPayload(const CommandLine& line, const OutputFile* output, PackSummary* summary) {
    Package package = buildPackage(line, output);
    return compressPackage(package, line, summary);
}

int runCreate(const CommandLine& line) {
    OutputFile output(line.output);
    PackSummary summary;
    output.commit(createPayload(line, &output, &summary));
    notice(summaryLine(summary, line.output));
    return 0;
}

int runCompress(const CommandLine& line) {
    OutputFile output(line.output);
    output.commit(compressShowingProgress(readFile(line.operands[0]), line.lzma));
    return 0;
}

} // namespace vempack
