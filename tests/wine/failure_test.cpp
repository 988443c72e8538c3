// Runs of the built stub under Wine that must fail, and what they may leave
// behind: a target on a missing drive, and payloads that are not what the
// stub expects, embedded by swapping its "PACKAGE" 105 resource.
#include "common/exit_code.h"
#include "stub_fixture.h"

namespace wine_test {
namespace {

namespace fs = std::filesystem;

// The install target of the payload tests. It exists beforehand, so the
// stub has no reason to write anything outside the temporary folder.
constexpr char kExistingTarget[] = "C:\\Apps\\Existing";

class TargetDirectory : public WineStubTest {};

TEST_F(TargetDirectory, OnMissingDriveExitsWithTargetErrorAndWritesNothing) {
    // Q: is no drive of the prefix.
    std::error_code ec;
    fs::remove(prefix->path() / "dosdevices" / "q:", ec);
    fs::remove(prefix->path() / "dosdevices" / "q::", ec);
    const TreeSnapshot before = snapshotTree(prefix->driveC());

    EXPECT_EQ(run(stubCommandLine("\"Q:\\Apps\" /d /s")), kExitTargetDirectory);

    // Nothing at all, not even a temporary file.
    EXPECT_EQ(treeChanges(before, snapshotTree(prefix->driveC())), std::vector<std::string>{});
}

class PayloadSwap : public WineStubTest {
  protected:
    // A valid payload of one text file, designating nothing.
    fs::path markerPayload() {
        writeBytes(scratch / "marker.txt", kMarkerText);
        const fs::path payload = scratch / "marker.lzma";
        vempack({"create", "-o", payload.string(), "--no-launch",
                 "Marker.txt=" + (scratch / "marker.txt").string()});
        return payload;
    }

    // Runs `stub` in install mode into an existing empty directory, then
    // with no arguments. Both runs must end with exit code 9, write nothing
    // outside the temporary folder, and leave there only the second
    // temporary file holding `archive` (the extract-and-launch run also its
    // empty work directory, made before the archive is read).
    void expectRefused(const std::string& stub, const std::string& archive) {
        const fs::path target = prefix->unixPath(kExistingTarget);
        std::error_code ec;
        fs::create_directories(target, ec);
        ASSERT_FALSE(ec);

        TreeSnapshot before = snapshotTree(prefix->driveC());
        std::vector<std::string> tempBefore = directoryNames(temp);
        EXPECT_EQ(
            run(stubCommandLine("\"" + std::string(kExistingTarget) + "\" /d /s", stub.c_str())),
            kExitArchiveCorrupt);
        EXPECT_EQ(treeChanges(before, snapshotTree(prefix->driveC()), tempRelativeToDriveC()),
                  std::vector<std::string>{});
        std::vector<std::string> added = addedNames(tempBefore, directoryNames(temp));
        ASSERT_EQ(added.size(), 1u) << testing::PrintToString(added);
        EXPECT_TRUE(isVemTempName(added[0])) << added[0];
        ASSERT_TRUE(fs::is_regular_file(temp / added[0]));
        EXPECT_TRUE(readBytes(temp / added[0]) == archive) << "second temporary file " << added[0];
        EXPECT_EQ(directoryNames(target), std::vector<std::string>{});

        before = snapshotTree(prefix->driveC());
        tempBefore = directoryNames(temp);
        EXPECT_EQ(run(stubCommandLine("", stub.c_str())), kExitArchiveCorrupt);
        EXPECT_EQ(treeChanges(before, snapshotTree(prefix->driveC()), tempRelativeToDriveC()),
                  std::vector<std::string>{});
        added = addedNames(tempBefore, directoryNames(temp));
        ASSERT_EQ(added.size(), 2u) << testing::PrintToString(added);
        int files = 0;
        for (const std::string& name : added) {
            EXPECT_TRUE(isVemTempName(name)) << name;
            if (fs::is_regular_file(temp / name)) {
                ++files;
                EXPECT_TRUE(readBytes(temp / name) == archive) << "second temporary file " << name;
            } else {
                EXPECT_TRUE(fs::is_directory(temp / name)) << name;
                EXPECT_EQ(directoryNames(temp / name), std::vector<std::string>{});
            }
        }
        EXPECT_EQ(files, 1);
    }

    static constexpr char kMarkerText[] = "swapped payload\r\n";
};

// The control for the tests below: a swapped-in valid payload is what the
// stub unpacks, so their failures come from the payload alone.
TEST_F(PayloadSwap, SwappedValidPayloadIsUnpacked) {
    const std::string stub = stubWithPayload(markerPayload(), "marker.exe");
    const std::vector<std::string> before = directoryNames(temp);

    EXPECT_EQ(run(stubCommandLine("", stub.c_str())), kExitSuccess);

    const std::vector<std::string> added = addedNames(before, directoryNames(temp));
    ASSERT_EQ(added.size(), 1u) << testing::PrintToString(added);
    EXPECT_TRUE(sameFiles(fileContents(temp / added[0]), {{"Marker.txt", kMarkerText}}));
}

TEST_F(PayloadSwap, TruncatedStreamExitsWithArchiveErrorLeavingEmptySecondTempFile) {
    // The header and the first half of the compressed data: decoding fails
    // and nothing of its output is kept.
    const std::string demo = readBytes(wineTarget().demoPayload);
    ASSERT_GT(demo.size(), 13u);
    writeBytes(scratch / "truncated.lzma", demo.substr(0, 13 + (demo.size() - 13) / 2));
    const std::string stub = stubWithPayload(scratch / "truncated.lzma", "truncated.exe");

    expectRefused(stub, "");
}

TEST_F(PayloadSwap, ArchiveWithWrongMagicExitsWithArchiveErrorLeavingItInSecondTempFile) {
    writeBytes(scratch / "marker.txt", kMarkerText);
    const fs::path archive = scratch / "wrong-magic.hen";
    vempack({"archive", "-o", archive.string(), "Marker.txt=" + (scratch / "marker.txt").string()});
    std::string bytes = readBytes(archive);
    ASSERT_EQ(bytes.substr(0, 3), "HEN");
    bytes[2] = 'X';
    writeBytes(archive, bytes);
    const fs::path payload = scratch / "wrong-magic.lzma";
    vempack({"compress", "-o", payload.string(), archive.string()});
    const std::string stub = stubWithPayload(payload, "wrong-magic.exe");

    expectRefused(stub, bytes);
}

} // namespace
} // namespace wine_test
