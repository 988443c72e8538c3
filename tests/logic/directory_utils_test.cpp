#include <gtest/gtest.h>

#include "fake_platform.h"
#include "system/directory_utils.h"
#include "temp_dir.h"

namespace {

// Paths in the logic use backslashes only; the stand-in maps them.
std::string windowsPath(const std::string& hostPath) {
    std::string path = hostPath;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

class DirectoryUtilsTest : public testing::Test {
  protected:
    void SetUp() override { fake::reset(); }
    ScopedTempDir dir;
};

TEST_F(DirectoryUtilsTest, DirectoryExistsListsThePath) {
    const std::string root = windowsPath(dir.path());
    EXPECT_TRUE(directoryExists(root.c_str()));
    EXPECT_TRUE(directoryExists((root + "\\").c_str()));
    writeBytes(dir / "file.txt", toBytes("x"));
    EXPECT_FALSE(directoryExists((root + "\\file.txt").c_str()));
    EXPECT_FALSE(directoryExists((root + "\\missing").c_str()));
    EXPECT_TRUE(directoryExists("Z:"));
    EXPECT_FALSE(directoryExists("Q:\\")) << "a drive that does not exist";
    EXPECT_FALSE(directoryExists(std::string(256, 'a').c_str())) << "no room for the pattern";
}

TEST_F(DirectoryUtilsTest, EmptyDriveRootExistsWhenTheFileSystemSaysItIsADirectory) {
    // An empty drive root lists nothing, not even "." and "..".
    fake::failCall("findFirstFile", 1, true);
    EXPECT_TRUE(directoryExists("Z:\\"));
    EXPECT_TRUE(directoryExists("z:"));
    EXPECT_FALSE(directoryExists("Q:\\")) << "a drive that does not exist";
    EXPECT_FALSE(directoryExists(windowsPath(dir.path()).c_str())) << "only roots are asked";
    EXPECT_TRUE(createDirectoryPath("Z:\\")) << "nothing to create on an empty root";
}

TEST_F(DirectoryUtilsTest, CreatesEveryMissingLevelInOrder) {
    const std::string path = windowsPath(dir / "a/b/c");
    ASSERT_TRUE(createDirectoryPath(path.c_str()));
    EXPECT_TRUE(isDirectory(dir / "a/b/c"));
    EXPECT_TRUE(createDirectoryPath(path.c_str())) << "already there";

    EXPECT_TRUE(createDirectoryPath(windowsPath(dir / "x/y/").c_str()));
    EXPECT_TRUE(isDirectory(dir / "x/y"));
}

TEST_F(DirectoryUtilsTest, FailsWithoutCreatingOnMissingDriveOrThroughAFile) {
    EXPECT_FALSE(createDirectoryPath("Q:\\a\\b"));
    writeBytes(dir / "file.txt", toBytes("x"));
    EXPECT_FALSE(createDirectoryPath(windowsPath(dir / "file.txt/x").c_str()));
    EXPECT_FALSE(createDirectoryPath(""));
}

TEST_F(DirectoryUtilsTest, LevelsMadeBeforeAFailureStay) {
    fake::failCall("createDirectory", 2);
    EXPECT_FALSE(createDirectoryPath(windowsPath(dir / "a/b/c").c_str()));
    EXPECT_TRUE(isDirectory(dir / "a"));
    EXPECT_FALSE(isDirectory(dir / "a/b"));
}

} // namespace
