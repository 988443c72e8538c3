// The commands that write: create, archive and compress.
#include "commands.h"

#include "error.h"
#include "file_io.h"
#include "names.h"

namespace vempack {
namespace {

void checkNames(const std::vector<InputSpec>& inputs) {
    std::vector<std::string> names;
    for (const InputSpec& input : inputs) {
        const std::string problem = nameProblem(input.name);
        if (!problem.empty()) {
            refuse("cannot store '" + input.path + "' as \"" + displayName(input.name) +
                   "\": " + problem);
        }
        names.push_back(input.name);
    }
    if (const auto duplicate = findDuplicateName(names)) {
        refuse("the name \"" + displayName(names[*duplicate]) +
               "\" is given twice (names are compared ignoring case)");
    }
}

void designate(Package& package, const CommandLine& line) {
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
    for (std::size_t i = 0; i < package.entries.size(); ++i) {
        if (package.entries[i].name == line.launchName) {
            package.designatedIndex = static_cast<std::int32_t>(i);
            return;
        }
    }
    refuse("--launch: no entry is stored as \"" + displayName(line.launchName) + "\"");
}

Package buildPackage(const CommandLine& line) {
    std::vector<InputSpec> inputs;
    for (const std::string& operand : line.operands) {
        inputs.push_back(parseInputSpec(operand));
    }
    if (!line.rawNames) {
        checkNames(inputs);
    }
    // Sizes are checked before any file is read, so an oversized input is
    // refused without loading gigabytes first.
    std::uint64_t total = kPackageHeaderSize;
    for (const InputSpec& input : inputs) {
        total += recordSize(input.name.size(), regularFileSize(input.path));
    }
    if (total > kMaxArchiveSize) {
        refuse("the archive would be " + std::to_string(total) + " bytes; at most " +
               std::to_string(kMaxArchiveSize) + " are allowed");
    }
    Package package;
    for (const InputSpec& input : inputs) {
        package.entries.push_back({input.name, readFile(input.path)});
    }
    designate(package, line);
    return package;
}

} // namespace

int runArchive(const CommandLine& line) {
    writeFileReplacing(line.output, writeArchive(buildPackage(line)));
    return 0;
}

Bytes createPayload(const CommandLine& line) {
    return compressAlone(writeArchive(buildPackage(line)), line.lzma);
}

int runCreate(const CommandLine& line) {
    writeFileReplacing(line.output, createPayload(line));
    return 0;
}

int runCompress(const CommandLine& line) {
    writeFileReplacing(line.output, compressAlone(readFile(line.operands[0]), line.lzma));
    return 0;
}

} // namespace vempack
