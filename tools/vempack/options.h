// The packer's command line.
#pragma once

#include "lzma_codec.h"
#include "product.h"

#include <string>
#include <utility>
#include <vector>

namespace vempack {

enum class Command { kNone, kCreate, kArchive, kCompress, kList, kExtract, kBuild, kWinget };

struct CommandLine {
    Command command = Command::kNone;
    bool help = false;
    std::string output;
    // -q: errors only, no notices, warnings, progress or summary.
    bool quiet = false;
    // Input files as FILE or NAME=PATH (create, archive), or the input and
    // directory.
    std::vector<std::string> operands;
    bool hasLaunch = false;
    std::string launchName;
    bool noLaunch = false;
    bool rawNames = false;
    // Entries packed in the given order even where reordering them would
    // pack smaller (entry_order.h).
    bool keepOrder = false;
    // The Windows ANSI code page names are stored in (create, archive, build)
    // or read in (list, extract); 0 when none is given: ASCII names only.
    unsigned codePage = 0;
    LzmaSettings lzma;
    // build: the stub, a ready payload instead of files, and what to do
    // with a signed stub.
    std::string stubPath;
    // Which stub build looks for without --stub: 32 or 64 (0: not given,
    // the 32-bit one).
    unsigned arch = 0;
    std::string payloadPath;
    bool stripSignature = false;
    // build: version resource texts (KEY, VALUE) and an .ico file.
    std::vector<std::pair<std::string, std::string>> versionInfo;
    std::string iconPath;
    // build: the product a described setup registers (product.h).
    ProductOptions product;
    // winget: where the setup will be downloaded from.
    std::string url;
};

// Parses the arguments after the program name; throws UsageError.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The help text of `command`, or of the whole tool for Command::kNone.
std::string helpText(Command command);

} // namespace vempack
