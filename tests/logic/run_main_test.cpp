#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app/entry.h"
#include "app/run_main.h"
#include "fake_platform.h"
#include "payloads.h"
#include "platform/platform.h"
#include "system/registry_access.h"

namespace {

const std::vector<TestEntry> kEntries = {{"Setup.exe", "setup"},
                                         {"Vemlo Reader.exe", "reader"},
                                         {"Uninstall.exe", "uninstaller"},
                                         {"Readme.txt", "read me"},
                                         {"License.txt", "license"}};

// Each run gets its own temporary directory, registry stores and folders.
class RunMainTest : public testing::Test {
  protected:
    void SetUp() override {
        fake::reset();
        fake::setResource(makeLzma(makeArchive(kEntries)));
    }

    std::string temp() const { return dir / "temp"; }
    std::string target() const { return dir / "apps"; }
    std::string quotedTarget() const { return "\"" + target() + "\""; }
    std::vector<std::string> tempFiles() const { return listDirectory(temp()); }

    ScopedTempDir dir;
    ScopedRunEnvironment environment{dir};
};

TEST_F(RunMainTest, ExtractAndLaunchUnpacksIntoOneWorkDirectoryAndStartsEntryZero) {
    EXPECT_EQ(runMain(""), kExitSuccess);
    const std::vector<std::string> left = tempFiles();
    ASSERT_EQ(left.size(), 1u) << "only the work directory stays";
    EXPECT_EQ(left[0].rfind("vem", 0), 0u);
    const std::string work = temp() + "/" + left[0];
    ASSERT_TRUE(isDirectory(work));
    EXPECT_EQ(listDirectory(work).size(), 5u);
    EXPECT_EQ(readBytes(work + "/Setup.exe"), toBytes("setup"));
    EXPECT_EQ(fake::callsWithDetail("createProcess"),
              std::vector<std::string>{temp() + "/" + left[0] + "\\Setup.exe"});
}

TEST_F(RunMainTest, BothTemporaryFilesExistOnceTheSecondIsReserved) {
    std::vector<std::string> atDecode;
    std::vector<size_t> sizes;
    // The second file created is the second temporary file, taking the
    // decoded archive.
    fake::onCall("createFileForWriting", 2, [&] {
        atDecode = tempFiles();
        for (const std::string& name : atDecode) {
            sizes.push_back(readBytes(temp() + "/" + name).size());
        }
    });
    EXPECT_EQ(runMain(""), kExitSuccess);
    ASSERT_EQ(atDecode.size(), 2u);
    EXPECT_EQ(atDecode[0].rfind("vem", 0), 0u);
    EXPECT_EQ(atDecode[1].rfind("vem", 0), 0u);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<size_t>{0, makeLzma(makeArchive(kEntries)).size()}))
        << "one holds the payload, the other is reserved empty";
}

TEST_F(RunMainTest, InstallWritesAllButTheDesignatedEntry) {
    EXPECT_EQ(runMain(quotedTarget().c_str()), kExitSuccess);
    EXPECT_EQ(listDirectory(target()),
              (std::vector<std::string>{"License.txt", "Readme.txt", "Uninstall.exe",
                                        "Vemlo Reader.exe"}));
    EXPECT_TRUE(tempFiles().empty()) << "no temporary file is left";
    EXPECT_TRUE(fake::callsWithDetail("createProcess").empty());
}

TEST_F(RunMainTest, TargetThatCannotBeCreatedIsExitThreeBeforeAnyTemporaryFile) {
    EXPECT_EQ(runMain("\"Q:\\Apps\" /d"), kExitTargetDirectory);
    EXPECT_EQ(runMain(("\"" + std::string(300, 'a') + "\"").c_str()), kExitTargetDirectory);
    // 242 characters fit the registration paths, 243 do not.
    mkdir(target().c_str(), 0755);
    const std::string base = target() + "/";
    EXPECT_EQ(runMain(("\"" + base + std::string(243 - base.size(), 'x') + "\"").c_str()),
              kExitTargetDirectory);
    EXPECT_EQ(runMain(("\"" + base + std::string(243 - base.size(), 'x') + "\\\"").c_str()),
              kExitTargetDirectory);
    EXPECT_TRUE(tempFiles().empty());
    EXPECT_EQ(runMain(("\"" + base + std::string(242 - base.size(), 'x') + "\"").c_str()),
              kExitSuccess);
}

