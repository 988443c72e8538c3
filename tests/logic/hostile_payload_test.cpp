// Whole runs of the stub on hostile payloads, in both modes: names that try
// to leave the destination, a work directory taken by someone else, corrupt
// streams, and sizes that claim far more than the payload holds. Where a
// name could escape, each test shows both sides: opened the way the stub
// would open it without its check, the file lands outside; run through the
// stub, the run ends with exit code 14 and nothing exists there.
#include <gtest/gtest.h>

#include <lzma.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "app/run_main.h"
#include "common/bounded_text.h"
#include "fake_platform.h"
#include "payload/lzma_stage.h"
#include "payload/package_archive.h"
#include "platform/platform.h"
#include "temp_dir.h"

namespace {

// The archive's entries around a hostile one: entry 0 is designated, the
// next one is written before the hostile entry is reached.
std::vector<TestEntry> around(const std::string& hostileName) {
    return {{"Setup.exe", "setup"},
            {"Readme.txt", "read me"},
            {hostileName, "evil"},
            {"License.txt", "license"}};
}

std::string readText(const std::string& path) {
    const Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Everything a run can touch lives under one scratch directory:
//   dir/temp        the temporary directory (TMPDIR)
//   dir/home/apps   the install target, two levels below dir, so that one
//                   or two ".." from it still land inside the scratch tree
class HostilePayloadTest : public testing::Test {
  protected:
    void SetUp() override {
        fake::reset();
        ASSERT_TRUE(isDirectory(temp()));
        ASSERT_EQ(mkdir((dir / "home").c_str(), 0755), 0);
    }

    std::string temp() const { return dir / "temp"; }
    std::string target() const { return dir / "home/apps"; }
    std::string quotedTarget() const { return "\"" + target() + "\""; }

    // The one work directory a run in extract-and-launch mode left, or "".
    std::string workDirectory() const {
        for (const std::string& name : listDirectory(temp())) {
            if (isDirectory(temp() + "/" + name)) {
                return temp() + "/" + name;
            }
        }
        return "";
    }

    // Opens `name` below `destination` exactly as an unchecked unpacker
    // would (composed path, stream mode "wb+") and writes a byte.
    void writeWithoutCheck(const std::string& destination, const std::string& name) {
        char path[kPathBufferSize];
        ASSERT_TRUE(composeOutputPath(destination.c_str(), name.c_str(), path));
        platform::Stream stream = platform::openStream(path, "wb+");
        ASSERT_NE(stream, nullptr) << path;
        platform::writeStream("x", 1, 1, stream);
        platform::closeStream(stream);
    }

    static void removeTree(const std::string& path) { std::filesystem::remove_all(path); }

    ScopedTempDir dir;
    ScopedRunEnvironment environment{dir};
};

// A name that climbs and the place it would land from the destination.
struct Escape {
    const char* name;
    const char* landsFromTarget; // relative to dir, from dir/home/apps
    const char* landsFromWork;   // relative to dir, from dir/temp/<work>
};

const Escape kEscapes[] = {
    {"..\\evil.txt", "home/evil.txt", "temp/evil.txt"},
    {"../evil.txt", "home/evil.txt", "temp/evil.txt"},
    {"..\\..\\evil.txt", "evil.txt", "evil.txt"},
    {"..\\/evil.txt", "home/evil.txt", "temp/evil.txt"},
};

TEST_F(HostilePayloadTest, InstallRefusesNamesThatWouldLeaveTheTarget) {
    ASSERT_EQ(mkdir(target().c_str(), 0755), 0);
    for (const Escape& escape : kEscapes) {
        const std::string outside = dir / escape.landsFromTarget;

        writeWithoutCheck(target(), escape.name);
        EXPECT_TRUE(fileExists(outside)) << escape.name << ": unchecked, it lands outside";
        std::remove(outside.c_str());

        fake::setResource(makeLzma(makeArchive(around(escape.name))));
        EXPECT_EQ(runMain(quotedTarget().c_str()), kExitEntryOutput) << escape.name;
        EXPECT_FALSE(fileExists(outside)) << escape.name;
        EXPECT_EQ(listDirectory(target()), std::vector<std::string>{"Readme.txt"})
            << escape.name << ": the entry before stays, nothing after it is written";
        EXPECT_EQ(listDirectory(dir / "home"), std::vector<std::string>{"apps"});
        EXPECT_TRUE(fake::callsWithDetail("regSetValue").empty()) << "no registration";
        removeTree(target());
        ASSERT_EQ(mkdir(target().c_str(), 0755), 0);
    }
}

TEST_F(HostilePayloadTest, ExtractRefusesNamesThatWouldLeaveTheWorkDirectory) {
    for (const Escape& escape : kEscapes) {
        const std::string outside = dir / escape.landsFromWork;

        // A directory where the work directory would be, to show where the
        // name leads without the check.
        const std::string standIn = temp() + "/vemFFFF.tmp";
        ASSERT_EQ(mkdir(standIn.c_str(), 0755), 0);
        writeWithoutCheck(standIn, escape.name);
        EXPECT_TRUE(fileExists(outside)) << escape.name << ": unchecked, it lands outside";
        std::remove(outside.c_str());
        removeTree(standIn);

        fake::reset();
        fake::setResource(makeLzma(makeArchive(around(escape.name))));
        EXPECT_EQ(runMain(""), kExitEntryOutput) << escape.name;
        EXPECT_FALSE(fileExists(outside)) << escape.name;
        const std::string work = workDirectory();
        ASSERT_FALSE(work.empty());
        EXPECT_EQ(listDirectory(work), (std::vector<std::string>{"Readme.txt", "Setup.exe"}))
            << escape.name;
        EXPECT_TRUE(fake::callsWithDetail("createProcess").empty())
            << escape.name << ": nothing is started after a refused entry";
        removeTree(temp());
        ASSERT_EQ(mkdir(temp().c_str(), 0755), 0);
    }
}

TEST_F(HostilePayloadTest, AbsoluteDriveDeviceAndStreamNamesAreRefusedInBothModes) {
    const std::string absoluteHost = dir / "evil.txt";
    const std::string driveHost = "Z:" + absoluteHost; // Z: is the host's root
    const std::string names[] = {"\\evil.txt",
                                 absoluteHost,
                                 driveHost,
                                 "C:evil.txt",
                                 "Readme.txt:evil",
                                 "NUL",
                                 "con.txt",
                                 "COM1.log",
                                 "...",
                                 ".. ",
                                 "docs\\\\evil.txt",
                                 "evil.txt\\",
                                 "a|b",
                                 ""};
    ASSERT_EQ(mkdir(target().c_str(), 0755), 0);
    for (const std::string& name : names) {
        fake::reset();
        fake::setResource(makeLzma(makeArchive(around(name))));
        EXPECT_EQ(runMain(quotedTarget().c_str()), kExitEntryOutput) << name;
        EXPECT_EQ(listDirectory(target()), std::vector<std::string>{"Readme.txt"}) << name;

        fake::reset();
        fake::setResource(makeLzma(makeArchive(around(name))));
        EXPECT_EQ(runMain(""), kExitEntryOutput) << name;
        EXPECT_EQ(listDirectory(workDirectory()),
                  (std::vector<std::string>{"Readme.txt", "Setup.exe"}))
            << name;
        EXPECT_TRUE(fake::callsWithDetail("createProcess").empty()) << name;

        EXPECT_FALSE(fileExists(absoluteHost)) << name;
        removeTree(target());
        removeTree(temp());
        ASSERT_EQ(mkdir(target().c_str(), 0755), 0);
        ASSERT_EQ(mkdir(temp().c_str(), 0755), 0);
    }
}

// Install mode drops the designated entry unread by the file system, so its
// name is never used; extract-and-launch mode writes it and refuses it.
TEST_F(HostilePayloadTest, HostileDesignatedEntryIsOnlyRefusedWhereItWouldBeWritten) {
    const Bytes payload = makeLzma(makeArchive({{"..\\..\\evil.txt", "evil"}, {"a.txt", "a"}}));
    fake::setResource(payload);
    EXPECT_EQ(runMain(quotedTarget().c_str()), kExitSuccess);
    EXPECT_EQ(listDirectory(target()), std::vector<std::string>{"a.txt"});

    fake::reset();
    fake::setResource(payload);
    EXPECT_EQ(runMain(""), kExitEntryOutput);
    EXPECT_TRUE(listDirectory(workDirectory()).empty()) << "refused before anything is written";
    EXPECT_TRUE(fake::callsWithDetail("createProcess").empty());
    EXPECT_FALSE(fileExists(dir / "evil.txt"));
}

// Names are checked as text; the file system then resolves them, links
// included, as Windows does when CreateFile opens a path through a symbolic
// link or junction. An install target is the user's own choice of place: a
// link that someone planted there beforehand is followed. (The work
// directory cannot hold one: it is made fresh by the run itself, see the
// next test.)
TEST_F(HostilePayloadTest, LinksAlreadyInTheTargetAreFollowed) {
    ASSERT_EQ(mkdir(target().c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir / "elsewhere").c_str(), 0755), 0);
    writeBytes(dir / "victim.txt", toBytes("victim"));
    ASSERT_EQ(symlink((dir / "victim.txt").c_str(), (target() + "/Readme.txt").c_str()), 0);
    ASSERT_EQ(symlink((dir / "elsewhere").c_str(), (target() + "/docs").c_str()), 0);

    fake::setResource(makeLzma(
        makeArchive({{"Setup.exe", "setup"}, {"Readme.txt", "read me"}, {"docs\\a.txt", "a"}})));
    EXPECT_EQ(runMain(quotedTarget().c_str()), kExitSuccess);
    EXPECT_EQ(readText(dir / "victim.txt"), "read me") << "written through the file link";
    EXPECT_EQ(readText(dir / "elsewhere/a.txt"), "a") << "written through the folder link";
}

// Someone who sees the reserving file disappear could make a directory of
// that name (with a link in it, say) before the run does. The run then
// finds the name taken and unpacks nothing into it.
TEST_F(HostilePayloadTest, WorkDirectoryTakenBetweenDeleteAndCreateIsNotUsed) {
    writeBytes(dir / "victim.txt", toBytes("victim"));
    fake::setResource(makeLzma(makeArchive({{"Setup.exe", "setup"}, {"Readme.txt", "read me"}})));

    // The second deletion is the work directory's reserving file; it is the
    // empty "vem" file in the temporary directory at that moment.
    std::string reserved;
    fake::onCall("deleteFile", 2, [&] {
        for (const std::string& name : listDirectory(temp())) {
            if (readBytes(temp() + "/" + name).empty()) {
                reserved = temp() + "/" + name;
            }
        }
    });
    fake::onCall("createDirectory", 1, [&] {
        ASSERT_FALSE(reserved.empty());
        ASSERT_FALSE(fileExists(reserved)) << "the reserving file is already gone";
        ASSERT_EQ(mkdir(reserved.c_str(), 0777), 0);
        ASSERT_EQ(symlink((dir / "victim.txt").c_str(), (reserved + "/Setup.exe").c_str()), 0);
    });

    EXPECT_EQ(runMain(""), kExitEntryOutput);
    EXPECT_EQ(readText(dir / "victim.txt"), "victim");
    EXPECT_EQ(listDirectory(reserved), std::vector<std::string>{"Setup.exe"})
        << "the other party's directory holds only what they put there";
    EXPECT_EQ(fake::countCalls("openStream"), 2) << "the archive is never opened for unpacking";
    EXPECT_TRUE(fake::callsWithDetail("createProcess").empty());
    // The decoded archive stays behind, as after every failure once it exists.
    size_t files = 0;
    for (const std::string& name : listDirectory(temp())) {
        files += isDirectory(temp() + "/" + name) ? 0 : 1;
    }
    EXPECT_EQ(files, 1u);
}

// Decodes as much of a raw LZMA1 stream as the bytes allow, the way a
// streaming unpacker would, and returns what came out.
Bytes decodePrefix(const Bytes& lzmaFile) {
    lzma_options_lzma options{};
    options.dict_size = 1u << 20;
    options.lc = 3;
    options.lp = 0;
    options.pb = 2;
    const lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    EXPECT_EQ(lzma_raw_decoder(&stream, filters), LZMA_OK);
    Bytes out(1u << 20);
    stream.next_in = lzmaFile.data() + 13;
    stream.avail_in = lzmaFile.size() - 13;
    stream.next_out = out.data();
    stream.avail_out = out.size();
    // Stops with an error at the damage or where the bytes run out; what
    // came before stays in `out`.
    const lzma_ret status = lzma_code(&stream, LZMA_RUN);
    EXPECT_NE(status, LZMA_STREAM_END);
    out.resize(out.size() - stream.avail_out);
    lzma_end(&stream);
    return out;
}

TEST_F(HostilePayloadTest, CorruptStreamNeverYieldsAPartialArchive) {
    // Small entries first, then one that does not compress: a stream cut or
    // damaged in its last part still decodes the small ones whole.
    std::mt19937 random(5);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise) {
        c = static_cast<char>(random());
    }
    const std::vector<TestEntry> entries = {
        {"Setup.exe", "setup"}, {"Readme.txt", "read me"}, {"Noise.bin", noise}};
    const Bytes archive = makeArchive(entries);
    const size_t smallRecords = 15 + (4 + 9 + 4 + 5) + (4 + 10 + 4 + 7);
    const Bytes good = makeLzma(archive);

