// The Windows stub under Wine in a Japanese locale, whose ANSI code page is
// 932: double-byte characters whose trail bytes are 0x5C ('\') and 0x7C
// ('|') in the target directory, and in the names of a folder and of files
// that vempack stored in code page 932 from UTF-8.
#include "common/exit_code.h"
#include "stub_fixture.h"

namespace wine_test {
namespace {

namespace fs = std::filesystem;

// Code page 932 bytes of the target, and the UTF-8 that Wine gives the names
// on the host: "software" and "table" (83 5C ..., 95 5C).
const std::string kSoftware = "\x83\x5C\x83\x74\x83\x67";
const std::string kSoftwareUtf8 = "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";
const std::string kTable = "\x95\x5C";
const std::string kTableUtf8 = "\xE8\xA1\xA8";
// Entries: "poster" (83 7C ...), and "source" (83 5C ...) in the folder
// "spreadsheet" (95 5C ...).
const std::string kPosterUtf8 = "\xE3\x83\x9D\xE3\x82\xB9\xE3\x82\xBF\xE3\x83\xBC.txt";
const std::string kSpreadsheetSourceUtf8 =
    "\xE8\xA1\xA8\xE8\xA8\x88\xE7\xAE\x97/\xE3\x82\xBD\xE3\x83\xBC\xE3\x82\xB9.txt";
constexpr char kLocale[] = "ja_JP.UTF-8";

class CodePage932 : public WineStubTest {};

TEST_F(CodePage932, TargetFolderAndEntryNamesWithTrailBytes5CAnd7CInstall) {
    if (!useLocale(kLocale)) {
        GTEST_SKIP() << "the locale " << kLocale << " is missing (scripts/install-deps.sh win32)";
    }

    const std::map<std::string, std::string> entries = {{kPosterUtf8, "poster"},
                                                        {kSpreadsheetSourceUtf8, "source"}};
    ASSERT_TRUE(writeTree(scratch / "ja", entries));
    writeBytes(scratch / "setup.bin", "setup");
    const fs::path setup = scratch / "dbcs.exe";
    ASSERT_EQ(vempack({"build", "-o", setup.string(), "--stub", VEMSETUP_WIN32_STUB.string(),
                       "--codepage", "932", "Setup.exe=" + (scratch / "setup.bin").string(),
                       (scratch / "ja").string() + "/"}),
              0);
    const std::string stub = copyIntoTests(setup, "dbcs.exe");
    const std::string target = "C:\\" + kSoftware + "\\" + kTable;

    EXPECT_EQ(run(stubCommandLine("\"" + target + "\"", stub.c_str())), kExitSuccess);

    EXPECT_EQ(directoryNames(prefix->driveC() / kSoftwareUtf8),
              std::vector<std::string>{kTableUtf8});
    EXPECT_TRUE(sameFiles(fileTree(prefix->driveC() / kSoftwareUtf8 / kTableUtf8), entries));
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
