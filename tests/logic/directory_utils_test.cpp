#include <gtest/gtest.h>

#include <algorithm>

#include "fake_platform.h"
#include "platform/platform.h"
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

// An empty drive root lists nothing, not even "." and ".."; a compatibility
// junction refuses to be listed at all. The file system still calls both
// directories, and nothing is made for them.
TEST_F(DirectoryUtilsTest, DirectoryThatCannotBeListedExistsWhenTheFileSystemSaysSo) {
    fake::failCall("findFirstFile", 1, true, platform::kErrorAccessDenied);
    EXPECT_TRUE(directoryExists("Z:\\"));
    EXPECT_TRUE(directoryExists("z:"));
    EXPECT_FALSE(directoryExists("Q:\\")) << "a drive that does not exist";
    const std::string junction = windowsPath(dir.path());
    EXPECT_TRUE(directoryExists(junction.c_str()));
    writeBytes(dir / "file.txt", toBytes("x"));
    EXPECT_FALSE(directoryExists((junction + "\\file.txt").c_str()));
    EXPECT_TRUE(createDirectoryPath((junction + "\\App").c_str()));
    EXPECT_TRUE(isDirectory(dir / "App"));
    EXPECT_EQ(fake::countCalls("createDirectory"), 1) << "only the level below the junction";
}

// A UNC path's server and share cannot be made; the walk begins below them.
std::vector<std::string> gMade;
TEST_F(DirectoryUtilsTest, UncPathIsMadeOnlyBelowItsShare) {
    gMade.clear();
    platform::operations.findFirstFile = [](const char*) -> platform::FindHandle {
        return nullptr;
    };
    platform::operations.getFileAttributes = [](const char* path) -> uint32_t {
        std::string p = path;
        if (p.size() > 1 && p.back() == '\\') {
            p.pop_back();
        }
        return p == "\\\\server\\share" || std::find(gMade.begin(), gMade.end(), p) != gMade.end()
                   ? platform::kFileAttributeDirectory
                   : platform::kInvalidFileAttributes;
    };
    platform::operations.createDirectory = [](const char* path) {
        gMade.push_back(path);
        return true;
    };
    EXPECT_TRUE(createDirectoryPath("\\\\server\\share\\App\\Sub"));
    EXPECT_EQ(gMade,
              (std::vector<std::string>{"\\\\server\\share\\App", "\\\\server\\share\\App\\Sub"}));
    gMade.clear();
    EXPECT_TRUE(createDirectoryPath("\\\\server\\share\\"));
    EXPECT_TRUE(gMade.empty());
    fake::reset();
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
