// The commands that write: create, archive and compress.
#include "commands.h"

#include "code_page.h"
#include "error.h"
#include "file_io.h"
#include "inputs.h"
#include "names.h"

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

void designate(Package& package, const std::vector<std::wstring>& keys, const CommandLine& line,
               const CodePage& codePage) {
    if (line.noLaunch) {
        package.designationFlag = 0;
        package.designatedIndex = -1;
        return;
    }
    package.designationFlag = 1;
    package.designatedIndex = 0;
    if (!line.hasLaunch) {
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
    refuse("--launch: no entry is stored as \"" + displayText(line.launchName) + "\"");
}

Package buildPackage(const CommandLine& line) {
    const CodePage codePage = codePageOf(line);
    if (codePage.chosen()) {
        notice("names stored in code page " + std::to_string(codePage.number()));
    }
    const std::vector<InputFile> inputs = collectInputs(line.operands, line.rawNames);
    if (inputs.empty()) {
        refuse("no files to store: the directories given hold none");
    }
    std::vector<std::string> names;
    std::vector<std::wstring> keys;
    for (const InputFile& input : inputs) {
        names.push_back(line.rawNames ? joinLevels(input.levels) : storedName(input, codePage));
        keys.push_back(line.rawNames ? std::wstring() : nameKey(names.back(), codePage));
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

// A dictionary size as --dict takes it: 96KiB, 8MiB.
std::string sizeText(std::uint32_t size) {
    if (size % (1u << 20) == 0) {
        return std::to_string(size >> 20) + "MiB";
    }
    return size % 1024 == 0 ? std::to_string(size >> 10) + "KiB" : std::to_string(size);
}

// Compresses `data` and says which dictionary it took.
Bytes compressNoting(const Bytes& data, const LzmaSettings& settings) {
    const std::uint32_t dictionary = dictionarySizeFor(data.size(), settings.dictionarySize);
    notice("dictionary " + sizeText(dictionary) +
           (settings.dictionarySize != 0 ? " (--dict)"
                                         : " for " + std::to_string(data.size()) + " bytes"));
    return compressAlone(data, settings);
}

} // namespace

int runArchive(const CommandLine& line) {
    writeFileReplacing(line.output, writeArchive(buildPackage(line)));
    return 0;
}

Bytes createPayload(const CommandLine& line) {
    return compressNoting(writeArchive(buildPackage(line)), line.lzma);
}

int runCreate(const CommandLine& line) {
    writeFileReplacing(line.output, createPayload(line));
    return 0;
}

int runCompress(const CommandLine& line) {
    writeFileReplacing(line.output, compressNoting(readFile(line.operands[0]), line.lzma));
    return 0;
}

} // namespace vempack