// An empty or blank target would be joined to the root of the current
// drive; it names no directory and is refused before anything is touched.
// A relative one is taken from the current directory and recorded as the
// full path it names.
TEST_F(RunMainTest, TargetIsRefusedWhenBlankAndMadeAbsoluteWhenRelative) {
    for (const char* tail : {"\"\"", "\"   \" /d", "\"\t\""}) {
        EXPECT_EQ(runMain(tail), kExitTargetDirectory) << tail;
    }
    EXPECT_EQ(fake::countCalls("getTempPath"), 0);
    EXPECT_EQ(fake::countCalls("createDirectory"), 0);

    const std::string previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const ExitCode result = runMain("\"rel\\sub\"");
    std::filesystem::current_path(previous);
    EXPECT_EQ(result, kExitSuccess);
    EXPECT_EQ(listDirectory(dir / "rel/sub").size(), 4u);
    std::string windowsDir = "Z:" + dir.path();
    std::replace(windowsDir.begin(), windowsDir.end(), '/', '\\');
    char installPath[260] = "<missing>";
    readRegistryValue(
        {platform::kHkeyLocalMachine, "Software\\Vemlo Software\\Vemlo Reader", "InstallPath"}, "",
        installPath);
    EXPECT_EQ(std::string(installPath), windowsDir + "\\rel\\sub\\");
}

TEST_F(RunMainTest, NoTemporaryDirectoryIsExitFour) {
    fake::failCall("getTempPath");
    EXPECT_EQ(runMain(quotedTarget().c_str()), kExitTempDirectory);
    EXPECT_TRUE(isDirectory(target())) << "the target made before stays";
    EXPECT_TRUE(tempFiles().empty());

    // A temporary path longer than the buffer cannot be obtained either.
    ScopedEnv longTemp("TMPDIR", "/" + std::string(300, 't'));
    EXPECT_EQ(runMain(""), kExitTempDirectory);
}

TEST_F(RunMainTest, NoTemporaryNameIsExitFiveWithWhatStaysBehind) {
    fake::failCall("getTempFileName", 1);
    EXPECT_EQ(runMain(""), kExitTempFileName);
    EXPECT_TRUE(tempFiles().empty());

    fake::failCall("getTempFileName", 2);
    EXPECT_EQ(runMain(""), kExitTempFileName);
    std::vector<std::string> left = tempFiles();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(readBytes(temp() + "/" + left[0]), makeLzma(makeArchive(kEntries)))
        << "the first file holds the whole payload";
    std::remove((temp() + "/" + left[0]).c_str());

    fake::failCall("getTempFileName", 3); // the work directory's name
    EXPECT_EQ(runMain(""), kExitTempFileName);
    left = tempFiles();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(readBytes(temp() + "/" + left[0]), makeArchive(kEntries))
        << "the second file holds the whole archive";
}

TEST_F(RunMainTest, TemporaryDirectoryThatDoesNotExistIsExitFive) {
    ScopedEnv missing("TMPDIR", dir / "missing");
    EXPECT_EQ(runMain(""), kExitTempFileName);
}

TEST_F(RunMainTest, FirstFileThatCannotBeCreatedIsExitSeven) {
    fake::failCall("createFileForWriting");
    EXPECT_EQ(runMain(""), kExitTempFileCreate);
    const std::vector<std::string> left = tempFiles();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(readBytes(temp() + "/" + left[0]).empty());
}

TEST_F(RunMainTest, ArchiveThatCannotBeOpenedIsExitEight) {
    fake::failCall("createFileForWriting", 2); // the archive's file
    EXPECT_EQ(runMain(""), kExitArchiveOpen);
    EXPECT_EQ(fake::countCalls("createProcess"), 0);
}

// A disk that fills up while the payload is copied out: only what reached
// the first file is decoded, which is not a whole stream.
TEST_F(RunMainTest, FirstFileCutShortIsExitNine) {
    fake::shortenNextWrite(100);
    EXPECT_EQ(runMain(quotedTarget().c_str()), kExitArchiveCorrupt);
    EXPECT_TRUE(listDirectory(target()).empty());
}

