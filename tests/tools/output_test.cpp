// Outputs that are this run's own, names that fit below a work directory,
// and what the packer tells while it packs.
#include "error.h"
#include "output_file.h"
#include "payloads.h"
#include "progress.h"
#include "run_vempack.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace vempack_test {
namespace {

namespace fs = std::filesystem;

class VempackOutput : public ::testing::Test {
  protected:
    RunResult run(const std::vector<std::string>& args) { return runVempack(scratch, args); }
    bool says(const RunResult& result, const std::string& text) {
        return result.err.find(text) != std::string::npos;
    }
    ScopedTempDir scratch{"vempack-output"};
};

TEST_F(VempackOutput, NeverReportsAnotherRunsFileAsItsOwn) {
    const std::string out = scratch / "setup.exe";
    writeBytes(out + ".part", toBytes("another run's part"));
    vempack::OutputFile file(out);
    EXPECT_EQ(fs::path(file.temporaryPath()).parent_path(), fs::path(scratch.path()));
    EXPECT_THROW(file.commit(toBytes("mine"),
                             [&] {
                                 writeBytes(scratch / "other", toBytes("theirs"));
                                 fs::rename(scratch / "other", out);
                             }),
                 vempack::ToolError);
    EXPECT_EQ(readBytes(out), toBytes("theirs"));
    EXPECT_EQ(readBytes(out + ".part"), toBytes("another run's part"));
    vempack::OutputFile again(out);
    again.commit(toBytes("mine"));
    EXPECT_EQ(readBytes(out), toBytes("mine"));
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator()), 2);
}

TEST_F(VempackOutput, ConcurrentRunsToOneOutputLeaveOneWholeFile) {
    const std::string out = scratch / "one.hen";
    std::vector<pid_t> runs;
    for (int i = 0; i < 6; ++i) {
        writeBytes(scratch / ("in" + std::to_string(i)), noiseBytes(300000, i));
        runs.push_back(startProcess(
            {VEMPACK_PATH, "archive", "-q", "-o", out, "A=" + scratch / ("in" + std::to_string(i))},
            nullptr, "", ""));
    }
    std::vector<int> status;
    for (pid_t pid : runs) {
        status.push_back(waitProcess(pid).exitCode);
    }
    const Bytes result = readBytes(out);
    int owners = 0;
    for (int i = 0; i < 6; ++i) {
        const Bytes data = noiseBytes(300000, i);
        if (std::search(result.begin(), result.end(), data.begin(), data.end()) != result.end()) {
            ++owners;
            EXPECT_EQ(status[i], 0);
        }
    }
    EXPECT_EQ(owners, 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator()), 7);
}

TEST_F(VempackOutput, NamesLeaveRoomForTheFolderTheyAreUnpackedInto) {
    writeBytes(scratch / "x", toBytes("x"));
    struct Case {
        std::size_t length;
        int status;
        const char* message; // empty: no warning
    };
    const Case cases[] = {
        {199, 0, ""},
        {200, 0, "which leaves 59 characters for the folder"},
        {256, 0, "which leaves 3 characters for the folder"},
        {257, 2, "no folder could hold it"},
    };
    for (const Case& c : cases) {
        // Two levels, each a host name of a usual length.
        const std::string name =
            std::string(c.length / 2, 'a') + "/" + std::string(c.length - c.length / 2 - 1, 'b');
        const RunResult result =
            run({"archive", "-o", scratch / "n.hen", name + "=" + scratch / "x"});
        EXPECT_EQ(result.status, c.status) << c.length << result.err;
        EXPECT_EQ(says(result, "warning"), c.status == 0 && *c.message != '\0') << result.err;
        EXPECT_TRUE(says(result, c.message)) << result.err;
    }
}

TEST_F(VempackOutput, AnOutputInsideAnInputFolderIsLeftOut) {
    fs::create_directories(scratch / "app");
    writeBytes(scratch / "app/a.txt", toBytes("a"));
    for (int round = 0; round < 2; ++round) {
        const RunResult result =
            run({"archive", "-o", scratch / "app/setup.hen", scratch / "app/"});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(says(result, "leaving out '" + scratch / "app/setup.hen" + "': it is the output"),
                  round == 1)
            << result.err;
        EXPECT_TRUE(says(result, "1 entry, ")) << result.err;
    }
}

TEST_F(VempackOutput, TellsWhatItDidAndFailsAtOnceWithoutAnOutputFolder) {
    writeBytes(scratch / "attrib.exe", toBytes("MZ"));
    fs::create_directories(scratch / "bin");
    writeBytes(scratch / "bin/hostname.exe", toBytes("MZ"));
    const std::string attrib = "bin/attrib.exe=" + scratch / "attrib.exe";
    const std::string out = scratch / "p.lzma";

    RunResult result = run({"create", "-o", out, attrib, scratch / "bin"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(says(result, "vempack: designated: bin\\attrib.exe (the first file; --launch NAME "
                             "or --no-launch to choose)\n"))
        << result.err;
    EXPECT_TRUE(says(result, "vempack: 2 entries, 65 bytes in, ")) << result.err;
    EXPECT_TRUE(says(result, "designated bin\\attrib.exe, wrote " + out + "\n")) << result.err;
    EXPECT_EQ(result.err.find('\r'), std::string::npos) << "progress without a terminal";

    result = run({"create", "-q", "-o", out, attrib, scratch / "bin"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");

    for (const char* launch : {"hostname.exe", "sbin/HOSTNAME.exe"}) {
        result = run({"create", "-o", out, "--launch", launch, attrib, scratch / "bin"});
        EXPECT_EQ(result.status, 2);
        EXPECT_TRUE(says(result, "stored with that last level: bin\\hostname.exe")) << result.err;
    }

    const auto start = std::chrono::steady_clock::now();
    result = run({"create", "-q", "-o", scratch / "missing/p.lzma", attrib});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(says(result, "vempack: error: cannot write '" + scratch / "missing/p.lzma" +
                                 "' in the folder '" + scratch / "missing" + "'"))
        << result.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(VempackOutput, ResponseFilesHoldTheRecipe) {
    fs::create_directories(scratch / "recipe/app");
    writeBytes(scratch / "recipe/app/a.txt", toBytes("a"));
    writeBytes(scratch / "recipe/r.exe", toBytes("r"));
    writeBytes(scratch / "recipe/setup.rsp", toBytes("# the setup\n"
                                                     "--launch=Reader.exe\n"
                                                     "-o  out.hen\r\n"
                                                     "\n"
                                                     "Reader.exe=r.exe\n"
                                                     "app/\n"));
    RunResult result = run({"archive", "@" + scratch / "recipe/setup.rsp"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(says(result, "2 entries, ")) << result.err;
    EXPECT_TRUE(says(result, "designated Reader.exe, wrote " + scratch / "recipe/out.hen"))
        << result.err;
    result = run({"archive", "@" + scratch / "none.rsp"});
    EXPECT_EQ(result.status, 2);
}

TEST(ProgressLine, ShowsPercentSizesSpeedAndTimeLeft) {
    EXPECT_EQ(vempack::progressLine(0, 1 << 20, 0.0), "  0 %   0.0 KiB / 1.0 MiB");
    EXPECT_EQ(vempack::progressLine(3 << 20, 12 << 20, 2.0),
              " 25 %   3.0 MiB / 12.0 MiB   1.5 MiB/s   0:06 left");
    EXPECT_EQ(vempack::summaryLine({1, 1000, 250, ""}, "o.exe"),
              "1 entry, 1000 bytes in, 250 bytes out (25.0 %), designated none, wrote o.exe");
}

} // namespace
} // namespace vempack_test