    Bytes cut(good.begin(), good.begin() + 13 + (good.size() - 13) * 3 / 4);
    Bytes damaged = good;
    for (size_t i = damaged.size() * 3 / 4; i < damaged.size(); i += 97) {
        damaged[i] ^= 0xA5;
    }
    for (const Bytes* payload : {&cut, &damaged}) {
        const Bytes prefix = decodePrefix(*payload);
        ASSERT_GE(prefix.size(), smallRecords);
        ASSERT_TRUE(std::equal(prefix.begin(), prefix.begin() + smallRecords, archive.begin()))
            << "a streaming unpacker would have the first two entries whole";

        fake::reset();
        fake::setResource(*payload);
        EXPECT_EQ(runMain(quotedTarget().c_str()), kExitArchiveCorrupt);
        EXPECT_TRUE(listDirectory(target()).empty());

        fake::reset();
        fake::setResource(*payload);
        EXPECT_EQ(runMain(""), kExitArchiveCorrupt);
        const std::string work = workDirectory();
        ASSERT_FALSE(work.empty()) << "the work directory is made before the archive is read";
        EXPECT_TRUE(listDirectory(work).empty());
        EXPECT_TRUE(fake::callsWithDetail("createProcess").empty());
        removeTree(temp());
        ASSERT_EQ(mkdir(temp().c_str(), 0755), 0);
    }
}