// Entries are written from the front of the payload while the rest is
// decoded: by a second thread, or slice by slice as the unpacking asks where
// none can be had. A payload found damaged part-way leaves nothing of what
// was written from it; an install writes nothing before the whole decodes.
TEST_F(RunMainTest, EntriesAreWrittenAsThePayloadDecodesAndNoneStayWhenItBreaksOff) {
    std::vector<TestEntry> entries;
    for (uint32_t i = 0; i < 3; ++i) {
        const Bytes quarter = noiseBytes(256 * 1024, i);
        std::string data;
        for (int copy = 0; copy < 4; ++copy) {
            data.append(quarter.begin(), quarter.end());
        }
        entries.push_back({"bin\\part\\" + std::to_string(i) + ".dat", data});
    }
    const Bytes archive = makeArchive(entries);
    const Bytes whole = makeLzma(archive);
    const Bytes cut(whole.begin(), whole.begin() + whole.size() * 4 / 5);
    struct Case {
        bool broken, secondThread, install;
        ExitCode result;
        size_t entriesWritten;
    };
    const std::vector<Case> cases = {
        {false, true, false, kExitSuccess, 3},        {false, false, false, kExitSuccess, 3},
        {false, false, true, kExitSuccess, 2},        {true, true, false, kExitArchiveCorrupt, 0},
        {true, false, false, kExitArchiveCorrupt, 2}, {true, false, true, kExitArchiveCorrupt, 0},
    };
    for (const Case& c : cases) {
        const std::string label =
            std::to_string(c.broken) + std::to_string(c.secondThread) + std::to_string(c.install);
        removeTree(temp());
        removeTree(target());
        ASSERT_EQ(mkdir(temp().c_str(), 0755), 0);
        fake::reset();
        fake::setResource(c.broken ? cut : whole);
        if (!c.secondThread) {
            fake::failCall("startWorker");
        }
        size_t archiveAtFirstEntry = 0;
        fake::onCall("createFileForWriting", 3, [&] {
            for (const std::string& name : tempFiles()) {
                if (!isDirectory(temp() + "/" + name)) {
                    archiveAtFirstEntry = readBytes(temp() + "/" + name).size();
                }
            }
        });
        const std::string arguments = c.install ? quotedTarget() : "";
        EXPECT_EQ(runMain(arguments.c_str()), c.result) << label;
        std::string into = target();
        for (const std::string& name : tempFiles()) {
            if (!c.install && isDirectory(temp() + "/" + name)) {
                into = temp() + "/" + name;
            }
        }
        size_t created = 0;
        for (const std::string& path : fake::callsWithDetail("createFileForWriting")) {
            created += path.rfind(into, 0) == 0 ? 1 : 0;
        }
        EXPECT_EQ(created, c.entriesWritten) << label;
        if (!c.secondThread && !c.install) {
            EXPECT_LT(archiveAtFirstEntry, archive.size()) << label << ": not decoded first";
        }
        const std::vector<std::string> unpacked = listDirectory(into);
        if (c.broken) {
            EXPECT_TRUE(unpacked.empty()) << label;
            EXPECT_EQ(fake::countCalls("createProcess"), 0) << label;
        } else {
            EXPECT_EQ(readBytes(into + "/bin/part/2.dat"), toBytes(entries[2].data)) << label;
        }
        for (const std::string& name : tempFiles()) {
            const std::string path = temp() + "/" + name;
            if (!isDirectory(path)) {
                EXPECT_EQ(readBytes(path).size(), c.broken ? 0u : archive.size()) << label;
            }
        }
    }
}

// Between the delete of the reserving file and the making of the directory
// another run's name service may hand out the same name, or someone may
// make a directory there (with a link in it, say). The name is then
// theirs: it is left as it is and the run goes on with a fresh one.
TEST_F(RunMainTest, WorkDirectoryNameTakenInTheGapIsGivenUpForAFreshOne) {
    writeBytes(dir / "victim.txt", toBytes("victim"));
    // The second deletion is the work directory's reserving file: the one
    // "vem" file that the third name request added.
    std::vector<std::string> before;
    std::string reserved;
    fake::onCall("getTempFileName", 3, [&] { before = tempFiles(); });
    fake::onCall("deleteFile", 2, [&] {
        for (const std::string& name : tempFiles()) {
            if (std::find(before.begin(), before.end(), name) == before.end()) {
                reserved = temp() + "/" + name;
            }
        }
    });
    fake::onCall("createPrivateDirectory", 1, [&] {
        ASSERT_FALSE(reserved.empty());
        ASSERT_FALSE(fileExists(reserved)) << "the reserving file is already gone";
        ASSERT_EQ(mkdir(reserved.c_str(), 0777), 0);
        ASSERT_EQ(symlink((dir / "victim.txt").c_str(), (reserved + "/Setup.exe").c_str()), 0);
    });

    EXPECT_EQ(runMain(""), kExitSuccess);
    EXPECT_EQ(readBytes(dir / "victim.txt"), toBytes("victim"));
    EXPECT_EQ(listDirectory(reserved), std::vector<std::string>{"Setup.exe"})
        << "the other party's directory holds only what they put there";
    const std::vector<std::string> launched = fake::callsWithDetail("createProcess");
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].find(reserved), std::string::npos) << launched[0];
}

