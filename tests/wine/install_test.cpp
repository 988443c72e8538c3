// Install mode of the built stub under Wine: the entries but the setup
// program in the target directory, the registry values, the shortcuts, and
// the backup of the ".pdf" file type's previous owner.
#include "common/exit_code.h"
#include "stub_fixture.h"

namespace wine_test {
namespace {

namespace fs = std::filesystem;

// HKEY_LOCAL_MACHINE keys, below the root.
constexpr char kIconKey[] = "SOFTWARE\\Classes\\VemloReader.Document\\DefaultIcon";
constexpr char kPdfKey[] = "Software\\Classes\\.pdf";
constexpr char kPdfContentTypeKey[] =
    "SOFTWARE\\Classes\\MIME\\Database\\Content Type\\application/pdf";
constexpr char kApplicationKey[] = "Software\\Vemlo Software\\Vemlo Reader";
constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vemlo Reader";
constexpr char kWow64ApplicationKey[] = "Software\\WOW6432Node\\Vemlo Software\\Vemlo Reader";

// The same keys as reg.exe names them.
constexpr char kPdfKeyForReg[] = "HKLM\\Software\\Classes\\.pdf";
constexpr char kPdfContentTypeKeyForReg[] =
    "HKLM\\Software\\Classes\\MIME\\Database\\Content Type\\application/pdf";
constexpr char kApplicationKeyForReg[] = "HKLM\\Software\\Vemlo Software\\Vemlo Reader";

class Install : public DemoStubTest {
  protected:
    // The demo entries that install mode writes: all but the designated
    // setup program.
    std::map<std::string, std::string> installedEntries() {
        std::map<std::string, std::string> entries = demoEntries();
        EXPECT_EQ(entries.erase("Setup.exe"), 1u);
        return entries;
    }