// Found by fuzzing: the stream's data is damaged right after its fourth
// byte, and the header states four bytes. liblzma reports the damage in the
// very call that fills the four-byte buffer; data past the stated size does
// not count, so the four bytes are the whole result.
TEST(HostileStream, DamageAfterTheStatedSizeIsIgnored) {
    fake::reset();
    ScopedTempDir dir;
    const Bytes stream = {0x5d, 0x3f, 0xff, 0xff, 0xff, 0x04, 0x00, 0x00, 0x00, 0x2e, 0x01,
                          0x00, 0x00, 0x00, 0x5d, 0x00, 0x00, 0x80, 0x00, 0xff, 0xfd, 0xff,
                          0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0f, 0xff, 0xdf, 0x45, 0x00,
                          0x00, 0x00, 0x05, 0x82, 0x22, 0xd7, 0xd9, 0x4e};
    const Bytes firstFour = {0xba, 0x00, 0x25, 0x52};
    ASSERT_EQ(decodePrefix(stream), firstFour) << "nothing decodes past the fourth byte";

    writeBytes(dir / "vem1.tmp", stream);
    writeBytes(dir / "vem2.tmp", {});
    decompressPayload((dir / "vem1.tmp").c_str(), (dir / "vem2.tmp").c_str());
    EXPECT_EQ(readBytes(dir / "vem2.tmp"), firstFour);
}