// A name found taken every time, and a directory that cannot be made at all,
// end the run with nothing unpacked; only a taken name is tried again.
TEST_F(RunMainTest, WorkDirectoryThatCannotBeMadeIsExitFourteen) {
    const std::vector<std::pair<uint32_t, int>> cases = {
        {platform::kErrorAlreadyExists, 8}, {platform::kErrorFileExists, 8}, {31, 1}};
    for (const auto& [error, attempts] : cases) {
        fake::reset();
        fake::setResource(makeLzma(makeArchive(kEntries)));
        fake::failCall("createPrivateDirectory", 1, true, error);
        EXPECT_EQ(runMain(""), kExitEntryOutput) << error;
        EXPECT_EQ(fake::countCalls("createPrivateDirectory"), attempts) << error;
        EXPECT_EQ(fake::countCalls("createProcess"), 0) << error;
        EXPECT_EQ(fake::countCalls("sleepMilliseconds"), 0) << error;
    }
}

TEST_F(RunMainTest, NothingDesignatedUnpacksAndStartsNothing) {
    fake::setResource(makeLzma(makeArchive(kEntries, 0, 0)));
    EXPECT_EQ(runMain(""), kExitSuccess);
    EXPECT_TRUE(fake::callsWithDetail("createProcess").empty());
    fake::setResource(makeLzma(makeArchive(kEntries, 0, 0)));
    EXPECT_EQ(runMain(quotedTarget().c_str()), kExitSuccess);
    EXPECT_EQ(listDirectory(target()).size(), 5u) << "nothing excluded in install mode";
}

TEST_F(RunMainTest, EntryIsStartedWithItsPathQuotedAsTheCommandLine) {
    EXPECT_EQ(runMain(""), kExitSuccess);
    const std::vector<std::string> started = fake::callsWithDetail("createProcess");
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(fake::callsWithDetail("commandLine"),
              std::vector<std::string>{"\"" + started[0] + "\""});
    EXPECT_EQ(fake::countCalls("shellExecute"), 0);
}

TEST_F(RunMainTest, EntryNeedingElevationIsStartedThroughTheShell) {
    fake::failCall("createProcess", 1, false, platform::kErrorElevationRequired);
    EXPECT_EQ(runMain(""), kExitSuccess);
    const std::vector<std::string> shell = fake::callsWithDetail("shellExecute");
    ASSERT_EQ(shell.size(), 1u);
    EXPECT_EQ(shell[0].rfind(temp() + "/vem", 0), 0u);
    EXPECT_EQ(shell[0].substr(shell[0].size() - 10), "\\Setup.exe");

    fake::failCall("createProcess", 1, false, platform::kErrorElevationRequired);
    fake::failCall("shellExecute"); // declined, or the shell failed
    EXPECT_EQ(runMain(""), kExitEntryStart);
}

TEST_F(RunMainTest, EntryThatCannotBeStartedIsExitFourteen) {
    fake::failCall("createProcess", 1, false, 2); // ERROR_FILE_NOT_FOUND
    EXPECT_EQ(runMain(""), kExitEntryStart);
    EXPECT_EQ(fake::countCalls("shellExecute"), 0);
}

// A scanner opens every freshly written file; while it holds one, opening,
// deleting or reusing the name fails for a moment with a sharing violation
// or access denied. Every such step of a run waits for it, briefly.
TEST_F(RunMainTest, FileHeldForAMomentIsWaitedFor) {
    const std::vector<std::pair<std::string, int>> held = {
        {"createFileForWriting", 2}, // the second temporary file, written
        {"deleteFile", 1},           // the first, when decoded
        {"deleteFile", 2},           // the work directory's reserving file
        {"createPrivateDirectory", 1},
        {"createFileForWriting", 3}, // the first entry's output file
        {"deleteFile", 3}};          // the archive, when unpacked
    for (const uint32_t error : {platform::kErrorSharingViolation, platform::kErrorAccessDenied}) {
        for (const auto& [operation, nth] : held) {
            fake::reset();
            fake::setResource(makeLzma(makeArchive(kEntries)));
            fake::failCalls(operation, nth, 2, error);
            EXPECT_EQ(runMain(""), kExitSuccess) << operation << " " << nth << " error " << error;
            const std::vector<std::string> left = tempFiles();
            ASSERT_EQ(left.size(), 1u) << operation << " " << nth << ": no temporary file stays";
            EXPECT_EQ(listDirectory(temp() + "/" + left[0]).size(), 5u) << operation << " " << nth;
            EXPECT_EQ(fake::countCalls("createProcess"), 1) << operation << " " << nth;
            removeTree(temp() + "/" + left[0]);
        }
    }
}

