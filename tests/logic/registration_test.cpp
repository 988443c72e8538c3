#include <algorithm>

#include "registry_fixture.h"
#include "system/product.h"
#include "system/registration.h"

namespace {

class RegistrationTest : public RegistryFixture {};

const char* const kUninstall =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vemlo Reader";
const char* const kApplication = "Software\\Vemlo Software\\Vemlo Reader";
const char* const kIcon = "SOFTWARE\\Classes\\VemloReader.Document\\DefaultIcon";

TEST_F(RegistrationTest, WritesTheWholeTable) {
    EXPECT_EQ(registerAt("D:\\Apps"), kExitSuccess);
    EXPECT_EQ(machine(kIcon, ""), "Vemlo Reader.exe,1");
    EXPECT_EQ(machine(kUninstall, "UninstallString"), "D:\\Apps\\Uninstall.exe");
    EXPECT_EQ(machine(kUninstall, "DisplayName"), "Vemlo Reader");
    EXPECT_EQ(machine(kUninstall, "DisplayIcon"), "D:\\Apps\\Vemlo Reader.exe");
    EXPECT_EQ(machine(kUninstall, "UninstallPath"), "D:\\Apps\\Uninstall.exe");
    EXPECT_EQ(machine(kApplication, "InstallPath"), "D:\\Apps\\");
    EXPECT_EQ(user(kUninstall, "DisplayName"), "<missing>") << "nothing falls back";
}

TEST_F(RegistrationTest, TargetWithBackslashIsUsedUnchanged) {
    EXPECT_EQ(registerAt("D:\\Apps\\"), kExitSuccess);
    EXPECT_EQ(machine(kApplication, "InstallPath"), "D:\\Apps\\");
    EXPECT_EQ(machine(kUninstall, "DisplayIcon"), "D:\\Apps\\Vemlo Reader.exe");
}

TEST_F(RegistrationTest, BacksUpAnotherOwnerOfPdf) {
    writeRegistryValue({platform::kHkeyLocalMachine, "Software\\Classes\\.pdf", ""}, "Other.Pdf");
    writeRegistryValue({platform::kHkeyLocalMachine,
                        "SOFTWARE\\Classes\\MIME\\Database\\Content Type\\application/pdf",
                        "CLSID"},
                       "{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(registerAt("D:\\Apps"), kExitSuccess);
    EXPECT_EQ(machine(kApplication, "strdocument"), "Other.Pdf");
    EXPECT_EQ(machine(kApplication, "strCLSID"), "{11111111-2222-3333-4444-555555555555}");
}

TEST_F(RegistrationTest, OwnerDifferingOnlyInCaseIsBackedUp) {
    writeRegistryValue({platform::kHkeyLocalMachine, "Software\\Classes\\.pdf", ""},
                       "vemloreader.document");
    EXPECT_EQ(registerAt("D:\\Apps"), kExitSuccess);
    EXPECT_EQ(machine(kApplication, "strdocument"), "vemloreader.document");
    EXPECT_EQ(machine(kApplication, "strCLSID"), "");
}

TEST_F(RegistrationTest, ExistingBackupSurvivesWhenTheProgramOwnsPdf) {
    writeRegistryValue({platform::kHkeyLocalMachine, "Software\\Classes\\.pdf", ""},
                       "VemloReader.Document");
    writeRegistryValue({platform::kHkeyLocalMachine, kApplication, "strdocument"}, "Earlier.Pdf");
    EXPECT_EQ(registerAt("D:\\Apps"), kExitSuccess);
    EXPECT_EQ(machine(kApplication, "strdocument"), "Earlier.Pdf");
    EXPECT_EQ(machine(kApplication, "strCLSID"), "<missing>");
}

TEST_F(RegistrationTest, NoAssociationBacksUpEmptyTexts) {
    EXPECT_EQ(registerAt("D:\\Apps"), kExitSuccess);
    uint32_t type = 0;
    uint32_t size = 0;
    platform::RegistryKey key = nullptr;
    ASSERT_EQ(platform::regCreateKey(platform::rootKey(platform::kHkeyLocalMachine), kApplication,
                                     platform::kKeyQueryValue, &key),
              0);
    EXPECT_EQ(platform::regQueryValue(key, "strdocument", &type, nullptr, &size), 0);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(platform::regQueryValue(key, "strCLSID", &type, nullptr, &size), 0);
    EXPECT_EQ(size, 1u);
    platform::regCloseKey(key);
}

TEST_F(RegistrationTest, UserWithoutMachineRightsGetsEverythingRequiredUnderTheUserRoot) {
    fake::denyRegistryWrites(true, false);
    EXPECT_EQ(registerAt("D:\\Apps"), kExitSuccess);
    EXPECT_EQ(machine(kIcon, ""), "<missing>");
    EXPECT_EQ(user(kIcon, ""), "<missing>") << "the icon has no fallback";
    EXPECT_EQ(user(kApplication, "strdocument"), "");
    EXPECT_EQ(user(kUninstall, "UninstallString"), "D:\\Apps\\Uninstall.exe");
    EXPECT_EQ(user(kApplication, "InstallPath"), "D:\\Apps\\");
    EXPECT_EQ(machine(kUninstall, "DisplayName"), "<missing>");
}

TEST_F(RegistrationTest, UninstallEntryUnderNoRootIsExitTenBeforeThePause) {
    fake::denyRegistryWrites(true, true);
    EXPECT_EQ(registerAt("D:\\Apps"), kExitRegistryWrite);
    EXPECT_EQ(user(kUninstall, "UninstallString"), "<missing>");
    EXPECT_EQ(user(kApplication, "InstallPath"), "<missing>");
    EXPECT_TRUE(fake::callsWithDetail("sleepMilliseconds").empty()) << "no pause";
}

TEST_F(RegistrationTest, InstallPathUnderNoRootIsExitTen) {
    // Both roots refuse writes from the pause before InstallPath on.
    fake::onCall("sleepMilliseconds", 1, [] { fake::denyRegistryWrites(true, true); });
    EXPECT_EQ(registerAt("D:\\Apps"), kExitRegistryWrite);
    EXPECT_EQ(machine(kUninstall, "UninstallPath"), "D:\\Apps\\Uninstall.exe");
    EXPECT_EQ(machine(kApplication, "InstallPath"), "<missing>");
    EXPECT_EQ(user(kApplication, "InstallPath"), "<missing>");
}

TEST_F(RegistrationTest, FailingDesktopShortcutIsExitTwelveBeforeTheUninstallEntry) {
    fake::failCall("createShellLink");
    EXPECT_EQ(registerAt("D:\\Apps", true, true), kExitShortcut);
    EXPECT_EQ(machine(kIcon, ""), "Vemlo Reader.exe,1");
    EXPECT_EQ(machine(kUninstall, "DisplayName"), "<missing>");
    EXPECT_EQ(machine(kApplication, "InstallPath"), "<missing>");
    EXPECT_FALSE(isDirectory(dir / "data/vemsetup/Start Menu/Programs/Vemlo Reader"));
}

TEST_F(RegistrationTest, RefusedMachineWideValueFallsBackAndRefusedUnderBothIsExitTen) {
    // The fifth value set is UninstallString under the machine-wide root.
    fake::failCall("regSetValue", 5);
    EXPECT_EQ(registerAt("D:\\Apps"), kExitSuccess);
    EXPECT_EQ(machine(kUninstall, "UninstallString"), "<missing>");
    EXPECT_EQ(user(kUninstall, "UninstallString"), "D:\\Apps\\Uninstall.exe");
    EXPECT_EQ(machine(kUninstall, "DisplayName"), "Vemlo Reader") << "each value chooses its root";

    fake::reset();
    fake::failCall("regSetValue", 5, true);
    EXPECT_EQ(registerAt("D:\\Other"), kExitRegistryWrite);
    EXPECT_EQ(user(kUninstall, "DisplayName"), "<missing>") << "nothing after UninstallString";
    EXPECT_TRUE(fake::callsWithDetail("sleepMilliseconds").empty());
}

TEST_F(RegistrationTest, UnsavedDesktopShortcutIsExitTwelve) {
    fake::failCall("persistFileSave");
    EXPECT_EQ(registerAt("D:\\Apps", true), kExitShortcut);
    EXPECT_EQ(machine(kUninstall, "DisplayName"), "<missing>");
}

TEST_F(RegistrationTest, UninstallStringIsQuotedOnlyWhenItHoldsABlank) {
    EXPECT_EQ(registerAt("C:\\Program Files\\Vemlo Reader"), kExitSuccess);
    EXPECT_EQ(machine(kUninstall, "UninstallString"),
              "\"C:\\Program Files\\Vemlo Reader\\Uninstall.exe\"");
    EXPECT_EQ(machine(kUninstall, "UninstallPath"),
              "C:\\Program Files\\Vemlo Reader\\Uninstall.exe");
    EXPECT_EQ(machine(kUninstall, "DisplayIcon"),
              "C:\\Program Files\\Vemlo Reader\\Vemlo Reader.exe");
}

TEST_F(RegistrationTest, DoubleByteTargetEndingInTrailByte5CGetsItsBackslash) {
    fake::setAnsiCodePage(932);
    const std::string table = "C:\\\x95\x5C"; // C:\ and the character for "table"
    EXPECT_EQ(registerAt(table, true), kExitSuccess);
    EXPECT_EQ(machine(kApplication, "InstallPath"), table + "\\");
    EXPECT_EQ(machine(kUninstall, "DisplayIcon"), table + "\\Vemlo Reader.exe");
    EXPECT_EQ(machine(kUninstall, "UninstallString"), table + "\\Uninstall.exe");
    const Bytes link = readBytes(dir / "Desktop/Vemlo Reader.lnk");
    const Bytes target = toBytes(table + "\\Vemlo Reader.exe");
    EXPECT_NE(std::search(link.begin(), link.end(), target.begin(), target.end()), link.end());

    EXPECT_EQ(registerAt(table + "\\"), kExitSuccess);
    EXPECT_EQ(machine(kApplication, "InstallPath"), table + "\\");
}

} // namespace
