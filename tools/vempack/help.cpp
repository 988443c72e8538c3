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
  winget    print the installer part of a winget manifest for a built setup

Run 'vempack COMMAND --help' for the options of a command.
'@FILE' reads options and inputs from FILE, one a line, an option with its
value ('-o setup.exe'); '#' starts a comment line. Relative paths in it are
taken from FILE's folder.
Exit status: 0 success, 1 an I/O error, a corrupt payload or a file that is
none, 2 a bad command line or a refused input (entry name, size, version).
)";

constexpr char kProductOptions[] =
    "A described setup registers your product instead of the built-in names\n"
    "and accepts /install, /dir=PATH, /allusers and /currentuser; it installs\n"
    "every entry (no designation unless --launch) and exits 0 on success:\n"
    "  --product NAME     display name, start-menu folder and link names\n"
    "  --product-id ID    the uninstall entry's key (default NAME): letters,\n"
    "                     digits, '.', '-', '_' and blanks\n"
    "  --publisher NAME   Publisher, and the key Software\\NAME\\PRODUCT\n"
    "  --product-version V  DisplayVersion, 1 to 4 numbers (default the\n"
    "                     FileVersion of --version-info)\n"
    "  --program ENTRY    the installed program: icon and shortcuts' target\n"
    "  --document-type .EXT=PROGID  the type's icon is the program's\n"
    "  --success-code 0|1 the exit code of success (default 0)\n"
    "  --no-uninstaller   add no Uninstall.exe (the files bring their own)\n";

constexpr char kPackingOptions[] =
    R"(  -o, --output FILE  write to FILE (replaced only when the command succeeds);
                     its folder is checked before any work, and an existing
                     FILE inside an input folder is left out of the inputs
  -q, --quiet        print errors only (on a terminal the packer shows its
                     progress, and always one summary line at the end)
  @FILE              options and inputs from FILE, one a line, '#' comments,
                     relative paths from FILE's folder
  --launch NAME      designate the entry stored as NAME, '/' or '\' between
                     levels (default: the first file)
  --no-launch        designate no entry
  --codepage N       store names in the Windows ANSI code page N, that of the
                     machines that will run the setup: 1252 (Western
                     European), 1250, 1251, 1253 to 1258, 874, 932 (Japanese),
                     936, 949 or 950. Needed for any name that is not ASCII
  --raw-name         store names byte for byte, unchecked (to build hostile
                     payloads for tests)

Inputs, stored in command-line order (but see --keep-order):
  FILE               under its base name
  NAME=FILE          under NAME ('/' or '\' between levels: docs/a.txt)
  DIR                every file below DIR under DIR's own name as first
                     level (DIR\sub\a.txt), as tar and zip do
  DIR/               the files below DIR without DIR's name (sub\a.txt), as
                     rsync does
  NAME=DIR           the files below DIR under NAME (NAME\sub\a.txt)
A directory's files come sorted by path. An empty directory and a symbolic
link to a directory are skipped with a notice (the archive holds files only,
no directory entries); a link to a file stores that file.

Names are taken as UTF-8 and stored in the code page, levels separated by
'\'. Every level must be a Windows file name: not empty, none of <>:"/|?*
or control characters, not only dots and blanks, no trailing dot or space,
no device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also with an
extension); at most 259 bytes in all; unique ignoring case, and no name may
be both a file and a folder ("a" and "a\b").
)";

constexpr char kCompressionOptions[] =
    R"(  --preset N[e]      liblzma preset 0 to 9, 'e' for extreme (default 9, with
                     nice length 160)
  --nice N           match length the encoder takes without looking further,
                     2 to 273 (default 160 with preset 9, else the preset's)
  --dict SIZE        dictionary size, 2^n or 2^n + 2^(n-1) bytes from 4KiB to
                     1536MiB, e.g. 65536, 96KiB, 8MiB (default: the smallest
                     such size that holds the whole archive, at most 64MiB)
  --lc N --lp N --pb N
                     literal context, literal position and position bits
                     (default 3, 0, 2; lc + lp at most 4)
  --eopm             end the data with an end marker (default: none; the
                     size in the header ends the data)
  --unknown-size     write all 0xFF as the size (needs --eopm)
  --keep-order       pack the entries in the order given. By default an
                     archive larger than the dictionary is packed with files
                     that share content side by side, the first file first
                     (the setup writes the same files; it packs smaller)
)";

} // namespace

