// Extract-and-launch mode of the built stub under Wine: every entry goes
// into a fresh work directory in the temporary folder, and entry 0 starts.
#include "common/exit_code.h"
#include "stub_fixture.h"

namespace wine_test {
namespace {

namespace fs = std::filesystem;

// What the demo setup program writes beside itself when it runs.
constexpr char kSetupMarker[] = "Setup.ran";
constexpr char kSetupMarkerText[] = "Vemlo Reader demo setup ran.\n";

class ExtractAndLaunch : public DemoStubTest {
  protected:
    // Checks one work directory once its setup program has run: the
    // payload's entries, byte for byte, and the marker.
    void expectUnpackedAndStarted(const fs::path& work,
                                  const std::map<std::string, std::string>& expected) {
        ASSERT_TRUE(fs::is_directory(work)) << work;
        EXPECT_TRUE(waitForFile(work / kSetupMarker)) << "entry 0 was not started in " << work;
        // Setup.exe has ended once the prefix has no process left.
        prefix->waitForServer();
        std::map<std::string, std::string> files = fileContents(work);
        EXPECT_EQ(files[kSetupMarker], kSetupMarkerText);
        files.erase(kSetupMarker);
        EXPECT_TRUE(sameFiles(files, expected)) << work;
    }
};

TEST_F(ExtractAndLaunch, NoArgumentsUnpacksEveryEntryAndStartsEntryZero) {
    const std::map<std::string, std::string> expected = demoEntries();
    ASSERT_EQ(expected.size(), kDemoEntryNames.size());
    for (const std::string& name : kDemoEntryNames) {
        EXPECT_EQ(expected.count(name), 1u) << name;
    }
    const std::vector<std::string> before = directoryNames(temp);

    EXPECT_EQ(run(stubCommandLine("")), kExitSuccess);

    // Exactly one new entry, the work directory; both temporary files are
    // gone.
    const std::vector<std::string> added = addedNames(before, directoryNames(temp));
    ASSERT_EQ(added.size(), 1u) << testing::PrintToString(added);
    EXPECT_TRUE(isVemTempName(added[0])) << added[0];
    expectUnpackedAndStarted(temp / added[0], expected);
    EXPECT_EQ(addedNames(before, directoryNames(temp)), added);
}

TEST_F(ExtractAndLaunch, TwoRunsAtOnceUseWorkDirectoriesOfTheirOwn) {
    const std::map<std::string, std::string> expected = demoEntries();
    const std::vector<std::string> before = directoryNames(temp);

    const pid_t first = start(stubCommandLine(""));
    const pid_t second = start(stubCommandLine(""));
    EXPECT_EQ(waitProcess(first), kExitSuccess);
    EXPECT_EQ(waitProcess(second), kExitSuccess);

    const std::vector<std::string> added = addedNames(before, directoryNames(temp));
    ASSERT_EQ(added.size(), 2u) << testing::PrintToString(added);
    for (const std::string& name : added) {
        EXPECT_TRUE(isVemTempName(name)) << name;
        expectUnpackedAndStarted(temp / name, expected);
    }
}

} // namespace
} // namespace wine_test
