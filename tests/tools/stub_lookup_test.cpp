// Where vempack build finds its stub without --stub: beside its own
// executable, as a release or a build tree lays them out, and nowhere that
// the machine it was built on would decide.
#include "payloads.h"
#include "pe_test_image.h"
#include "run_vempack.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vempack_test {
namespace {

namespace fs = std::filesystem;

class StubLookup : public ::testing::Test {
  protected:
    void SetUp() override { writeBytes(scratch / "Readme.txt", toBytes("read me\r\n")); }

    // A copy of this build's packer at `path`.
    std::string placePacker(const std::string& path) {
        fs::create_directories(fs::path(path).parent_path());
        fs::copy_file(VEMPACK_PATH, path);
        return path;
    }

    void placeStub(const std::string& path, bool pe32Plus) {
        fs::create_directories(fs::path(path).parent_path());
        TestImageShape shape;
        shape.pe32Plus = pe32Plus;
        writeBytes(path, makeTestImage(shape));
    }

    // The setup `packer` builds with `options`, expected to be the one that
    // `--stub expected` gives.
    void expectBuildsWith(const std::string& packer, const std::vector<std::string>& options,
                          const std::string& expected) {
        std::vector<std::string> args{"build", "-o", scratch / "found.exe"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(scratch / "Readme.txt");
        const RunResult found = runPacker(scratch, packer, args);
        ASSERT_EQ(found.status, 0) << found.err;
        ASSERT_EQ(runPacker(scratch, packer,
                            {"build", "-o", scratch / "given.exe", "--stub", expected,
                             scratch / "Readme.txt"})
                      .status,
                  0);
        EXPECT_EQ(readBytes(scratch / "found.exe"), readBytes(scratch / "given.exe"));
    }

    ScopedTempDir scratch{"vempack-test"};
};

TEST_F(StubLookup, FindsTheStubsOfACopiedRelease) {
    const std::string release = scratch / "opt/vemsetup-1.0";
    const std::string packer = placePacker(release + "/bin/vempack");
    placeStub(release + "/share/vemsetup/vemsetup.exe", false);
    placeStub(release + "/share/vemsetup/vemsetup64.exe", true);

    expectBuildsWith(packer, {}, release + "/share/vemsetup/vemsetup.exe");
    expectBuildsWith(packer, {"--arch", "32"}, release + "/share/vemsetup/vemsetup.exe");
    expectBuildsWith(packer, {"--arch", "64"}, release + "/share/vemsetup/vemsetup64.exe");
}

TEST_F(StubLookup, FindsTheStubsOfABuildTree) {
    const std::string build = scratch / "src/build";
    const std::string packer = placePacker(build + "/native/tools/vempack");
    placeStub(build + "/win32/vemsetup.exe", false);
    placeStub(build + "/win64/vemsetup.exe", true);

    expectBuildsWith(packer, {}, build + "/win32/vemsetup.exe");
    expectBuildsWith(packer, {"--arch", "64"}, build + "/win64/vemsetup.exe");
}

TEST_F(StubLookup, NamesThePlacesItLookedIn) {
    const std::string packer = placePacker(scratch / "lonely/bin/vempack");
    for (const bool wide : {false, true}) {
        std::vector<std::string> args{"build", "-o", scratch / "setup.exe", scratch / "Readme.txt"};
        if (wide) {
            args.insert(args.begin() + 1, {"--arch", "64"});
        }
        const RunResult result = runPacker(scratch, packer, args);
        EXPECT_EQ(result.status, 2);
        const std::string expected =
            wide ? "no 64-bit stub found (looked for " + (scratch / "lonely/share/vemsetup/") +
                       "vemsetup64.exe, " + (scratch / "win64/vemsetup.exe") + ")"
                 : "no 32-bit stub found (looked for " + (scratch / "lonely/share/vemsetup/") +
                       "vemsetup.exe, " + (scratch / "win32/vemsetup.exe") + ")";
        EXPECT_NE(result.err.find(expected), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(scratch / "setup.exe"));
    }
}

} // namespace
} // namespace vempack_test
