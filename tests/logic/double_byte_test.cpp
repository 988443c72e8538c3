// Code page 932 imitated: the trail bytes 0x5C ('\') and 0x7C ('|') belong
// to their characters wherever the logic looks for a separator or refuses a
// character.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/run_main.h"
#include "app/run_options.h"
#include "common/bounded_text.h"
#include "fake_platform.h"
#include "format/entry_name.h"
#include "names.h"
#include "payload/package_archive.h"
#include "payloads.h"
#include "platform/platform.h"
#include "system/directory_utils.h"

namespace {

// "Table" (95 5C), "software" in katakana (83 5C 83 74 83 67) and "poster"
// in katakana with ".txt" (83 7C ...).
const std::string kTable = "\x95\x5C";
const std::string kSoftware = "\x83\x5C\x83\x74\x83\x67";
const std::string kPoster = "\x83\x7C\x83\x58\x83\x5E\x81\x5B.txt";

class DoubleByteTest : public testing::Test {
  protected:
    void SetUp() override {
        fake::reset();
        fake::setAnsiCodePage(932);
    }
    void TearDown() override { fake::reset(); }

    ScopedTempDir dir;
};

TEST_F(DoubleByteTest, TrailByte5CIsNoBackslash) {
    EXPECT_FALSE(endsWithBackslash(("C:\\" + kTable).c_str(), platform::isDbcsLeadByte));
    EXPECT_TRUE(endsWithBackslash(("C:\\" + kTable + "\\").c_str(), platform::isDbcsLeadByte));
    char path[kPathBufferSize];
    ASSERT_TRUE(composeOutputPath(("C:\\" + kTable).c_str(), kPoster.c_str(), path));
    EXPECT_EQ(std::string(path), "C:\\" + kTable + "\\" + kPoster);

    fake::setAnsiCodePage(1252);
    EXPECT_TRUE(endsWithBackslash(("C:\\" + kTable).c_str(), platform::isDbcsLeadByte))
        << "single-byte code page";
}

TEST_F(DoubleByteTest, EntryNamesAreCheckedCharacterByCharacter) {
    for (const std::string& name : {kPoster, kTable, kSoftware + "\\" + kTable + ".txt"}) {
        EXPECT_TRUE(isSafeEntryName(name.c_str(), platform::isDbcsLeadByte)) << name;
    }
    // A lead byte before a byte below 0x40 stands alone: the ':' counts.
    for (const std::string& name :
         {kTable + "|", kTable + "\\..\\..\\x", std::string("\x83:stream")}) {
        EXPECT_FALSE(isSafeEntryName(name.c_str(), platform::isDbcsLeadByte)) << name;
    }
    fake::setAnsiCodePage(1252);
    EXPECT_FALSE(isSafeEntryName(kPoster.c_str(), platform::isDbcsLeadByte))
        << "'|' in a single-byte code page";
}

// The stub's rule and the packer's are linked into this one program. Each
// walks with the lead bytes it is handed: the stub's follow the platform's
// code page, the packer's the code page it stores names in.
TEST_F(DoubleByteTest, StubAndPackerEachWalkWithTheLeadBytesTheyAreGiven) {
    const std::string so = "\x83\x5C"; // katakana "so": its trail byte is 0x5C
    const LeadByteTest packer932 = vempack::CodePage(932).leadByteTest();
    EXPECT_TRUE(isSafeEntryName(so.c_str(), platform::isDbcsLeadByte));
    EXPECT_FALSE(isSafeEntryName(so.c_str(), neverLeadByte)) << "taken bytewise: an empty level";
    EXPECT_FALSE(vempack::nameProblem(so, neverLeadByte).empty());
    fake::setAnsiCodePage(1252);
    EXPECT_FALSE(isSafeEntryName(so.c_str(), platform::isDbcsLeadByte));
    EXPECT_EQ(vempack::nameProblem(so, packer932), "");
}

TEST_F(DoubleByteTest, LevelsAreMadeWholeCharactersAtATime) {
    const std::string path = dir.path() + "\\" + kSoftware + "\\App";
    ASSERT_TRUE(createDirectoryPath(path.c_str()));
    EXPECT_TRUE(isDirectory(dir / (kSoftware + "/App")));
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{kSoftware});
    EXPECT_EQ(fake::countCalls("createDirectory"), 2);
    EXPECT_TRUE(directoryExists((dir.path() + "\\" + kSoftware).c_str()));
}

TEST_F(DoubleByteTest, QuoteAfterALeadByteStillEndsTheProgramName) {
    // No trail byte is a quote or a blank, so the tail comes out as a plain
    // byte walk finds it; this fails under the rule that a lead byte takes
    // whatever byte follows it, which would swallow the closing quote.
    EXPECT_STREQ(commandLineTail("\"C:\\setup\x83\" /s"), "/s");
}

TEST_F(DoubleByteTest, InstallAndExtractWithTrailBytesInTargetAndEntryName) {
    ScopedRunEnvironment environment(dir);
    const std::vector<TestEntry> entries = {{"Setup.exe", "setup"}, {kPoster, "poster"}};
    fake::setResource(makeLzma(makeArchive(entries)));
    const std::string target = dir.path() + "\\" + kTable;
    EXPECT_EQ(runMain(("\"" + target + "\"").c_str()), kExitSuccess);
    EXPECT_EQ(readBytes(dir / (kTable + "/" + kPoster)), toBytes("poster"));
    EXPECT_EQ(listDirectory(dir / kTable), std::vector<std::string>{kPoster});

    fake::setResource(makeLzma(makeArchive({{kPoster, "poster"}, {"a.txt", "a"}})));
    EXPECT_EQ(runMain(""), kExitSuccess);
    const std::vector<std::string> started = fake::callsWithDetail("createProcess");
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].substr(started[0].size() - kPoster.size() - 1), "\\" + kPoster);
}

} // namespace