TEST_F(RunMainTest, FileHeldForGoodEndsTheRunAfterABoundedWait) {
    // Every attempt at the archive's file: six, with five pauses between.
    fake::failCalls("createFileForWriting", 2, 6, platform::kErrorSharingViolation);
    EXPECT_EQ(runMain(""), kExitArchiveOpen);
    unsigned waited = 0;
    for (const std::string& pause : fake::callsWithDetail("sleepMilliseconds")) {
        waited += static_cast<unsigned>(std::stoul(pause));
    }
    EXPECT_GE(fake::countCalls("sleepMilliseconds"), 3);
    EXPECT_LE(waited, 2000u);
}

// Run as SYSTEM the temporary directory is one where every user may create
// files: the work directory is made private, never with default security.
TEST_F(RunMainTest, WorkDirectoryIsMadePrivate) {
    EXPECT_EQ(runMain(""), kExitSuccess);
    EXPECT_EQ(fake::countCalls("createPrivateDirectory"), 1);
    EXPECT_EQ(fake::countCalls("createDirectory"), 0);
    const std::vector<std::string> left = tempFiles();
    ASSERT_EQ(left.size(), 1u);
    struct stat status;
    ASSERT_EQ(stat((temp() + "/" + left[0]).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
}

// No "insert a disk" box may wait for a click: the quiet error mode is the
// process's first call, and the entry gets the mode the process was given.
TEST_F(RunMainTest, ErrorModeIsQuietFromTheStartAndTheEntryGetsThePreviousOne) {
    platform::setErrorMode(0x4);
    fake::reset();
    fake::setResource(makeLzma(makeArchive(kEntries)));
    EXPECT_EQ(vemsetupMain("\"C:\\setup.exe\""), kExitSuccess);
    const std::vector<std::string>& calls = fake::calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], "setErrorMode");
    EXPECT_EQ(fake::callsWithDetail("setErrorMode"),
              (std::vector<std::string>{std::to_string(platform::kSemFailCriticalErrors |
                                                       platform::kSemNoOpenFileErrorBox),
                                        "4"}));
    const auto restored = std::find(calls.begin(), calls.end(), "setErrorMode:4");
    const auto started = std::find(calls.begin(), calls.end(), "createProcess");
    EXPECT_LT(restored, started);
}

// Process creation starts programs only; an .msi or a .bat is opened by the
// shell, as Explorer would open it.
TEST_F(RunMainTest, EntryThatIsNoProgramIsStartedThroughTheShell) {
    fake::failCall("createProcess", 1, false, platform::kErrorBadExeFormat);
    EXPECT_EQ(runMain(""), kExitSuccess);
    EXPECT_EQ(fake::countCalls("shellExecute"), 1);
}

// Entries may sit in folders; their levels are made inside the destination,
// and a designated entry in a folder is started from there.
TEST_F(RunMainTest, EntriesInFoldersAreUnpackedAndStartedFromThere) {
    const std::vector<TestEntry> nested = {{"bin\\setup.exe", "setup"},
                                           {"plugins\\platforms\\q.dll", "q"},
                                           {"Vemlo Reader.exe", "reader"}};
    fake::setResource(makeLzma(makeArchive(nested)));
    EXPECT_EQ(runMain(""), kExitSuccess);
    const std::vector<std::string> left = tempFiles();
    ASSERT_EQ(left.size(), 1u);
    const std::string work = temp() + "/" + left[0];
    EXPECT_EQ(readBytes(work + "/plugins/platforms/q.dll"), toBytes("q"));
    EXPECT_EQ(fake::callsWithDetail("createProcess"),
              std::vector<std::string>{work + "\\bin\\setup.exe"});

    fake::setResource(makeLzma(makeArchive(nested)));
    EXPECT_EQ(runMain(quotedTarget().c_str()), kExitSuccess);
    EXPECT_EQ(listDirectory(target()), (std::vector<std::string>{"Vemlo Reader.exe", "plugins"}));
    EXPECT_EQ(readBytes(target() + "/plugins/platforms/q.dll"), toBytes("q"));
}

} // namespace
