// The work directory of extract and launch is private under Wine: the
// entry started from it finds a DACL that lets in only its user, SYSTEM and
// the administrators, and on the host the folder gives nothing to others
// (Wine keeps no descriptor of its own but maps it onto the mode bits).
#include "common/exit_code.h"
#include "entry_probe_report.h"
#include "stub_fixture.h"

namespace wine_test {
namespace {

namespace fs = std::filesystem;

bool givesOthersAnything(const fs::path& folder) {
    return (fs::status(folder).permissions() & fs::perms::others_all) != fs::perms::none;
}

class PrivateWorkDirectory : public WineStubTest {};

TEST_F(PrivateWorkDirectory, OnlyTheUserSystemAndAdministratorsMayEnter) {
    const fs::path probe = wineTarget().toolsDirectory / kProbeProgram;
    const fs::path setup = scratch / "probe-setup.exe";
    ASSERT_EQ(vempack({"build", "-o", setup.string(), "--stub", VEMSETUP_WIN32_STUB.string(),
                       std::string(kProbeProgram) + "=" + probe.string()}),
              0);
    const std::string stub = copyIntoTests(setup, "probe-setup.exe");

    // The control: a folder made with default security is open to
    // Everyone, and both checks below see it.
    copyIntoTests(probe, kProbeProgram);
    ASSERT_EQ(wine({"cmd", "/c", "mkdir", "C:\\open"}), 0);
    ASSERT_EQ(wine({std::string("C:\\tests\\") + kProbeProgram, "C:\\open", "C:\\tests\\open.txt"}),
              0);
    const ProbeReport open = readProbeReport(prefix->driveC() / "tests" / "open.txt");
    EXPECT_NE(entriesOpeningTheFolder(open), std::vector<std::string>{});
    EXPECT_TRUE(givesOthersAnything(prefix->driveC() / "open"));
    const std::vector<std::string> before = directoryNames(temp);

    EXPECT_EQ(run(stubCommandLine("", stub.c_str())), kExitSuccess);

    const std::vector<std::string> added = addedNames(before, directoryNames(temp));
    ASSERT_EQ(added.size(), 1u) << testing::PrintToString(added);
    const fs::path work = temp / added[0];
    ASSERT_TRUE(waitForFile(work / kProbeReport)) << "the probe was not started in " << work;
    prefix->waitForServer();
    const ProbeReport report = readProbeReport(work / kProbeReport);
    std::error_code ec;
    ASSERT_TRUE(fs::equivalent(prefix->unixPath(report.field("folder")), work, ec))
        << report.field("folder");
    EXPECT_EQ(report.field("dacl"), "present");
    EXPECT_EQ(entriesOpeningTheFolder(report), std::vector<std::string>{});
    // The user may still enter the folder it unpacked into.
    bool userAllowed = false;
    for (const ProbeAce& ace : report.aces) {
        userAllowed = userAllowed || (ace.kind == "allowed" && ace.who == "user");
    }
    EXPECT_TRUE(userAllowed) << readText(work / kProbeReport);
    EXPECT_FALSE(givesOthersAnything(work)) << work;
}

} // namespace
} // namespace wine_test