std::string helpText(Command command) {
    switch (command) {
    case Command::kCreate:
        return std::string("Usage: vempack create -o PAYLOAD.lzma [OPTION]... FILE|DIR...\n"
                           "Packs the files into a package archive and compresses it.\n\n") +
               kPackingOptions + "\n" + kCompressionOptions;
    case Command::kArchive:
        return std::string("Usage: vempack archive -o ARCHIVE.hen [OPTION]... FILE|DIR...\n"
                           "Packs the files into an uncompressed package archive.\n\n") +
               kPackingOptions;
    case Command::kCompress:
        return std::string("Usage: vempack compress -o OUT.lzma [OPTION]... FILE\n"
                           "Compresses any file into the .lzma layout.\n\n") +
               "  -o, --output FILE  write to FILE\n" + kCompressionOptions;
    case Command::kBuild:
        return std::string(
                   "Usage: vempack build -o SETUP.exe [--stub STUB.exe] [OPTION]... FILE|DIR...\n"
                   "   or: vempack build -o SETUP.exe [--stub STUB.exe] --payload PAYLOAD\n"
                   "Writes the stub with the files (packed and compressed as create does), or\n"
                   "a ready payload (a .lzma file or another setup), as its resource\n"
                   "\"PACKAGE\" 105. Nothing else in the stub changes; its other resources\n"
                   "stay. The output does not depend on file times or the machine.\n\n"
                   "  --stub FILE        the stub (default: ../share/vemsetup/vemsetup.exe from\n"
                   "                     the packer's own directory, as a release lays it\n"
                   "                     out, else ../../win32/vemsetup.exe, as a build tree\n"
                   "                     does: build/native/tools -> build/win32)\n"
                   "  --arch 32|64       without --stub: the 32-bit stub (default) or the\n"
                   "                     64-bit one (vemsetup64.exe, build/win64/)\n"
                   "  --payload FILE     embed this payload instead of packing files\n"
                   "  --strip-signature  accept a signed stub and drop its signature (sign\n"
                   "                     the setup afterwards, e.g. with osslsigncode)\n"
                   "  --version-info KEY=VALUE\n"
                   "                     a version resource text (repeatable); KEY is\n"
                   "                     ProductName, FileDescription, CompanyName, FileVersion,\n"
                   "                     ProductVersion, LegalCopyright, OriginalFilename,\n"
                   "                     InternalName or Comments. Replaces the stub's version\n"
                   "                     resource. FileVersion and ProductVersion are one to\n"
                   "                     four numbers from 0 to 65535: 2.3.4.5\n"
                   "  --icon FILE.ico    the setup's icon (replaces the stub's icons)\n") +
               kProductOptions + kPackingOptions + "\n" + kCompressionOptions;
    case Command::kList:
        return "Usage: vempack list [--codepage N] PAYLOAD.lzma|SETUP.exe\n"
               "Decodes the payload, checks its archive and shows each entry's index,\n"
               "size and name; '*' marks the designated entry. Levels are separated by\n"
               "'\\'. Bytes outside ASCII are shown as \\xNN, or with --codepage N as\n"
               "the characters of the code page the names were stored in.\n";
    case Command::kExtract:
        return "Usage: vempack extract [--codepage N] PAYLOAD.lzma|SETUP.exe DIRECTORY\n"
               "Unpacks every entry into DIRECTORY (created when missing), making the\n"
               "folders of its levels. Every name is checked first: if any could leave\n"
               "DIRECTORY, is not a Windows file name or clashes with another, nothing\n"
               "is written. No level is written through a symbolic link. A name that\n"
               "is not ASCII needs --codepage N, the code page it was stored in; it is\n"
               "written as UTF-8.\n";
    case Command::kWinget:
        return "Usage: vempack winget [--url URL] [--codepage N] SETUP.exe\n"
               "Prints the installer part of a winget manifest for a setup built with\n"
               "--product: InstallerSha256, the switches (/install, /dir=\"<INSTALLPATH>\"),\n"
               "ProductCode (the product id), AppsAndFeaturesEntries and one installer per\n"
               "scope (/allusers, /currentuser). --url fills in InstallerUrl.\n";
    case Command::kNone:
        break;
    }
    return kGeneralHelp;
}

} // namespace vempack
