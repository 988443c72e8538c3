#include <gtest/gtest.h>

#include "common/bounded_text.h"
#include "fake_platform.h"
#include "payload/package_archive.h"
#include "payloads.h"

namespace {

const std::vector<TestEntry> kShippedLike = {{"Setup.exe", "setup program"},
                                             {"Vemlo Reader.exe", "reader program"},
                                             {"Uninstall.exe", "uninstaller"},
                                             {"Readme.txt", "read me"},
                                             {"License.txt", ""}};

class UnpackTest : public testing::Test {
  protected:
    void SetUp() override {
        fake::reset();
        destination = dir / "dest";
        ASSERT_EQ(mkdir(destination.c_str(), 0755), 0);
    }

    ExitCode unpack(const Bytes& archive, UnpackMode mode) {
        return unpackInto(archive, destination, mode);
    }
    // The archive as the decoding stage hands it on: in memory, its file
    // being written.
    ExitCode unpackInto(Bytes archive, const std::string& into, UnpackMode mode) {
        ArchiveFile file = {};
        copyText(file.path, sizeof file.path, archivePath().c_str());
        file.archive = {archive.data(), archive.size()};
        startArchiveFile(&file);
        return unpackPackage(&file, into.c_str(), mode, launchPath);
    }
    std::string archivePath() const { return dir / "vem2.tmp"; }
    std::vector<std::string> written() const { return listDirectory(destination); }

