#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/posix_impl.h"
#include "scoped_environment.h"

namespace {

using platform_test::directoryEntries;
using platform_test::readWholeFile;

// UTF-16 from the stand-in's ANSI code page (Latin-1), terminated.
std::vector<uint16_t> wide(const std::string& text) {
    std::vector<uint16_t> out(text.begin(), text.end());
    for (uint16_t& unit : out) {
        unit &= 0xFF;
    }
    out.push_back(0);
    return out;
}

class PosixShellLink : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(directory_.valid()); }

    // The Windows spelling of a file in the test directory ("Z:" is the host root).
    std::string windowsPath(const std::string& name) const {
        std::string path = "Z:" + directory_.path() + "/" + name;
        for (char& c : path) {
            c = c == '/' ? '\\' : c;
        }
        return path;
    }
    std::string hostPath(const std::string& name) const { return directory_.path() + "/" + name; }

    // The steps the shortcut code takes, returning Save's result.
    long saveLink(const std::vector<uint16_t>& linkPath, const char* target,
                  const char* description) {
        platform::ShellLink link = nullptr;
        EXPECT_EQ(0, posix::createShellLink(&link));
        EXPECT_EQ(0, posix::shellLinkSetPath(link, target));
        EXPECT_EQ(0, posix::shellLinkSetDescription(link, description));
        platform::PersistFile persist = nullptr;
        EXPECT_EQ(0, posix::shellLinkQueryPersistFile(link, &persist));
        const long result = posix::persistFileSave(persist, linkPath.data(), true);
        posix::persistFileRelease(persist);
        posix::shellLinkRelease(link);
        return result;
    }
    long saveLink(const std::string& linkPath, const char* target, const char* description) {
        return saveLink(wide(linkPath), target, description);
    }

    platform_test::TemporaryDirectory directory_;
};

TEST_F(PosixShellLink, SavesTargetAndDescriptionAsTwoLinesReplacingTheOldFile) {
    ASSERT_EQ(0, saveLink(windowsPath("a.lnk"), "C:\\A.exe", "first description"));
    ASSERT_EQ(0, saveLink(windowsPath("a.lnk"), "C:\\Apps\\Vemlo Reader.exe", "Vemlo Reader"));
    EXPECT_EQ("Target=C:\\Apps\\Vemlo Reader.exe\nDescription=Vemlo Reader\n",
              readWholeFile(hostPath("a.lnk")));
    EXPECT_EQ(std::vector<std::string>{"a.lnk"}, directoryEntries(directory_.path()));
}

TEST_F(PosixShellLink, SaveFailsWhereTheFileCannotBe) {
    EXPECT_LT(saveLink("C:\\Desk\\Vemlo Reader.lnk", "C:\\A.exe", "d"), 0);
    EXPECT_LT(saveLink(windowsPath("missing\\Vemlo Reader.lnk"), "C:\\A.exe", "d"), 0);
    // A line break would make a third line.
    EXPECT_LT(saveLink(windowsPath("x.lnk"), "C:\\A.exe", "two\nlines"), 0);
    EXPECT_TRUE(directoryEntries(directory_.path()).empty());
}

TEST_F(PosixShellLink, LinkPathComesBackToAnsi) {
    EXPECT_EQ(0, saveLink(windowsPath("caf\xE9.lnk"), "C:\\A.exe", "d"));
    std::vector<uint16_t> unmappable = wide(windowsPath("x.lnk"));
    unmappable.insert(unmappable.end() - 1, 0x4E2D);
    EXPECT_LT(saveLink(unmappable, "C:\\A.exe", "d"), 0);
    EXPECT_EQ(std::vector<std::string>{"caf\xE9.lnk"}, directoryEntries(directory_.path()));
}

TEST_F(PosixShellLink, TextsAreBoundedAndCheckedForNull) {
    platform::ShellLink link = nullptr;
    ASSERT_EQ(0, posix::createShellLink(&link));
    const std::string longest(259, 'p');
    EXPECT_EQ(0, posix::shellLinkSetPath(link, longest.c_str()));
    EXPECT_LT(posix::shellLinkSetPath(link, (longest + "p").c_str()), 0);
    EXPECT_LT(posix::shellLinkSetPath(link, nullptr), 0);
    EXPECT_EQ(0, posix::shellLinkSetDescription(link, "d"));
    EXPECT_LT(posix::shellLinkSetDescription(link, (longest + "d").c_str()), 0);
    EXPECT_LT(posix::shellLinkSetDescription(link, nullptr), 0);

    platform::PersistFile persist = nullptr;
    ASSERT_EQ(0, posix::shellLinkQueryPersistFile(link, &persist));
    EXPECT_LT(posix::persistFileSave(persist, nullptr, true), 0);
    EXPECT_LT(posix::persistFileSave(persist, wide("Z:\\" + std::string(257, 'n')).data(), true),
              0);
    // The refused texts left the longest accepted ones in place.
    ASSERT_EQ(0, posix::persistFileSave(persist, wide(windowsPath("long.lnk")).data(), true));
    posix::persistFileRelease(persist);
    posix::shellLinkRelease(link);
    EXPECT_EQ("Target=" + longest + "\nDescription=d\n", readWholeFile(hostPath("long.lnk")));
}

} // namespace
