// Help texts of the packer.
#include "options.h"

namespace vempack {
namespace {

constexpr char kGeneralHelp[] =
    R"(Usage: vempack COMMAND [OPTION]... ARGUMENT...
Packs files into the compressed payload of the setup stub and inspects it.

Commands:
  create    pack files into a package archive and compress it (.lzma)
  archive   pack files into an uncompressed package archive
  compress  compress any file into the .lzma layout
  list      show the entries of a payload
  extract   unpack a payload into a directory
  build     write a setup executable: the stub with the files as its payload

Run 'vempack COMMAND --help' for the options of a command.
Exit status: 0 success, 1 an I/O error or a corrupt payload, 2 a bad command
line or a refused input (entry name, size).
)";

constexpr char kPackingOptions[] =
    R"(  -o, --output FILE  write to FILE (replaced only when the command succeeds)
  --launch NAME      designate the entry stored as NAME (default: the first)
  --no-launch        designate no entry
  --raw-name         store names without checking them (to build hostile
                     payloads for tests)

Each FILE is stored under its base name; NAME=PATH stores PATH under NAME.
Names must be plain Windows file names: 1 to 259 bytes, none of <>:"/\|?* or
control characters, not "." or "..", no trailing dot or space, no device name
(CON, PRN, AUX, NUL, COM1-9, LPT1-9), unique ignoring case.
)";

constexpr char kCompressionOptions[] =
    R"(  --preset N[e]      liblzma preset 0 to 9, 'e' for extreme (default 9)
  --dict SIZE        dictionary size, e.g. 65536, 64KiB, 8MiB (default 8MiB)
  --lc N --lp N --pb N
                     literal context, literal position and position bits
                     (default 3, 0, 2; lc + lp at most 4)
  --eopm             end the data with an end marker (default: none; the
                     size in the header ends the data)
  --unknown-size     write all 0xFF as the size (needs --eopm)
)";

} // namespace

std::string helpText(Command command) {
    switch (command) {
    case Command::kCreate:
        return std::string("Usage: vempack create -o PAYLOAD.lzma [OPTION]... FILE...\n"
                           "Packs the files into a package archive and compresses it.\n\n") +
               kPackingOptions + "\n" + kCompressionOptions;
    case Command::kArchive:
        return std::string("Usage: vempack archive -o ARCHIVE.hen [OPTION]... FILE...\n"
                           "Packs the files into an uncompressed package archive.\n\n") +
               kPackingOptions;
    case Command::kCompress:
        return std::string("Usage: vempack compress -o OUT.lzma [OPTION]... FILE\n"
                           "Compresses any file into the .lzma layout.\n\n") +
               "  -o, --output FILE  write to FILE\n" + kCompressionOptions;
    case Command::kBuild:
        return std::string(
                   "Usage: vempack build -o SETUP.exe [--stub STUB.exe] [OPTION]... FILE...\n"
                   "   or: vempack build -o SETUP.exe [--stub STUB.exe] --payload PAYLOAD\n"
                   "Writes the stub with the files (packed and compressed as create does), or\n"
                   "a ready payload (a .lzma file or another setup), as its resource\n"
                   "\"PACKAGE\" 105. Nothing else in the stub changes; its other resources\n"
                   "stay. The output does not depend on file times or the machine.\n\n"
                   "  --stub FILE        the stub (default: share/vemsetup/vemsetup.exe beside\n"
                   "                     the packer's bin/, else the win32 build tree's)\n"
                   "  --payload FILE     embed this payload instead of packing files\n"
                   "  --strip-signature  accept a signed stub and drop its signature (sign\n"
                   "                     the setup afterwards, e.g. with osslsigncode)\n"
                   "  --version-info KEY=VALUE\n"
                   "                     a version resource text (repeatable); KEY is\n"
                   "                     ProductName, FileDescription, CompanyName, FileVersion,\n"
                   "                     ProductVersion, LegalCopyright, OriginalFilename,\n"
                   "                     InternalName or Comments. Replaces the stub's version\n"
                   "                     resource\n"
                   "  --icon FILE.ico    the setup's icon (replaces the stub's icons)\n") +
               kPackingOptions + "\n" + kCompressionOptions;
    case Command::kList:
        return "Usage: vempack list PAYLOAD.lzma|SETUP.exe\n"
               "Decodes the payload, checks its archive and shows each entry's index,\n"
               "size and name; '*' marks the designated entry.\n";
    case Command::kExtract:
        return "Usage: vempack extract PAYLOAD.lzma|SETUP.exe DIRECTORY\n"
               "Unpacks every entry into DIRECTORY (created when missing). Every name\n"
               "is checked first: if any could leave DIRECTORY or is not a plain file\n"
               "name, nothing is written.\n";
    case Command::kNone:
        break;
    }
    return kGeneralHelp;
}

} // namespace vempack
