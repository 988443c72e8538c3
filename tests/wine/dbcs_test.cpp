// The Windows stub under Wine in a Japanese locale, whose ANSI code page is
// 932: double-byte characters whose trail bytes are 0x5C ('\') and 0x7C
// ('|') in the target directory and in an entry name.
#include <locale.h>

#include "common/exit_code.h"
#include "stub_fixture.h"

namespace wine_test {
namespace {

namespace fs = std::filesystem;

// Code page 932 bytes, and the UTF-8 that Wine gives the names on the host:
// "software" and "poster" in katakana (83 5C ..., 83 7C ...), "table" (95 5C).
const std::string kSoftware = "\x83\x5C\x83\x74\x83\x67";
const std::string kSoftwareUtf8 = "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";
const std::string kTable = "\x95\x5C";
const std::string kTableUtf8 = "\xE8\xA1\xA8";
const std::string kPoster = "\x83\x7C\x83\x58\x83\x5E\x81\x5B.txt";
const std::string kPosterUtf8 = "\xE3\x83\x9D\xE3\x82\xB9\xE3\x82\xBF\xE3\x83\xBC.txt";
constexpr char kLocale[] = "ja_JP.UTF-8";

class CodePage932 : public WineStubTest {};

TEST_F(CodePage932, TargetAndEntryNameWithTrailBytes5CAnd7CInstall) {
    locale_t japanese = newlocale(LC_ALL_MASK, kLocale, nullptr);
    if (japanese == nullptr) {
        GTEST_SKIP() << "the locale " << kLocale << " is missing (scripts/install-deps.sh win32)";
    }
    freelocale(japanese);
    prefix->addEnvironment(std::string("LC_ALL=") + kLocale);

    writeBytes(scratch / "setup.bin", "setup");
    writeBytes(scratch / "poster.bin", "poster");
    const fs::path payload = scratch / "dbcs.lzma";
    // The packer checks names byte by byte and would refuse the 0x7C.
    ASSERT_EQ(vempack({"create", "-o", payload.string(), "--raw-name",
                       "Setup.exe=" + (scratch / "setup.bin").string(),
                       kPoster + "=" + (scratch / "poster.bin").string()}),
              0);
    const std::string stub = stubWithPayload(payload, "dbcs.exe");
    const std::string target = "C:\\" + kSoftware + "\\" + kTable;

    EXPECT_EQ(run(stubCommandLine("\"" + target + "\"", stub.c_str())), kExitSuccess);

    const fs::path installed = prefix->driveC() / kSoftwareUtf8 / kTableUtf8;
    EXPECT_EQ(directoryNames(prefix->driveC() / kSoftwareUtf8),
              std::vector<std::string>{kTableUtf8});
    EXPECT_EQ(directoryNames(installed), std::vector<std::string>{kPosterUtf8});
    EXPECT_EQ(readBytes(installed / kPosterUtf8), "poster");
    const std::string targetUtf8 = "C:\\" + kSoftwareUtf8 + "\\" + kTableUtf8 + "\\";
    const RegistryFile machine = machineRegistry();
    EXPECT_EQ(textOf(machine, "Software\\Vemlo Software\\Vemlo Reader", "InstallPath"), targetUtf8);
    EXPECT_EQ(textOf(machine,
                     "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vemlo Reader",
                     "DisplayIcon"),
              targetUtf8 + "Vemlo Reader.exe");
}

} // namespace
} // namespace wine_test
