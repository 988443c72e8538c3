// A setup that carries a product description: its forms of command line,
// its folders and names, its exit codes.
#include <gtest/gtest.h>

#include "app/deployment_command_line.h"
#include "app/run_main.h"
#include "fake_platform.h"
#include "format/product_description.h"
#include "payloads.h"
#include "product.h"
#include "registry_fixture.h"

namespace {

const std::vector<TestEntry> kEntries = {{"bin\\Tool.exe", "tool"}, {"Readme.txt", "read me"}};

Bytes describe(const vempack::ProductOptions& options) {
    vempack::Package package;
    for (const TestEntry& entry : kEntries) {
        package.entries.push_back({entry.name, toBytes(entry.data)});
    }
    return vempack::descriptionResource(options, package, vempack::CodePage());
}

vempack::ProductOptions toolOptions() {
    vempack::ProductOptions options;
    options.product = "Acme Tool";
    options.id = "Acme.Tool";
    options.publisher = "Acme";
    options.version = "2.1";
    options.program = "bin/tool.exe";
    return options;
}

class DescribedSetupTest : public RegistryFixture {
  protected:
    void SetUp() override {
        RegistryFixture::SetUp();
        fake::setResource(makeLzma(makeArchive(kEntries, 0, -1)));
        fake::setDescription(describe(toolOptions()));
    }
    std::string target() const { return dir / "apps"; }
    std::string uninstallKey() const {
        return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme.Tool";
    }
};

TEST_F(DescribedSetupTest, RegistersTheProductUnderOneRootAndExitsZero) {
    struct Case {
        const char* switches;
        bool denyMachine;
    };
    // The last: asked for every user without the rights, all of it lands
    // with the user.
    for (const Case c : {Case{"/D", false}, Case{"/D", true}, Case{"/allusers", true}}) {
        SCOPED_TRACE(c.switches);
        fake::denyRegistryWrites(c.denyMachine, false);
        EXPECT_EQ(runMain((std::string(c.switches) + " /dir=\"" + target() + "\"").c_str()),
                  kExitDescribedSuccess);
        const platform::RegistryRoot root =
            c.denyMachine ? platform::kHkeyCurrentUser : platform::kHkeyLocalMachine;
        const platform::RegistryRoot other =
            c.denyMachine ? platform::kHkeyLocalMachine : platform::kHkeyCurrentUser;
        const std::string t = target() + "\\";
        const std::pair<const char*, std::string> expected[] = {
            {"DisplayName", "Acme Tool"},
            {"DisplayVersion", "2.1"},
            {"Publisher", "Acme"},
            {"DisplayIcon", t + "bin\\Tool.exe"},
            {"InstallLocation", t},
            {"UninstallString", "\"" + t + "Uninstall.exe\""},
            {"QuietUninstallString", "\"" + t + "Uninstall.exe\" /S"},
            {"UninstallPath", t + "Uninstall.exe"},
            {"EstimatedSize", "1"},
            {"NoModify", "1"},
            {"NoRepair", "1"},
        };
        for (const auto& [name, data] : expected) {
            EXPECT_EQ(value(root, uninstallKey().c_str(), name), data) << name;
            EXPECT_EQ(value(other, uninstallKey().c_str(), name), "<missing>") << name;
        }
        EXPECT_EQ(value(root, "Software\\Acme\\Acme Tool", "InstallPath"), t);
        EXPECT_EQ(machine("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vemlo Reader",
                          "DisplayName"),
                  "<missing>");
        EXPECT_TRUE(fileExists(target() + "/bin/Tool.exe"))
            << "nothing designated, nothing left out";
        removeTree(dir / "data/vemsetup/registry");
    }
}

TEST_F(DescribedSetupTest, ShortcutsCarryTheProductsNames) {
    fake::denyRegistryWrites(true, false);
    EXPECT_EQ(runMain(("\"" + target() + "\" /d /s").c_str()), kExitDescribedSuccess);
    const std::string menu = dir / "data/vemsetup/Start Menu/Programs/Acme Tool";
    EXPECT_EQ(listDirectory(menu),
              (std::vector<std::string>{"Acme Tool.lnk", "Uninstall Acme Tool.lnk"}));
    EXPECT_EQ(readBytes(menu + "/Uninstall Acme Tool.lnk"),
              toBytes("Target=" + target() + "\\Uninstall.exe\nDescription=Acme Tool\n"));
    EXPECT_EQ(readBytes(dir / "Desktop/Acme Tool.lnk"),
              toBytes("Target=" + target() + "\\bin\\Tool.exe\nDescription=Acme Tool\n"));
}

TEST_F(DescribedSetupTest, DefaultFoldersFollowTheScope) {
    struct Case {
        const char* tail;
        bool denyMachine;
        const char* folder;
    };
    const Case cases[] = {
        {"/install", false, "data/vemsetup/Program Files/Acme Tool"},
        {"/INSTALL /currentuser", false, "data/vemsetup/Local/Programs/Acme Tool"},
        {"/install", true, "data/vemsetup/Local/Programs/Acme Tool"},
        {"/AllUsers", false, "data/vemsetup/Program Files/Acme Tool"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        fake::denyRegistryWrites(c.denyMachine, false);
        EXPECT_EQ(runMain(c.tail), kExitDescribedSuccess);
        EXPECT_TRUE(fileExists(dir / c.folder + "/Readme.txt"));
        removeTree(dir / c.folder);
    }
}

TEST_F(DescribedSetupTest, SuccessCodeOneAndFailuresKeepTheirCodes) {
    vempack::ProductOptions options = toolOptions();
    options.successCode = 1;
    fake::setDescription(describe(options));
    EXPECT_EQ(runMain(("/dir=" + target()).c_str()), kExitSuccess);
    fake::denyRegistryWrites(true, true);
    EXPECT_EQ(runMain(("/dir=" + target()).c_str()), kExitRegistryWrite);
    EXPECT_EQ(runMain("/dir=Q:\\Apps"), kExitTargetDirectory);
    EXPECT_EQ(runMain("/dir="), kExitTargetDirectory);
}

TEST_F(DescribedSetupTest, MalformedDescriptionIsExitNineWithNothingWritten) {
    Bytes good = describe(toolOptions());
    Bytes badVersion = good;
    badVersion[4] = 2;
    Bytes unknownFlag = good;
    unknownFlag[7] = 0x80;
    Bytes trailing = good;
    trailing.push_back(0);
    Bytes cut(good.begin(), good.end() - 1);
    // A publisher that climbs out of its key: ".\me.x".
    vempack::ProductOptions climbing = toolOptions();
    climbing.publisher = "Acme.x";
    Bytes publisherClimb = describe(climbing);
    const size_t at = std::string(publisherClimb.begin(), publisherClimb.end()).find("Acme.x");
    publisherClimb[at] = '.';
    publisherClimb[at + 1] = '\\';
    for (const Bytes& bad : {Bytes{0}, Bytes(good.begin(), good.begin() + 4), badVersion,
                             unknownFlag, trailing, cut, publisherClimb}) {
        fake::setDescription(bad);
        EXPECT_EQ(runMain(("\"" + target() + "\"").c_str()), kExitArchiveCorrupt);
        EXPECT_EQ(runMain(""), kExitArchiveCorrupt);
    }
    EXPECT_FALSE(fileExists(target()));
    EXPECT_TRUE(listDirectory(dir / "temp").empty());
    EXPECT_EQ(fake::countCalls("regSetValue"), 0);
}

TEST(DeploymentCommandLine, FormsAndTheirMeaning) {
    struct Case {
        const char* tail;
        bool install;
        const char* target;
        bool defaultFolder;
        InstallScope scope;
        bool desktop;
        bool startMenu;
    };
    const InstallScope any = InstallScope::kAny;
    const Case cases[] = {
        {"", false, "", false, any, false, false},
        {"\"C:\\Apps\" /d", true, "C:\\Apps", false, any, true, false},
        {"\"C:\\My \"new\" Apps\"", true, "C:\\My \"new\" Apps", false, any, false, false},
        {"/install", true, "", true, any, false, false},
        {"/S /Install /d", true, "", true, any, true, true},
        {"/install /dir=C:\\Apps", true, "C:\\Apps", false, any, false, false},
        {"/d /dir=\"C:\\Program Files\\Acme\"", true, "C:\\Program Files\\Acme", false, any, true,
         false},
        {"\"/DIR=C:\\A B\" /allusers", true, "C:\\A B", false, InstallScope::kMachine, false,
         false},
        {"/currentuser", true, "", true, InstallScope::kUser, false, false},
        {"\"C:\\Apps\" /currentuser", true, "C:\\Apps", false, InstallScope::kUser, false, false},
        {"\"C:\\Apps\\Long\" /dir=C:\\A", true, "C:\\A", false, any, false, false},
        {"/installer", false, "", false, any, false, false},
        {"/desktop", false, "", false, any, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        DeploymentRequest request;
        bool refused = true;
        const RunOptions options = parseDeploymentCommandLine(c.tail, &request, &refused);
        EXPECT_EQ(options.installMode, c.install);
        EXPECT_STREQ(options.targetDirectory, c.target);
        EXPECT_EQ(std::string(options.targetDirectory, sizeof options.targetDirectory),
                  std::string(c.target) +
                      std::string(sizeof options.targetDirectory - strlen(c.target), '\0'))
            << "zero-filled after the text";
        EXPECT_EQ(request.defaultFolder, c.defaultFolder);
        EXPECT_EQ(request.scope, c.scope);
        EXPECT_EQ(options.desktopShortcut, c.desktop);
        EXPECT_EQ(options.startMenuShortcuts, c.startMenu);
        EXPECT_FALSE(refused);
    }
}

TEST(ProductDescription, TextRules) {
    struct Case {
        const char* text;
        bool name;
        bool id;
        bool version;
    };
    const Case cases[] = {
        {"Acme Tool", true, true, false}, {"1.2.3.4", true, true, true},
        {"", false, false, true},         {"..", false, true, false},
        {"a\\b", false, false, false},    {"CON", false, true, false},
        {" x", true, false, false},       {"x:y", false, false, false},
        {"1.2.3.4.5", true, true, false}, {"65536", true, true, false},
        {"1..2", true, true, false},      {"a/b", false, false, false},
        {"Acme.", false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(isProductName(c.text, neverLeadByte), c.name);
        EXPECT_EQ(isProductId(c.text), c.id);
        EXPECT_EQ(isProductVersion(c.text), c.version);
    }
    EXPECT_TRUE(isDocumentType(".acme", "Acme.Document"));
    EXPECT_TRUE(isDocumentType("", ""));
    EXPECT_FALSE(isDocumentType("acme", "Acme.Document"));
    EXPECT_FALSE(isDocumentType(".a\\b", "Acme"));
    EXPECT_FALSE(isDocumentType(".acme", ""));
}

} // namespace
