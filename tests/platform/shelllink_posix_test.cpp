#include "platform/posix/lnk_format.h"
#include "platform/posix/posix_registry_shell.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "scoped_environment.h"

namespace {

using platform_test::readWholeFile;

constexpr uint32_t kHeaderSize = 0x4C;
const unsigned char kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

uint32_t u32At(const std::string& bytes, size_t at) {
    if (at + 4 > bytes.size()) {
        ADD_FAILURE() << "read past the end at " << at;
        return 0;
    }
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

uint16_t u16At(const std::string& bytes, size_t at) {
    if (at + 2 > bytes.size()) {
        ADD_FAILURE() << "read past the end at " << at;
        return 0;
    }
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// What a Shell Link file says, read by the documented layout.
struct ParsedLink {
    uint32_t flags = 0;
    uint32_t showCommand = 0;
    std::string localBasePath;
    std::string commonPathSuffix;
    std::u16string name;
    bool complete = false; // every structure read and the terminal block found at the end
};

ParsedLink parseLink(const std::string& bytes) {
    ParsedLink link;
    EXPECT_GE(bytes.size(), kHeaderSize + 4u);
    if (bytes.size() < kHeaderSize + 4) {
        return link;
    }
    EXPECT_EQ(u32At(bytes, 0), kHeaderSize);
    EXPECT_EQ(0, memcmp(bytes.data() + 4, kLinkClsid, 16));
    link.flags = u32At(bytes, 20);
    for (size_t at = 28; at < 52; ++at) {
        EXPECT_EQ(bytes[at], 0) << "times are left unset, byte " << at;
    }
    link.showCommand = u32At(bytes, 60);
    size_t at = kHeaderSize;
    if (link.flags & posix::kLinkHasLinkInfo) {
        uint32_t size = u32At(bytes, at);
        uint32_t headerSize = u32At(bytes, at + 4);
        EXPECT_EQ(headerSize, 0x1Cu);
        EXPECT_EQ(u32At(bytes, at + 8), 1u); // VolumeIDAndLocalBasePath
        uint32_t volumeOffset = u32At(bytes, at + 12);
        uint32_t baseOffset = u32At(bytes, at + 16);
        EXPECT_EQ(u32At(bytes, at + 20), 0u);
        uint32_t suffixOffset = u32At(bytes, at + 24);
        if (size > bytes.size() - at || baseOffset >= size || suffixOffset >= size) {
            ADD_FAILURE() << "LinkInfo offsets out of range";
            return link;
        }
        uint32_t volumeSize = u32At(bytes, at + volumeOffset);
        EXPECT_GT(volumeSize, 0x10u);
        EXPECT_EQ(u32At(bytes, at + volumeOffset + 4), 3u); // DRIVE_FIXED
        link.localBasePath = std::string(bytes.c_str() + at + baseOffset);
        link.commonPathSuffix = std::string(bytes.c_str() + at + suffixOffset);
        EXPECT_EQ(suffixOffset + link.commonPathSuffix.size() + 1, size);
        at += size;
    }
    if (link.flags & posix::kLinkHasName) {
        uint16_t count = u16At(bytes, at);
        at += 2;
        for (uint16_t i = 0; i < count; ++i, at += 2) {
            link.name.push_back(static_cast<char16_t>(u16At(bytes, at)));
        }
    }
    link.complete = at + 4 == bytes.size() && u32At(bytes, at) == 0;
    return link;
}

std::vector<uint16_t> wide(const std::string& text) {
    std::vector<uint16_t> out;
    for (unsigned char c : text) {
        out.push_back(c);
    }
    out.push_back(0);
    return out;
}

// Where lnkinfo is on PATH, or empty.
std::string findLnkinfo() {
    const char* path = getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= directories.size()) {
        size_t end = directories.find(':', start);
        if (end == std::string::npos) {
            end = directories.size();
        }
        std::string candidate = directories.substr(start, end - start) + "/lnkinfo";
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return std::string();
}

class PosixShellLink : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(directory_.valid()); }

    // The Windows spelling of a file in the test directory ("Z:" is the host root).
    std::string windowsPath(const std::string& name) const {
        std::string path = "Z:" + directory_.path() + "/" + name;
        for (char& c : path) {
            if (c == '/') {
                c = '\\';
            }
        }
        return path;
    }
    std::string hostPath(const std::string& name) const { return directory_.path() + "/" + name; }

    // The steps the shortcut code takes, returning Save's result.
    long saveLink(const std::string& linkPath, const char* target, const char* description) {
        platform::ShellLink link = nullptr;
        EXPECT_EQ(0, posix::createShellLink(&link));
        if (!link) {
            return -1;
        }
        EXPECT_EQ(0, posix::shellLinkSetPath(link, target));
        EXPECT_EQ(0, posix::shellLinkSetDescription(link, description));
        platform::PersistFile persist = nullptr;
        EXPECT_EQ(0, posix::shellLinkQueryPersistFile(link, &persist));
        long result = -1;
        if (persist) {
            result = posix::persistFileSave(persist, wide(linkPath).data(), true);
            posix::persistFileRelease(persist);
        }
        posix::shellLinkRelease(link);
        return result;
    }

    platform_test::TemporaryDirectory directory_;
};

TEST_F(PosixShellLink, SavedFileFollowsTheShellLinkLayout) {
    ASSERT_EQ(
        0, saveLink(windowsPath("Vemlo Reader.lnk"), "C:\\Apps\\Vemlo Reader.exe", "Vemlo Reader"));
    std::string bytes = readWholeFile(hostPath("Vemlo Reader.lnk"));
    ParsedLink link = parseLink(bytes);
    EXPECT_TRUE(link.complete);
    EXPECT_EQ(link.flags, posix::kLinkHasLinkInfo | posix::kLinkHasName | posix::kLinkIsUnicode);
    EXPECT_EQ(link.showCommand, 1u);
    EXPECT_EQ(link.localBasePath, "C:\\Apps\\Vemlo Reader.exe");
    EXPECT_EQ(link.commonPathSuffix, "");
    EXPECT_EQ(link.name, u"Vemlo Reader");
}

TEST_F(PosixShellLink, LnkinfoReadsTargetAndDescription) {
    std::string lnkinfo = findLnkinfo();
    if (lnkinfo.empty()) {
        GTEST_SKIP() << "lnkinfo (liblnk-utils) is not installed";
    }
    const char* target = "/tmp/apps\\Vemlo Reader.exe";
    ASSERT_EQ(0, saveLink(windowsPath("Uninstall.lnk"), target, "Vemlo Reader"));
    std::string command = "'" + lnkinfo + "' '" + hostPath("Uninstall.lnk") + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        output.append(chunk, got);
    }
    int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    EXPECT_NE(std::string::npos, output.find("Local path\t\t\t: " + std::string(target) + "\n"))
        << output;
    EXPECT_NE(std::string::npos, output.find("Description\t\t\t: Vemlo Reader\n")) << output;
}

