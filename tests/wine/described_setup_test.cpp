// A described setup made by `vempack build --product ...` under Wine: the
// deployment tools' command lines, the product's own names in the registry
// and its links, exit code 0.
#include "common/exit_code.h"
#include "stub_fixture.h"

#include <unistd.h>

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
        buildSetup("setup.exe", "2.1", files);
    }

    // A setup of Acme Tool in C:\tests\NAME.
    void buildSetup(const std::string& name, const std::string& version,
                    const std::map<std::string, std::string>& tree) {
        const fs::path folder = scratch / ("tree-" + name);
        ASSERT_TRUE(writeTree(folder, tree));
        ASSERT_EQ(vempack({"build", "-o", (scratch / name).string(), "--stub", VEMSETUP_WIN32_STUB,
                           "--product", "Acme Tool", "--product-id", "Acme.Tool", "--publisher",
                           "Acme", "--product-version", version, "--program", "bin/Tool.exe",
                           folder.string() + "/"}),
                  0);
        copyIntoTests(scratch / name, name);
    }

    // Runs the registered quiet uninstall; Uninstall.exe goes once it has
    // ended, removed by its temporary copy.
    void uninstall(const WineRegistry& registry, const fs::path& target) {
        const std::string quiet = textOf(registry, kUninstallKey, "QuietUninstallString");
        EXPECT_EQ(run(quiet), kExitDescribedSuccess) << quiet;
        // The removal finishes in a copy that waits for this run to end; on a
        // loaded machine that takes more than ten seconds now and then.
        for (int i = 0; i < 600 && fs::exists(target / "Uninstall.exe"); ++i) {
            usleep(100000);
        }
        prefix->waitForServer();
    }

    std::map<std::string, std::string> files;
};

TEST_F(DescribedSetup, DirLastWithoutQuotesRegistersTheProductMachineWide) {
    EXPECT_EQ(run(stubCommandLine("/install /dir=C:\\Apps\\Acme", kSetupPath)),
              kExitDescribedSuccess);
    std::map<std::string, std::string> installed = fileTree(prefix->unixPath("C:\\Apps\\Acme"));
    EXPECT_EQ(installed.erase("Uninstall.exe"), 1u);
    EXPECT_EQ(installed.size(), files.size() + 1) << "the uninstall list";
    for (const auto& [name, bytes] : files) {
        EXPECT_EQ(installed[name], bytes) << name;
    }
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
    EXPECT_EQ(fileTree(prefix->unixPath(location)).at("bin/Tool.exe"), files.at("bin/Tool.exe"));
    const ShortcutInfo link = readShortcut(desktop / "Acme Tool.lnk");
    if (link.inspected) {
        EXPECT_EQ(link.localPath, location + "bin\\Tool.exe");
        EXPECT_EQ(link.description, "Acme Tool");
    }
}

TEST_F(DescribedSetup, QuietUninstallStringRemovesWhatWasInstalledButTheUsersFile) {
    ASSERT_EQ(run(stubCommandLine("/currentuser /s /install /d", kSetupPath)),
              kExitDescribedSuccess);
    const std::string location = textOf(userRegistry(), kUninstallKey, "InstallLocation");
    const fs::path target = prefix->unixPath(location);
    ASSERT_TRUE(writeBytes(target / "bin" / "mine.txt", "the user's"));
    ASSERT_TRUE(fs::exists(programs / "Acme Tool" / "Uninstall Acme Tool.lnk"));

    uninstall(userRegistry(), target);
    EXPECT_EQ(fileTree(target),
              (std::map<std::string, std::string>{{"bin/mine.txt", "the user's"}}));
    EXPECT_FALSE(fs::exists(desktop / "Acme Tool.lnk"));
    EXPECT_FALSE(fs::exists(programs / "Acme Tool"));
    const WineRegistry user = userRegistry();
    EXPECT_FALSE(user.hasKey(kUninstallKey));
    EXPECT_FALSE(user.hasKey("Software\\Acme\\Acme Tool"));
}

TEST_F(DescribedSetup, AnUpgradeKeepsOneEntryAndItsUninstallRemovesBothVersions) {
    buildSetup("setup2.exe", "3.0", {{"bin/Tool.exe", "version three"}, {"lib/new.dll", "new"}});
    ASSERT_EQ(run(stubCommandLine("/install /dir=C:\\Apps\\Acme", kSetupPath)),
              kExitDescribedSuccess);
    ASSERT_EQ(run(stubCommandLine("/dir=C:\\Apps\\Acme /install", "C:\\tests\\setup2.exe")),
              kExitDescribedSuccess);
    const WineRegistry machine = machineRegistry();
    EXPECT_EQ(textOf(machine, kUninstallKey, "DisplayVersion"), "3.0");
    const fs::path target = prefix->unixPath("C:\\Apps\\Acme");
    EXPECT_EQ(fileTree(target).at("Readme.txt"), files.at("Readme.txt")) << "kept from 2.1";

    uninstall(machine, target);
    EXPECT_FALSE(fs::exists(target)) << "every version's files and the emptied folder";
    EXPECT_FALSE(machineRegistry().hasKey(kUninstallKey));
}

} // namespace
} // namespace wine_test
