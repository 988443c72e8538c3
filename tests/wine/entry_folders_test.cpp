// Entries stored in folders ("plugins\platforms\q.dll"), packed from a
// directory by vempack build: the stub makes the levels inside its
// destination, starts a designated entry from its own folder, and installs
// everything but that entry at its level below the target.
#include "common/exit_code.h"
#include "entry_probe_report.h"
#include "stub_fixture.h"

namespace wine_test {
namespace {

namespace fs = std::filesystem;

constexpr char kSetupPath[] = "C:\\tests\\folders-setup.exe";
constexpr char kProbeEntry[] = "plugins/platforms/entry_probe.exe";

class EntryFolders : public WineStubTest {
  protected:
    // A setup of a directory's contents: two levels below "plugins", which
    // two entries share, and the probe designated in the deepest one.
    void SetUp() override {
        WineStubTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        entries = {{"Readme.txt", "read me\r\n"},
                   {"plugins/platforms/q.dll", "platform plugin"},
                   {"plugins/styles/s.dll", "style plugin"},
                   {kProbeEntry, readBytes(wineTarget().toolsDirectory / kProbeProgram)}};
        const fs::path app = scratch / "app";
        ASSERT_TRUE(writeTree(app, entries));
        const fs::path setup = scratch / "folders-setup.exe";
        ASSERT_EQ(vempack({"build", "-o", setup.string(), "--stub", VEMSETUP_WIN32_STUB.string(),
                           "--launch", kProbeEntry, app.string() + "/"}),
                  0);
        copyIntoTests(setup, "folders-setup.exe");
    }

    std::map<std::string, std::string> entries; // relative path -> bytes
};

TEST_F(EntryFolders, ExtractAndLaunchStartsTheDesignatedEntryFromItsFolder) {
    const std::vector<std::string> before = directoryNames(temp);

    EXPECT_EQ(run(stubCommandLine("", kSetupPath)), kExitSuccess);

    const std::vector<std::string> added = addedNames(before, directoryNames(temp));
    ASSERT_EQ(added.size(), 1u) << testing::PrintToString(added);
    const fs::path work = temp / added[0];
    const fs::path probeFolder = (work / kProbeEntry).parent_path();
    ASSERT_TRUE(waitForFile(probeFolder / kProbeReport)) << "the entry did not start in its folder";
    prefix->waitForServer();
    // Started by its full path, in its folder.
    const ProbeReport report = readProbeReport(probeFolder / kProbeReport);
    std::error_code ec;
    EXPECT_TRUE(fs::equivalent(prefix->unixPath(report.field("module")), work / kProbeEntry, ec))
        << report.field("module");
    std::map<std::string, std::string> files = fileTree(work);
    files.erase(std::string("plugins/platforms/") + kProbeReport);
    EXPECT_TRUE(sameFiles(files, entries));
}

TEST_F(EntryFolders, InstallWritesEveryEntryButTheDesignatedOneAtItsLevel) {
    EXPECT_EQ(run(stubCommandLine("\"C:\\Apps\\Folders\"", kSetupPath)), kExitSuccess);

    std::map<std::string, std::string> installed = entries;
    installed.erase(kProbeEntry);
    EXPECT_TRUE(sameFiles(fileTree(prefix->unixPath("C:\\Apps\\Folders")), installed));
}

} // namespace
} // namespace wine_test
