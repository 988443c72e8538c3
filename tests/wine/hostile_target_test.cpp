// Install targets that must not be taken as they look under Wine: an empty
// or blank one, and one where a user planted links where entries go.
#include "common/exit_code.h"
#include "stub_fixture.h"

namespace wine_test {
namespace {

namespace fs = std::filesystem;

class HostileTarget : public WineStubTest {};

TEST_F(HostileTarget, EmptyOrBlankTargetIsExitThreeAndWritesNothing) {
    const TreeSnapshot before = snapshotTree(prefix->driveC());
    for (const char* tail : {"\"\"", "\"   \" /d /s"}) {
        EXPECT_EQ(run(stubCommandLine(tail)), kExitTargetDirectory) << tail;
    }
    EXPECT_EQ(treeChanges(before, snapshotTree(prefix->driveC())), std::vector<std::string>{});
}

// A link to a folder (a junction, as Wine sees a folder that is a link on
// the host) where an entry's level goes, and a link to a file where an
// entry goes: the install ends with 14 and what they lead to is untouched.
TEST_F(HostileTarget, LinksPlantedWhereEntriesGoAreNotWrittenThrough) {
    writeBytes(scratch / "a.txt", "new\r\n");
    const fs::path payload = scratch / "linked.lzma";
    ASSERT_EQ(vempack({"create", "-o", payload.string(), "--no-launch",
                       "lib\\a.txt=" + (scratch / "a.txt").string(),
                       "b.txt=" + (scratch / "a.txt").string()}),
              0);
    const std::string stub = stubWithPayload(payload, "linked.exe");

    const fs::path victims = prefix->unixPath("C:\\Protected");
    fs::create_directories(victims);
    writeBytes(victims / "b.txt", "protected\r\n");
    const struct {
        const char* link;
        fs::path leadsTo;
    } planted[] = {{"lib", victims}, {"b.txt", victims / "b.txt"}};
    for (const auto& [link, leadsTo] : planted) {
        const fs::path target = prefix->unixPath("C:\\Shared");
        fs::remove_all(target);
        fs::create_directories(target);
        fs::create_symlink(leadsTo, target / link);
        if (std::string(link) == "b.txt") {
            fs::create_directories(target / "lib");
        }
        EXPECT_EQ(run(stubCommandLine("\"C:\\Shared\"", stub.c_str())), kExitEntryOutput) << link;
        EXPECT_TRUE(fs::is_symlink(target / link)) << link;
        EXPECT_EQ(directoryNames(victims), std::vector<std::string>{"b.txt"}) << link;
        EXPECT_EQ(readBytes(victims / "b.txt"), "protected\r\n") << link;
    }
}

} // namespace
} // namespace wine_test