// Sizes that claim far more than the payload holds end in bounded time with
// exit code 9 in both modes; only a record that is whole is ever written.
TEST_F(HostilePayloadTest, ClaimsBeyondThePayloadEndTheRunWithExitNine) {
    Bytes hugeOutput = makeLzma(makeArchive({{"Setup.exe", "setup"}}));
    hugeOutput[5] = hugeOutput[6] = hugeOutput[7] = 0x00;
    hugeOutput[8] = 0xF0; // 0xF0000000 bytes of output claimed

    Bytes millionEntries = makeArchiveWithCount({{"Setup.exe", "setup"}}, 5000000, 1, 0);

    Bytes hugeData = makeArchive({{"Setup.exe", "setup"}});
    const size_t dataSize = 15 + 4 + 9;
    hugeData[dataSize] = 0xF0;
    hugeData[dataSize + 1] = hugeData[dataSize + 2] = hugeData[dataSize + 3] = 0xFF;

    Bytes hugeName = makeArchive({{"Setup.exe", "setup"}});
    hugeName[15] = 0xF0;
    hugeName[16] = hugeName[17] = hugeName[18] = 0xFF;

    struct Case {
        const char* what;
        Bytes payload;
        std::vector<std::string> writtenInExtractMode;
    };
    const Case cases[] = {
        {"output size 0xF0000000", hugeOutput, {}},
        {"5,000,000 entries, one present", makeLzma(millionEntries), {"Setup.exe"}},
        {"dataSize 0xFFFFFFF0", makeLzma(hugeData), {}},
        {"nameLength 0xFFFFFFF0", makeLzma(hugeName), {}},
    };
    for (const Case& c : cases) {
        fake::reset();
        fake::setResource(c.payload);
        EXPECT_EQ(runMain(quotedTarget().c_str()), kExitArchiveCorrupt) << c.what;
        EXPECT_TRUE(listDirectory(target()).empty()) << c.what << ": entry 0 is designated";

        fake::reset();
        fake::setResource(c.payload);
        EXPECT_EQ(runMain(""), kExitArchiveCorrupt) << c.what;
        const std::string work = workDirectory();
        ASSERT_FALSE(work.empty()) << c.what;
        EXPECT_EQ(listDirectory(work), c.writtenInExtractMode) << c.what;
        EXPECT_TRUE(fake::callsWithDetail("createProcess").empty()) << c.what;
        removeTree(temp());
        ASSERT_EQ(mkdir(temp().c_str(), 0755), 0);
    }
}

} // namespace
