// A described setup made by `vempack build --product ...` under Wine: the
// deployment tools' command lines, the product's own names in the registry
// and its links, exit code 0.
#include "common/exit_code.h"
#include "stub_fixture.h"

namespace wine_test {
namespace {

namespace fs = std::filesystem;

constexpr char kSetupPath[] = "C:\\tests\\setup.exe";
constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme.Tool";

class DescribedSetup : public WineStubTest {
  protected:
    void SetUp() override {
        WineStubTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        files = {{"bin/Tool.exe", "MZ not really a program"}, {"Readme.txt", "read me\r\n"}};
        ASSERT_TRUE(writeTree(scratch / "tree", files));
        ASSERT_EQ(
            vempack({"build", "-o", (scratch / "setup.exe").string(), "--stub", VEMSETUP_WIN32_STUB,
                     "--product", "Acme Tool", "--product-id", "Acme.Tool", "--publisher", "Acme",
                     "--product-version", "2.1", "--program", "bin/Tool.exe", "--no-uninstaller",
                     (scratch / "tree").string() + "/"}),
            0);
        copyIntoTests(scratch / "setup.exe", "setup.exe");
    }

    std::map<std::string, std::string> files;
};

TEST_F(DescribedSetup, DirLastWithoutQuotesRegistersTheProductMachineWide) {
    EXPECT_EQ(run(stubCommandLine("/install /dir=C:\\Apps\\Acme", kSetupPath)),
              kExitDescribedSuccess);
    EXPECT_TRUE(sameFiles(fileTree(prefix->unixPath("C:\\Apps\\Acme")), files));
    const WineRegistry machine = machineRegistry();
    const std::pair<const char*, const char*> expected[] = {
        {"DisplayName", "Acme Tool"},
        {"DisplayVersion", "2.1"},
        {"Publisher", "Acme"},
        {"DisplayIcon", "C:\\Apps\\Acme\\bin\\Tool.exe"},
        {"InstallLocation", "C:\\Apps\\Acme\\"},
        {"UninstallString", "\"C:\\Apps\\Acme\\Uninstall.exe\""},
        {"QuietUninstallString", "\"C:\\Apps\\Acme\\Uninstall.exe\" /S"},
    };
    for (const auto& [name, data] : expected) {
        EXPECT_EQ(textOf(machine, kUninstallKey, name), data) << name;
    }
    EXPECT_EQ(machine.value(kUninstallKey, "NoModify").value_or(RegistryValue{}).data, "0x1");
    EXPECT_EQ(textOf(machine, "Software\\Acme\\Acme Tool", "InstallPath"), "C:\\Apps\\Acme\\");
    EXPECT_FALSE(
        machine.hasKey("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vemlo Reader"));
    EXPECT_FALSE(userRegistry().hasKey(kUninstallKey)) << "one root only";
}

TEST_F(DescribedSetup, CurrentUserInstallsIntoLocalAppDataWithItsLinks) {
    EXPECT_EQ(run(stubCommandLine("/CurrentUser /install /d", kSetupPath)), kExitDescribedSuccess);
    const WineRegistry user = userRegistry();
    const std::string location = textOf(user, kUninstallKey, "InstallLocation");
    EXPECT_NE(location.find("\\AppData\\Local\\Programs\\Acme Tool\\"), std::string::npos)
        << location;
    EXPECT_TRUE(sameFiles(fileTree(prefix->unixPath(location)), files));
    const ShortcutInfo link = readShortcut(desktop / "Acme Tool.lnk");
    if (link.inspected) {
        EXPECT_EQ(link.localPath, location + "bin\\Tool.exe");
        EXPECT_EQ(link.description, "Acme Tool");
    }
}

} // namespace
} // namespace wine_test