TEST_F(PosixShellLink, SaveReplacesAnExistingLinkWhole) {
    ASSERT_EQ(0, saveLink(windowsPath("a.lnk"), "C:\\A.exe", "first description"));
    ASSERT_EQ(0, saveLink(windowsPath("a.lnk"), "C:\\B.exe", "second"));
    ParsedLink link = parseLink(readWholeFile(hostPath("a.lnk")));
    EXPECT_TRUE(link.complete);
    EXPECT_EQ(link.localBasePath, "C:\\B.exe");
    EXPECT_EQ(link.name, u"second");
    EXPECT_EQ(std::vector<std::string>{"a.lnk"},
              platform_test::directoryEntries(directory_.path()));
}

TEST_F(PosixShellLink, SaveFailsWhereTheFileCannotBe) {
    EXPECT_LT(saveLink("C:\\Desk\\Vemlo Reader.lnk", "C:\\A.exe", "d"), 0);
    EXPECT_LT(saveLink(windowsPath("missing\\Vemlo Reader.lnk"), "C:\\A.exe", "d"), 0);
    EXPECT_TRUE(platform_test::directoryEntries(directory_.path()).empty());
}

TEST_F(PosixShellLink, AnsiLinkPathIsConvertedBack) {
    // U+00E9 and U+20AC are the ANSI bytes E9 and 80.
    std::vector<uint16_t> path = wide(windowsPath("caf"));
    path.pop_back();
    path.push_back(0x00E9);
    path.push_back(0x20AC);
    for (char c : std::string(".lnk")) {
        path.push_back(static_cast<uint16_t>(c));
    }
    path.push_back(0);
    platform::ShellLink link = nullptr;
    ASSERT_EQ(0, posix::createShellLink(&link));
    platform::PersistFile persist = nullptr;
    ASSERT_EQ(0, posix::shellLinkQueryPersistFile(link, &persist));
    EXPECT_EQ(0, posix::persistFileSave(persist, path.data(), true));
    std::vector<uint16_t> unmappable = wide(windowsPath("x"));
    unmappable.insert(unmappable.end() - 1, 0x4E2D);
    EXPECT_LT(posix::persistFileSave(persist, unmappable.data(), true), 0);
    posix::persistFileRelease(persist);
    posix::shellLinkRelease(link);
    EXPECT_EQ(std::vector<std::string>{"caf\xE9\x80.lnk"},
              platform_test::directoryEntries(directory_.path()));
}

TEST_F(PosixShellLink, PersistInterfaceOutlivesTheLink) {
    platform::ShellLink link = nullptr;
    ASSERT_EQ(0, posix::createShellLink(&link));
    EXPECT_EQ(0, posix::shellLinkSetPath(link, "C:\\Late.exe"));
    platform::PersistFile persist = nullptr;
    ASSERT_EQ(0, posix::shellLinkQueryPersistFile(link, &persist));
    posix::shellLinkRelease(link);
    EXPECT_EQ(0, posix::persistFileSave(persist, wide(windowsPath("late.lnk")).data(), false));
    posix::persistFileRelease(persist);
    ParsedLink parsed = parseLink(readWholeFile(hostPath("late.lnk")));
    EXPECT_TRUE(parsed.complete);
    EXPECT_EQ(parsed.localBasePath, "C:\\Late.exe");
    EXPECT_EQ(parsed.flags, posix::kLinkHasLinkInfo | posix::kLinkIsUnicode); // no description
}

