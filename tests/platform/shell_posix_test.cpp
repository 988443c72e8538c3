#include "platform/posix/posix_impl.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string.h>
#include <sys/stat.h>

#include <string>

#include "scoped_environment.h"

namespace {

bool isDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

class PosixShell : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root_.valid());
        environment_.set("HOME", root_.path() + "/home");
        environment_.clear("XDG_DATA_HOME");
        environment_.clear("XDG_DESKTOP_DIR");
        memset(out_, '#', sizeof out_);
    }

    // True when `out_` still holds the fill of SetUp.
    bool untouched() const {
        for (char c : out_) {
            if (c != '#') {
                return false;
            }
        }
        return true;
    }

    platform_test::TemporaryDirectory root_;
    platform_test::ScopedEnvironment environment_;
    char out_[260];
};

TEST_F(PosixShell, DesktopComesFromXdgDesktopDir) {
    environment_.set("XDG_DESKTOP_DIR", root_.path() + "/My Desktop//");
    ASSERT_TRUE(posix::getSpecialFolderPath(platform::kCsidlDesktopDirectory, out_));
    EXPECT_STREQ(out_, (root_.path() + "/My Desktop").c_str());
}

TEST_F(PosixShell, DesktopFallsBackToHome) {
    environment_.set("XDG_DESKTOP_DIR", "relative");
    ASSERT_TRUE(posix::getSpecialFolderPath(platform::kCsidlDesktopDirectory, out_));
    EXPECT_STREQ(out_, (root_.path() + "/home/Desktop").c_str());
    environment_.clear("XDG_DESKTOP_DIR");
    memset(out_, '#', sizeof out_);
    ASSERT_TRUE(posix::getSpecialFolderPath(platform::kCsidlDesktopDirectory, out_));
    EXPECT_STREQ(out_, (root_.path() + "/home/Desktop").c_str());
}

TEST_F(PosixShell, ProgramsFolderIsMadeUnderDataHome) {
    environment_.set("XDG_DATA_HOME", root_.path() + "/data/");
    std::string expected = root_.path() + "/data/vemsetup/Start Menu/Programs";
    ASSERT_FALSE(isDirectory(expected));
    ASSERT_TRUE(posix::getSpecialFolderPath(platform::kCsidlPrograms, out_));
    EXPECT_STREQ(out_, expected.c_str());
    EXPECT_TRUE(isDirectory(expected));
    // Asking again finds the folder that is there now.
    ASSERT_TRUE(posix::getSpecialFolderPath(platform::kCsidlPrograms, out_));
    EXPECT_TRUE(isDirectory(expected));
}

TEST_F(PosixShell, ProgramsFolderFallsBackToHome) {
    ASSERT_TRUE(posix::getSpecialFolderPath(platform::kCsidlPrograms, out_));
    std::string expected = root_.path() + "/home/.local/share/vemsetup/Start Menu/Programs";
    EXPECT_STREQ(out_, expected.c_str());
    EXPECT_TRUE(isDirectory(expected));
}

TEST_F(PosixShell, ProgramsFolderThatCannotBeMadeIsNotDelivered) {
    platform_test::writeWholeFile(root_.path() + "/file", "in the way");
    environment_.set("XDG_DATA_HOME", root_.path() + "/file");
    EXPECT_FALSE(posix::getSpecialFolderPath(platform::kCsidlPrograms, out_));
    EXPECT_TRUE(untouched());
}

TEST_F(PosixShell, PathThatDoesNotFitLeavesOutAlone) {
    // 259 characters fit with the terminator, 260 do not. The desktop is
    // made when missing, so the path is built of levels the host allows.
    std::string fits = root_.path();
    while (fits.size() < 259) {
        fits += "/" + std::string(std::min<size_t>(100, 258 - fits.size()), 'd');
    }
    environment_.set("XDG_DESKTOP_DIR", fits);
    ASSERT_TRUE(posix::getSpecialFolderPath(platform::kCsidlDesktopDirectory, out_));
    EXPECT_EQ(fits, out_);

    memset(out_, '#', sizeof out_);
    environment_.set("XDG_DESKTOP_DIR", fits + "d");
    EXPECT_FALSE(posix::getSpecialFolderPath(platform::kCsidlDesktopDirectory, out_));
    EXPECT_TRUE(untouched());

    environment_.set("XDG_DATA_HOME", "/" + std::string(240, 'p'));
    EXPECT_FALSE(posix::getSpecialFolderPath(platform::kCsidlPrograms, out_));
    EXPECT_TRUE(untouched());
}

TEST_F(PosixShell, UnknownOrUnlocatableFoldersFail) {
    EXPECT_FALSE(posix::getSpecialFolderPath(0x0005, out_)); // CSIDL_PERSONAL is not offered
    EXPECT_FALSE(posix::getSpecialFolderPath(platform::kCsidlDesktopDirectory, nullptr));
    environment_.clear("HOME");
    EXPECT_FALSE(posix::getSpecialFolderPath(platform::kCsidlDesktopDirectory, out_));
    EXPECT_FALSE(posix::getSpecialFolderPath(platform::kCsidlPrograms, out_));
    EXPECT_TRUE(untouched());
}

} // namespace