    // The start-menu folder that "/s" makes.
    fs::path startMenuFolder() const { return programs / "Vemlo Reader"; }
};

TEST_F(Install, QuotedTargetWithSwitchesUnpacksRegistersAndLinks) {
    // A fresh prefix has Wine's own ".pdf" owner (or none), and it is what
    // the backup must hold.
    const WineRegistry initial = machineRegistry();
    const std::optional<std::string> previousOwner = initial.text(kPdfKey, "");
    const std::optional<std::string> previousClsid = initial.text(kPdfContentTypeKey, "CLSID");
    const std::vector<std::string> tempBefore = directoryNames(temp);

    EXPECT_EQ(run(stubCommandLine("\"C:\\Apps\\Vemlo\" /d /s")), kExitSuccess);

    const fs::path target = prefix->unixPath("C:\\Apps\\Vemlo");
    EXPECT_TRUE(sameFiles(fileContents(target), installedEntries()));
    EXPECT_FALSE(fs::exists(target / "Setup.exe"));
    // Both temporary files are gone and no work directory was made.
    EXPECT_EQ(directoryNames(temp), tempBefore);

    const WineRegistry machine = machineRegistry();
    EXPECT_EQ(textOf(machine, kIconKey, ""), "Vemlo Reader.exe,1");
    EXPECT_EQ(textOf(machine, kApplicationKey, "strdocument"), previousOwner.value_or(""));
    EXPECT_EQ(textOf(machine, kApplicationKey, "strCLSID"), previousClsid.value_or(""));
    EXPECT_EQ(textOf(machine, kUninstallKey, "UninstallString"), "C:\\Apps\\Vemlo\\Uninstall.exe");
    EXPECT_EQ(textOf(machine, kUninstallKey, "DisplayName"), "Vemlo Reader");
    EXPECT_EQ(textOf(machine, kUninstallKey, "DisplayIcon"), "C:\\Apps\\Vemlo\\Vemlo Reader.exe");
    EXPECT_EQ(textOf(machine, kUninstallKey, "UninstallPath"), "C:\\Apps\\Vemlo\\Uninstall.exe");
    EXPECT_EQ(textOf(machine, kApplicationKey, "InstallPath"), "C:\\Apps\\Vemlo\\");
    // The association itself is left alone.
    EXPECT_EQ(machine.text(kPdfKey, ""), previousOwner);
    // The stub's own view of the registry: a 32-bit prefix has no other,
    // and the 64-bit stub writes the native view of a 64-bit one, not the
    // 32-bit programs' view beneath WOW6432Node.
    EXPECT_FALSE(machine.hasKey(kWow64ApplicationKey));

    // Everything could be written machine-wide, so nothing went to the
    // user's root.
    const WineRegistry user = userRegistry();
    EXPECT_FALSE(user.hasKey(kApplicationKey));
    EXPECT_FALSE(user.hasKey(kUninstallKey));

    const ShortcutInfo onDesktop = readShortcut(desktop / "Vemlo Reader.lnk");
    const ShortcutInfo reader = readShortcut(startMenuFolder() / "Vemlo Reader.lnk");
    const ShortcutInfo uninstall = readShortcut(startMenuFolder() / "Uninstall.lnk");
    EXPECT_EQ(directoryNames(startMenuFolder()),
              (std::vector<std::string>{"Uninstall.lnk", "Vemlo Reader.lnk"}));
    if (onDesktop.inspected) {
        EXPECT_EQ(onDesktop.localPath, "C:\\Apps\\Vemlo\\Vemlo Reader.exe");
        EXPECT_EQ(onDesktop.description, "Vemlo Reader");
        EXPECT_EQ(reader.localPath, "C:\\Apps\\Vemlo\\Vemlo Reader.exe");
        EXPECT_EQ(reader.description, "Vemlo Reader");
        EXPECT_EQ(uninstall.localPath, "C:\\Apps\\Vemlo\\Uninstall.exe");
        EXPECT_EQ(uninstall.description, "Vemlo Reader");
    }
}

TEST_F(Install, TargetWithBlanksAndBackslashWithoutSwitchesMakesNoShortcut) {
    const std::vector<std::string> desktopBefore = directoryNames(desktop);
    const std::vector<std::string> programsBefore = directoryNames(programs);

    EXPECT_EQ(run(stubCommandLine("\"C:\\Program Files\\Vemlo Reader\\\"")), kExitSuccess);

    EXPECT_TRUE(sameFiles(fileContents(prefix->unixPath("C:\\Program Files\\Vemlo Reader")),
                          installedEntries()));
    const WineRegistry machine = machineRegistry();
    // The trailing backslash is kept, not doubled.
    EXPECT_EQ(textOf(machine, kApplicationKey, "InstallPath"), "C:\\Program Files\\Vemlo Reader\\");
    EXPECT_EQ(textOf(machine, kUninstallKey, "DisplayIcon"),
              "C:\\Program Files\\Vemlo Reader\\Vemlo Reader.exe");
    // The system runs UninstallString as a command line: quoted for the blanks.
    EXPECT_EQ(textOf(machine, kUninstallKey, "UninstallString"),
              "\"C:\\Program Files\\Vemlo Reader\\Uninstall.exe\"");
    EXPECT_EQ(textOf(machine, kUninstallKey, "UninstallPath"),
              "C:\\Program Files\\Vemlo Reader\\Uninstall.exe");
    EXPECT_EQ(directoryNames(desktop), desktopBefore);
    EXPECT_EQ(directoryNames(programs), programsBefore);
}

class AssociationBackup : public Install {};

TEST_F(AssociationBackup, PreviousOwnerIsBackedUpAndKeptOnceTheProgramOwnsPdf) {
    const std::string otherClsid = "{6B1E7C4A-1D2F-4E3A-9B8C-0A1B2C3D4E5F}";
    ASSERT_EQ(wine({"reg", "add", kPdfKeyForReg, "/ve", "/d", "Other.Document", "/f"}), 0);
    ASSERT_EQ(wine({"reg", "add", kPdfContentTypeKeyForReg, "/v", "CLSID", "/d", otherClsid, "/f"}),
              0);

    EXPECT_EQ(run(stubCommandLine("\"C:\\Apps\\Vemlo\"")), kExitSuccess);
    WineRegistry machine = machineRegistry();
    EXPECT_EQ(textOf(machine, kApplicationKey, "strdocument"), "Other.Document");
    EXPECT_EQ(textOf(machine, kApplicationKey, "strCLSID"), otherClsid);

    // Once ".pdf" names the program's own type, a second install must not
    // overwrite the backup with that type.
    ASSERT_EQ(wine({"reg", "add", kPdfKeyForReg, "/ve", "/d", "VemloReader.Document", "/f"}), 0);
    ASSERT_EQ(wine({"reg", "add", kApplicationKeyForReg, "/v", "strdocument", "/d",
                    "Backup.From.First.Install", "/f"}),
              0);

    EXPECT_EQ(run(stubCommandLine("\"C:\\Apps\\Vemlo\"")), kExitSuccess);
    machine = machineRegistry();
    EXPECT_EQ(textOf(machine, kApplicationKey, "strdocument"), "Backup.From.First.Install");
    EXPECT_EQ(textOf(machine, kApplicationKey, "strCLSID"), otherClsid);
    EXPECT_EQ(textOf(machine, kPdfKey, ""), "VemloReader.Document");
    EXPECT_EQ(textOf(machine, kApplicationKey, "InstallPath"), "C:\\Apps\\Vemlo\\");
}

TEST_F(AssociationBackup, OwnerThatDiffersOnlyInCaseIsBackedUp) {
    ASSERT_FALSE(machineRegistry().value(kPdfContentTypeKey, "CLSID").has_value());
    ASSERT_EQ(wine({"reg", "add", kPdfKeyForReg, "/ve", "/d", "vemloreader.document", "/f"}), 0);

    EXPECT_EQ(run(stubCommandLine("\"C:\\Apps\\Vemlo\"")), kExitSuccess);

    const WineRegistry machine = machineRegistry();
    EXPECT_EQ(textOf(machine, kApplicationKey, "strdocument"), "vemloreader.document");
    // No CLSID under the content type: the backup is the empty text.
    EXPECT_EQ(textOf(machine, kApplicationKey, "strCLSID"), "");
}

} // namespace
} // namespace wine_test