TEST_F(PosixShellLink, TextsAreBoundedAndCheckedForNull) {
    platform::ShellLink link = nullptr;
    ASSERT_EQ(0, posix::createShellLink(&link));
    std::string longest(259, 'p');
    EXPECT_EQ(0, posix::shellLinkSetPath(link, longest.c_str()));
    EXPECT_LT(posix::shellLinkSetPath(link, (longest + "p").c_str()), 0);
    EXPECT_LT(posix::shellLinkSetPath(link, nullptr), 0);
    EXPECT_EQ(0, posix::shellLinkSetDescription(link, longest.c_str()));
    EXPECT_LT(posix::shellLinkSetDescription(link, (longest + "d").c_str()), 0);
    EXPECT_LT(posix::shellLinkSetDescription(link, nullptr), 0);
    EXPECT_LT(posix::shellLinkSetPath(nullptr, "x"), 0);
    EXPECT_LT(posix::shellLinkQueryPersistFile(link, nullptr), 0);
    EXPECT_LT(posix::createShellLink(nullptr), 0);

    platform::PersistFile persist = nullptr;
    ASSERT_EQ(0, posix::shellLinkQueryPersistFile(link, &persist));
    EXPECT_LT(posix::persistFileSave(persist, nullptr, true), 0);
    EXPECT_LT(posix::persistFileSave(nullptr, wide("Z:\\x").data(), true), 0);
    std::vector<uint16_t> tooLong = wide("Z:\\" + std::string(257, 'n'));
    EXPECT_LT(posix::persistFileSave(persist, tooLong.data(), true), 0);
    // The refused texts left the longest accepted ones in place.
    ASSERT_EQ(0, posix::persistFileSave(persist, wide(windowsPath("long.lnk")).data(), true));
    posix::persistFileRelease(persist);
    posix::shellLinkRelease(link);
    ParsedLink parsed = parseLink(readWholeFile(hostPath("long.lnk")));
    EXPECT_TRUE(parsed.complete);
    EXPECT_EQ(parsed.localBasePath, longest);
    EXPECT_EQ(parsed.name, std::u16string(259, u'p'));
}

TEST(LnkFormat, DescriptionIsStoredAsUtf16FromTheAnsiCodePage) {
    unsigned char bytes[posix::kShellLinkMaxBytes];
    size_t size = posix::buildShellLink("C:\\x.exe", "caf\xE9 \x80\x81", bytes, sizeof bytes);
    ASSERT_GT(size, 0u);
    ParsedLink link = parseLink(std::string(reinterpret_cast<char*>(bytes), size));
    EXPECT_TRUE(link.complete);
    EXPECT_EQ(link.name, u"caf\u00E9 \u20AC\u0081");
}

TEST(LnkFormat, EmptyTextsLeaveTheirStructuresOut) {
    unsigned char bytes[posix::kShellLinkMaxBytes];
    size_t size = posix::buildShellLink("", "", bytes, sizeof bytes);
    ASSERT_EQ(size, kHeaderSize + 4u);
    ParsedLink link = parseLink(std::string(reinterpret_cast<char*>(bytes), size));
    EXPECT_TRUE(link.complete);
    EXPECT_EQ(link.flags, posix::kLinkIsUnicode);
}

TEST(LnkFormat, RefusesWhatDoesNotFit) {
    unsigned char bytes[posix::kShellLinkMaxBytes];
    std::string longest(259, 'x');
    size_t size = posix::buildShellLink(longest.c_str(), longest.c_str(), bytes, sizeof bytes);
    EXPECT_GT(size, 0u);
    EXPECT_LE(size, sizeof bytes);
    EXPECT_EQ(0u, posix::buildShellLink((longest + "x").c_str(), "", bytes, sizeof bytes));
    EXPECT_EQ(0u, posix::buildShellLink("", (longest + "x").c_str(), bytes, sizeof bytes));
    EXPECT_EQ(0u, posix::buildShellLink("C:\\x.exe", "d", bytes, size_t{kHeaderSize}));
    EXPECT_EQ(0u, posix::buildShellLink("C:\\x.exe", "d", nullptr, sizeof bytes));
}

TEST(LnkFormat, AnsiCodePageConversionsAgree) {
    for (int c = 0; c < 256; ++c) {
        unsigned char back = 0;
        uint16_t unit = posix::ansiToUtf16(static_cast<unsigned char>(c));
        ASSERT_TRUE(posix::utf16ToAnsi(unit, &back)) << c;
        EXPECT_EQ(back, c);
    }
    unsigned char byte = 0;
    EXPECT_TRUE(posix::utf16ToAnsi(0x0080, &byte)); // a Latin-1 view of byte 80
    EXPECT_EQ(byte, 0x80);
    EXPECT_FALSE(posix::utf16ToAnsi(0x4E2D, &byte));
    EXPECT_FALSE(posix::utf16ToAnsi(0xD800, &byte));
}

} // namespace
