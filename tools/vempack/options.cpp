// Parses and checks the packer's command line.
#include "options.h"

#include "code_page.h"
#include "error.h"
#include "lzma_header.h"
#include "setup_resources.h"

#include <charconv>
#include <string_view>

namespace vempack {
namespace {

// Which commands accept an option, as a bit set over Command.
using CommandSet = unsigned;
constexpr CommandSet bit(Command c) {
    return 1u << static_cast<unsigned>(c);
}
constexpr CommandSet kAnyCommand = ~0u;
constexpr CommandSet kPacking =
    bit(Command::kCreate) | bit(Command::kArchive) | bit(Command::kBuild);
constexpr CommandSet kCompressing =
    bit(Command::kCreate) | bit(Command::kCompress) | bit(Command::kBuild);
constexpr CommandSet kBuilding = bit(Command::kBuild);
constexpr CommandSet kNaming =
    kPacking | bit(Command::kList) | bit(Command::kExtract) | bit(Command::kWinget);
constexpr CommandSet kWriting = kPacking | kCompressing;

struct OptionEntry {
    std::string_view name;
    bool takesValue;
    CommandSet commands;
};

constexpr OptionEntry kOptions[] = {
    {"--help", false, kAnyCommand},
    {"-h", false, kAnyCommand},
    {"-o", true, kWriting},
    {"--output", true, kWriting},
    {"-q", false, kWriting},
    {"--quiet", false, kWriting},
    {"--launch", true, kPacking},
    {"--no-launch", false, kPacking},
    {"--raw-name", false, kPacking},
    {"--codepage", true, kNaming},
    {"--preset", true, kCompressing},
    {"--nice", true, kCompressing},
    {"--dict", true, kCompressing},
    {"--lc", true, kCompressing},
    {"--lp", true, kCompressing},
    {"--pb", true, kCompressing},
    {"--eopm", false, kCompressing},
    {"--keep-order", false, kCompressing},
    {"--unknown-size", false, kCompressing},
    {"--stub", true, kBuilding},
    {"--arch", true, kBuilding},
    {"--payload", true, kBuilding},
    {"--strip-signature", false, kBuilding},
    {"--version-info", true, kBuilding},
    {"--icon", true, kBuilding},
    {"--product", true, kBuilding},
    {"--product-id", true, kBuilding},
    {"--publisher", true, kBuilding},
    {"--product-version", true, kBuilding},
    {"--program", true, kBuilding},
    {"--document-type", true, kBuilding},
    {"--success-code", true, kBuilding},
    {"--no-uninstaller", false, kBuilding},
    {"--url", true, bit(Command::kWinget)},
};

struct CommandName {
    std::string_view name;
    Command command;
};

constexpr CommandName kCommands[] = {
    {"create", Command::kCreate}, {"archive", Command::kArchive}, {"compress", Command::kCompress},
    {"list", Command::kList},     {"extract", Command::kExtract}, {"build", Command::kBuild},
    {"winget", Command::kWinget},
};

std::uint64_t parseNumber(std::string_view text, std::string_view option, std::uint64_t min,
                          std::uint64_t max, std::string_view* rest = nullptr) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    const std::string_view after(end, static_cast<std::size_t>(text.data() + text.size() - end));
    if (error != std::errc() || value < min || value > max || (rest == nullptr && !after.empty())) {
        throw UsageError(std::string(option) + ": '" + std::string(text) +
                         "' is not a number from " + std::to_string(min) + " to " +
                         std::to_string(max));
    }
    if (rest != nullptr) {
        *rest = after;
    }
    return value;
}

// A byte count with an optional binary suffix, as xz writes them: 4096,
// 64KiB, 8MiB, 8M.
std::uint32_t parseSize(std::string_view text) {
    std::string_view suffix;
    const std::uint64_t value = parseNumber(text, "--dict", 0, UINT32_MAX, &suffix);
    unsigned shift = 0;
    if (suffix == "k" || suffix == "K" || suffix == "KiB") {
        shift = 10;
    } else if (suffix == "m" || suffix == "M" || suffix == "MiB") {
        shift = 20;
    } else if (suffix == "g" || suffix == "G" || suffix == "GiB") {
        shift = 30;
    } else if (!suffix.empty()) {
        throw UsageError("--dict: unknown size suffix '" + std::string(suffix) + "'");
    }
    if (value > (UINT32_MAX >> shift)) {
        throw UsageError("--dict: '" + std::string(text) + "' does not fit in 32 bits");
    }
    const auto size = static_cast<std::uint32_t>(value << shift);
    // list tells a .lzma file by its header as xz does, and that allows no
    // other dictionary sizes: the packer writes none either.
    if (!isStatedDictionarySize(size)) {
        throw UsageError("--dict: '" + std::string(text) +
                         "' is not 2^n or 2^n + 2^(n-1) bytes, the sizes a .lzma header "
                         "states (e.g. 64KiB, 96KiB, 8MiB, 12MiB)");
    }
    return size;
}

void addVersionInfo(CommandLine& line, std::string_view value) {
    const std::size_t equals = value.find('=');
    const std::string key(value.substr(0, equals));
    if (equals == std::string_view::npos || !isVersionKey(key)) {
        throw UsageError("--version-info: '" + std::string(value) +
                         "' is not KEY=VALUE with KEY one of ProductName, FileDescription, "
                         "CompanyName, FileVersion, ProductVersion, LegalCopyright, "
                         "OriginalFilename, InternalName, Comments");
    }
    const std::string text(value.substr(equals + 1));
    if ((key == "FileVersion" || key == "ProductVersion") && !isNumericVersion(text)) {
        throw UsageError("--version-info: " + key + " '" + text +
                         "' is not one to four numbers from 0 to 65535 separated by dots "
                         "(e.g. 2.3.4.5)");
    }
    line.versionInfo.emplace_back(key, text);
}

void applyOption(CommandLine& line, std::string_view name, std::string_view value) {
    if (name == "--help" || name == "-h") {
        line.help = true;
    } else if (name == "-o" || name == "--output") {
        line.output = value;
    } else if (name == "-q" || name == "--quiet") {
        line.quiet = true;
    } else if (name == "--launch") {
        line.hasLaunch = true;
        line.launchName = value;
    } else if (name == "--no-launch") {
        line.noLaunch = true;
    } else if (name == "--keep-order") {
        line.keepOrder = true;
    } else if (name == "--raw-name") {
        line.rawNames = true;
    } else if (name == "--preset") {
        std::string_view rest;
        line.lzma.preset = static_cast<std::uint32_t>(parseNumber(value, name, 0, 9, &rest));
        if (rest != "" && rest != "e") {
            throw UsageError("--preset: '" + std::string(value) + "' is not 0 to 9, or 0e to 9e");
        }
        line.lzma.extreme = rest == "e";
    } else if (name == "--nice") {
        line.lzma.niceLength =
            static_cast<std::uint32_t>(parseNumber(value, name, kMinNiceLength, kMaxNiceLength));
    } else if (name == "--dict") {
        line.lzma.dictionarySize = parseSize(value);
    } else if (name == "--lc") {
        line.lzma.properties.lc = static_cast<std::uint32_t>(parseNumber(value, name, 0, 4));
    } else if (name == "--lp") {
        line.lzma.properties.lp = static_cast<std::uint32_t>(parseNumber(value, name, 0, 4));
    } else if (name == "--pb") {
        line.lzma.properties.pb = static_cast<std::uint32_t>(parseNumber(value, name, 0, 4));
    } else if (name == "--eopm") {
        line.lzma.endMarker = true;
    } else if (name == "--unknown-size") {
        line.lzma.unknownSize = true;
    } else if (name == "--stub") {
        line.stubPath = value;
    } else if (name == "--payload") {
        line.payloadPath = value;
    } else if (name == "--strip-signature") {
        line.stripSignature = true;
    } else if (name == "--version-info") {
        addVersionInfo(line, value);
    } else if (name == "--codepage") {
        line.codePage = static_cast<unsigned>(parseNumber(value, name, 0, 65535));
        if (!isWindowsAnsiCodePage(line.codePage)) {
            throw UsageError("--codepage: '" + std::string(value) +
                             "' is not a Windows ANSI code page; use one of " +
                             kWindowsAnsiCodePages);
        }
    } else if (name == "--arch") {
        if (value != "32" && value != "64") {
            throw UsageError("--arch: '" + std::string(value) + "' is not 32 or 64");
        }
        line.arch = value == "32" ? 32 : 64;
    } else if (name == "--icon") {
        line.iconPath = value;
    } else if (name == "--url") {
        line.url = value;
    } else {
        applyProductOption(line.product, name, value);
    }
}

void checkOperands(const CommandLine& line) {
    const std::size_t count = line.operands.size();
    switch (line.command) {
    case Command::kCreate:
    case Command::kArchive:
        if (count == 0) {
            throw UsageError("no input files");
        }
        break;
    case Command::kCompress:
    case Command::kList:
    case Command::kWinget:
        if (count != 1) {
            throw UsageError("expected exactly one input file");
        }
        break;
    case Command::kExtract:
        if (count != 2) {
            throw UsageError("expected a payload and a directory");
        }
        break;
    case Command::kBuild:
        if (count == 0 && line.payloadPath.empty()) {
            throw UsageError("no input files (or --payload PAYLOAD.lzma)");
        }
        if (count != 0 && !line.payloadPath.empty()) {
            throw UsageError("--payload and input files exclude each other");
        }
        break;
    case Command::kNone:
        break;
    }
    if ((bit(line.command) & kWriting) != 0 && line.output.empty()) {
        throw UsageError("no output file (-o FILE)");
    }
    if (line.hasLaunch && line.noLaunch) {
        throw UsageError("--launch and --no-launch exclude each other");
    }
    if (line.arch != 0 && !line.stubPath.empty()) {
        throw UsageError("--arch and --stub exclude each other (--stub names the stub itself)");
    }
    if (line.codePage != 0 && line.rawNames) {
        throw UsageError("--codepage and --raw-name exclude each other (raw names are stored "
                         "byte for byte)");
    }
    if (line.codePage != 0 && !line.payloadPath.empty()) {
        throw UsageError("--codepage and --payload exclude each other (the payload's names "
                         "are stored already)");
    }
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    std::size_t i = 0;
    if (i < args.size()) {
        for (const CommandName& c : kCommands) {
            if (args[i] == c.name) {
                line.command = c.command;
                ++i;
                break;
            }
        }
    }
    bool optionsEnded = false;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            line.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string_view name = std::string_view(arg).substr(0, equals);
        const OptionEntry* option = nullptr;
        for (const OptionEntry& candidate : kOptions) {
            if (candidate.name == name && (candidate.commands & bit(line.command)) != 0) {
                option = &candidate;
            }
        }
        if (option == nullptr) {
            throw UsageError("unknown option '" + std::string(name) + "'");
        }
        std::string value;
        if (equals != std::string::npos) {
            if (!option->takesValue) {
                throw UsageError(std::string(name) + " takes no value");
            }
            value = arg.substr(equals + 1);
        } else if (option->takesValue) {
            if (i + 1 == args.size()) {
                throw UsageError(std::string(name) + " needs a value");
            }
            value = args[++i];
        }
        applyOption(line, name, value);
    }
    if (line.help) {
        return line;
    }
    if (line.command == Command::kNone) {
        throw UsageError(line.operands.empty() ? "no command given"
                                               : "unknown command '" + line.operands.front() + "'");
    }
    checkOperands(line);
    checkProductOptions(line.product, !line.payloadPath.empty());
    checkSettings(line.lzma);
    return line;
}

} // namespace vempack