    ScopedTempDir dir;
    std::string destination;
    char launchPath[kPathBufferSize];
};

TEST_F(UnpackTest, InstallModeLeavesOutTheDesignatedEntry) {
    EXPECT_EQ(unpack(makeArchive(kShippedLike), UnpackMode::kInstall), kExitSuccess);
    EXPECT_EQ(written(), (std::vector<std::string>{"License.txt", "Readme.txt", "Uninstall.exe",
                                                   "Vemlo Reader.exe"}));
    EXPECT_EQ(readBytes(destination + "/Readme.txt"), toBytes("read me"));
    EXPECT_TRUE(readBytes(destination + "/License.txt").empty());
    EXPECT_FALSE(fileExists(archivePath())) << "the archive is deleted after success";
}

TEST_F(UnpackTest, ExtractModeWritesAllAndNamesTheDesignatedEntry) {
    EXPECT_EQ(unpack(makeArchive(kShippedLike, 1, 2), UnpackMode::kExtractAndLaunch), kExitSuccess);
    EXPECT_EQ(written().size(), 5u);
    EXPECT_EQ(readBytes(destination + "/Setup.exe"), toBytes("setup program"));
    EXPECT_EQ(std::string(launchPath), destination + "\\Uninstall.exe");
}

TEST_F(UnpackTest, WithoutDesignationEverythingIsWrittenAndNothingLaunched) {
    for (const auto& [flag, index] : {std::pair<uint32_t, int32_t>{0, 0}, {1, -1}, {1, 5}}) {
        EXPECT_EQ(unpack(makeArchive(kShippedLike, flag, index), UnpackMode::kInstall),
                  kExitSuccess);
        EXPECT_EQ(written().size(), 5u) << "install, flag " << flag << " index " << index;
        EXPECT_EQ(unpack(makeArchive(kShippedLike, flag, index), UnpackMode::kExtractAndLaunch),
                  kExitSuccess);
        EXPECT_STREQ(launchPath, "") << "flag " << flag << " index " << index;
    }
}

TEST_F(UnpackTest, WrongMagicIsRefusedAndTheArchiveStays) {
    EXPECT_EQ(unpack(toBytes("HE"), UnpackMode::kInstall), kExitArchiveCorrupt);
    EXPECT_TRUE(fileExists(archivePath())) << "the archive stays after a failure";
}

// Install mode leaves the designated entry out without looking at its name;
// extract-and-launch mode writes it, so its name is judged.
TEST_F(UnpackTest, HostileDesignatedEntryIsRefusedOnlyWhereItIsWritten) {
    const Bytes archive = makeArchive({{"..\\..\\evil.txt", "evil"}, {"a.txt", "a"}});
    EXPECT_EQ(unpack(archive, UnpackMode::kInstall), kExitSuccess);
    EXPECT_EQ(written(), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(unpack(archive, UnpackMode::kExtractAndLaunch), kExitEntryOutput);
    EXPECT_STREQ(launchPath, "");
    EXPECT_FALSE(fileExists(dir / "evil.txt"));
}

// An archive whose file cannot be written whole is not unpacked from in
// install mode; extract mode, which writes beside it into a directory of its
// own, reports it as well and names nothing to start.
TEST_F(UnpackTest, ArchiveFileNotWrittenWholeEndsTheRun) {
    const std::vector<std::tuple<std::string, UnpackMode, ExitCode, size_t>> cases = {
        {"createFileForWriting", UnpackMode::kInstall, kExitArchiveOpen, 0},
        {"writeFile", UnpackMode::kInstall, kExitArchiveCorrupt, 0},
        {"closeFile", UnpackMode::kInstall, kExitArchiveCorrupt, 0},
        {"createFileForWriting", UnpackMode::kExtractAndLaunch, kExitArchiveOpen, 5},
        {"writeFile", UnpackMode::kExtractAndLaunch, kExitArchiveCorrupt, 5}};
    for (const auto& [failing, mode, result, entries] : cases) {
        fake::reset();
        removeTree(destination);
        ASSERT_EQ(mkdir(destination.c_str(), 0755), 0);
        writeBytes(archivePath(), {}); // reserved by the name service
        fake::failCall(failing);
        EXPECT_EQ(unpack(makeArchive(kShippedLike), mode), result) << failing;
        EXPECT_EQ(written().size(), entries) << failing;
        EXPECT_STREQ(launchPath, "") << failing;
        EXPECT_TRUE(readBytes(archivePath()).empty()) << "nothing partial stays: " << failing;
    }
}

TEST_F(UnpackTest, RecordsCutShortAreCorruptAndNotWritten) {
    const Bytes whole = makeArchive({{"a.txt", "first"}, {"b.txt", "second entry"}}, 0, -1);
    // Every cut inside the second record: its length, name, size or data.
    const size_t secondRecord = kPackageHeaderSize + kRecordFieldsSize + 5 + 5;
    for (size_t cut = secondRecord + 1; cut < whole.size(); ++cut) {
        EXPECT_EQ(unpack(Bytes(whole.begin(), whole.begin() + cut), UnpackMode::kInstall),
                  kExitArchiveCorrupt)
            << "cut at " << cut;
        EXPECT_EQ(written(), std::vector<std::string>{"a.txt"}) << "cut at " << cut;
    }
}

TEST_F(UnpackTest, EntryThatCannotBeWrittenStopsTheRun) {
    EXPECT_EQ(unpack(makeArchive({{"a.txt", "x"}, {"", "y"}, {"c.txt", "z"}}, 0, -1),
                     UnpackMode::kExtractAndLaunch),
              kExitEntryOutput);
    EXPECT_EQ(written(), std::vector<std::string>{"a.txt"});

    ASSERT_EQ(mkdir((destination + "/sub").c_str(), 0755), 0);
    EXPECT_EQ(unpack(makeArchive({{"sub", "x"}}, 0, -1), UnpackMode::kInstall), kExitEntryOutput)
        << "a directory of that name";

    // The archive's own file is the first one written.
    fake::failCall("createFileForWriting", 2); // the first entry's output file
    EXPECT_EQ(unpack(makeArchive({{"b.txt", "x"}}, 0, -1), UnpackMode::kExtractAndLaunch),
              kExitEntryOutput);
    // A short write (a full disk) leaves no file that looks complete, and
    // keeps what was written whole before it.
    fake::failCall("writeFile", 3);
    EXPECT_EQ(unpack(makeArchive({{"d.txt", "x"}, {"e.txt", "y"}}, 0, -1), UnpackMode::kInstall),
              kExitEntryOutput);
    EXPECT_EQ(readBytes(destination + "/d.txt"), toBytes("x"));
    EXPECT_FALSE(fileExists(destination + "/e.txt"));
}

// The entries are written from the archive where it lies: unpacking
// allocates nothing, and each entry is one open, one write and one close
// (beside the archive's own file).
TEST_F(UnpackTest, EntriesGoFromTheArchiveToTheirFilesInOneWriteEach) {
    const std::string large(100000, 'L');
    EXPECT_EQ(unpack(makeArchive({{"a.txt", large}, {"b.txt", ""}, {"c.txt", "c"}}, 0, -1),
                     UnpackMode::kExtractAndLaunch),
              kExitSuccess);
    EXPECT_EQ(readBytes(destination + "/a.txt"), toBytes(large));
    EXPECT_EQ(fake::largestAllocation(), 0u);
    EXPECT_EQ(fake::countCalls("createFileForWriting"), 1 + 3);
    EXPECT_EQ(fake::countCalls("writeFile"), 1 + 2) << "an empty entry needs no write";
    EXPECT_EQ(fake::countCalls("closeFile"), 1 + 3);
}

TEST_F(UnpackTest, MissingLevelsAreMadeInsideTheDestination) {
    const Bytes archive = makeArchive(
        {{"docs\\a.txt", "a"}, {"docs\\de\\b.txt", "b"}, {"bin\\run.exe", "run"}}, 1, 2);
    EXPECT_EQ(unpack(archive, UnpackMode::kExtractAndLaunch), kExitSuccess);
    EXPECT_EQ(listTree(destination),
              (std::vector<std::string>{"bin/", "bin/run.exe", "docs/", "docs/a.txt", "docs/de/",
                                        "docs/de/b.txt"}));
    EXPECT_EQ(std::string(launchPath), destination + "\\bin\\run.exe");
    // A level that is a file already cannot become a folder.
    EXPECT_EQ(unpack(makeArchive({{"docs\\a.txt\\c.txt", "c"}}, 0, -1), UnpackMode::kInstall),
              kExitEntryOutput);
}

// Entries come sorted, so most lie in the folder of the one before: only a
// new folder is walked level by level.
TEST_F(UnpackTest, EachFolderIsWalkedOnceForTheEntriesInIt) {
    const Bytes archive = makeArchive(
        {{"a\\bc\\1.txt", "1"}, {"a\\b\\2.txt", "2"}, {"a\\b\\3.txt", "3"}, {"a\\4.txt", "4"}}, 0,
        -1);
    EXPECT_EQ(unpack(archive, UnpackMode::kExtractAndLaunch), kExitSuccess);
    EXPECT_EQ(fake::countCalls("getFileAttributes"), 5) << "a and a\\bc, a and a\\b, then a";
    EXPECT_EQ(listTree(destination),
              (std::vector<std::string>{"a/", "a/4.txt", "a/b/", "a/b/2.txt", "a/b/3.txt", "a/bc/",
                                        "a/bc/1.txt"}));
    // A folder whose name begins like the last one's is a folder of its own.
    EXPECT_EQ(unpack(makeArchive({{"xy\\1.txt", "1"}, {"x\\2.txt", "2"}}, 0, -1),
                     UnpackMode::kExtractAndLaunch),
              kExitSuccess);
    EXPECT_EQ(readBytes(destination + "/x/2.txt"), toBytes("2"));
}

// A reinstall replaces each file in one step once its new content is
// whole: a run that stops while writing (killed, a full disk) or cannot
// move the file leaves the old one as it was, and nothing of its own.
TEST_F(UnpackTest, ReinstallReplacesEachFileWholeOrNotAtAll) {
    // The first write and close are the archive's own file's.
    const std::vector<std::tuple<std::string, int, ExitCode, std::string>> cases = {
        {"", 0, kExitSuccess, "new content"},
        {"writeFile", 2, kExitEntryOutput, "old"},
        {"closeFile", 2, kExitEntryOutput, "old"},
        {"moveFileReplacing", 1, kExitEntryOutput, "old"}};
    for (const auto& [failing, nth, result, content] : cases) {
        fake::reset();
        writeBytes(destination + "/a.txt", toBytes("old"));
        std::vector<std::string> whileWriting;
        fake::onCall("writeFile", 2, [&] {
            whileWriting = written();
            EXPECT_EQ(readBytes(destination + "/a.txt"), toBytes("old")) << failing;
        });
        if (!failing.empty()) {
            fake::failCall(failing, nth);
        }
        EXPECT_EQ(unpack(makeArchive({{"a.txt", "new content"}}, 0, -1), UnpackMode::kInstall),
                  result)
            << failing;
        EXPECT_EQ(readBytes(destination + "/a.txt"), toBytes(content)) << failing;
        EXPECT_EQ(written(), std::vector<std::string>{"a.txt"}) << failing;
        ASSERT_EQ(whileWriting.size(), 2u) << "written beside the old file first: " << failing;
        EXPECT_EQ(whileWriting[1].rfind("vem", 0), 0u) << whileWriting[1];
    }
}

// Someone who may write into the target can plant a link where an entry or
// one of its levels goes, pointing at a file only an administrator may
// change. Nothing is written through it; the destination itself may be
// reached through one.
TEST_F(UnpackTest, LinksPlantedInTheDestinationAreNeverWrittenThrough) {
    writeBytes(dir / "victim.txt", toBytes("victim"));
    ASSERT_EQ(mkdir((dir / "victims").c_str(), 0755), 0);
    ASSERT_EQ(symlink((dir / "victim.txt").c_str(), (destination + "/a.txt").c_str()), 0);
    ASSERT_EQ(symlink((dir / "victims").c_str(), (destination + "/lib").c_str()), 0);
    for (const char* name : {"a.txt", "lib\\b.txt"}) {
        EXPECT_EQ(unpack(makeArchive({{name, "evil"}}, 0, -1), UnpackMode::kInstall),
                  kExitEntryOutput)
            << name;
    }
    EXPECT_EQ(unpack(makeArchive({{"lib\\b.txt", "evil"}}, 0, -1), UnpackMode::kExtractAndLaunch),
              kExitEntryOutput);
    EXPECT_EQ(readBytes(dir / "victim.txt"), toBytes("victim"));
    EXPECT_TRUE(listDirectory(dir / "victims").empty());

    const std::string linkedDestination = dir / "linked";
    ASSERT_EQ(symlink(destination.c_str(), linkedDestination.c_str()), 0);
    EXPECT_EQ(unpackInto(makeArchive({{"d\\e.txt", "e"}}, 0, -1), linkedDestination,
                         UnpackMode::kInstall),
              kExitSuccess);
    EXPECT_EQ(readBytes(destination + "/d/e.txt"), toBytes("e"));
}

// The records the count announces must be all there is: bytes after them
// are entries the count leaves out, and installing part of an archive would
// pass for success.
TEST_F(UnpackTest, BytesAfterTheCountedRecordsAreCorrupt) {
    const Bytes twoRecords = makeArchive({{"a.txt", "a"}, {"b.txt", "b"}}, 0, -1);
    for (const int32_t count : {0, -1, 1}) {
        Bytes archive = twoRecords;
        for (int k = 0; k < 4; ++k) {
            archive[3 + k] = static_cast<unsigned char>(static_cast<uint32_t>(count) >> (8 * k));
        }
        EXPECT_EQ(unpack(archive, UnpackMode::kInstall), kExitArchiveCorrupt) << count;
    }
    EXPECT_EQ(unpack(twoRecords, UnpackMode::kInstall), kExitSuccess);
}

TEST(ComposeOutputPath, AddsOneBackslashWhereNeeded) {
    char path[kPathBufferSize];
    ASSERT_TRUE(composeOutputPath("D:\\Apps\\", "a.txt", path));
    EXPECT_STREQ(path, "D:\\Apps\\a.txt");
    ASSERT_TRUE(composeOutputPath("D:\\Apps", "a.txt", path));
    EXPECT_STREQ(path, "D:\\Apps\\a.txt");
    ASSERT_TRUE(composeOutputPath("", "a.txt", path));
    EXPECT_STREQ(path, "\\a.txt");
    const std::string directory(250, 'd');
    EXPECT_TRUE(composeOutputPath(directory.c_str(), "12345678", path)); // 259 characters
    EXPECT_FALSE(composeOutputPath(directory.c_str(), "123456789", path));
    EXPECT_STREQ(path, "");
}

} // namespace
