#include "registry_fixture.h"
#include "system/shortcuts.h"

namespace {

class ShortcutsTest : public RegistryFixture {
  protected:
    std::string programs() const { return dir / "data/vemsetup/Start Menu/Programs"; }
};

// What the stand-in's link file says: its target and description lines.
std::string linkText(const std::string& path) {
    const Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST_F(ShortcutsTest, CreatesLinkWithTargetAndDescription) {
    const std::string desk = dir / "Desk";
    mkdir(desk.c_str(), 0755);
    ASSERT_TRUE(createShortcut("Vemlo Reader", desk.c_str(), "Vemlo Reader", "D:\\Apps\\"));
    EXPECT_EQ(linkText(desk + "/Vemlo Reader.lnk"),
              "Target=D:\\Apps\\Vemlo Reader.exe\nDescription=Vemlo Reader\n");
    EXPECT_EQ(fake::countCalls("shellLinkRelease"), fake::countCalls("createShellLink"));
    EXPECT_EQ(fake::countCalls("persistFileRelease"),
              fake::countCalls("shellLinkQueryPersistFile"));
}

TEST_F(ShortcutsTest, DirectoryWithoutBackslashGetsOne) {
    const std::string desk = dir / "Desk";
    mkdir(desk.c_str(), 0755);
    ASSERT_TRUE(createShortcut("Vemlo Reader", desk.c_str(), "Vemlo Reader", "D:\\Apps"));
    EXPECT_EQ(linkText(desk + "/Vemlo Reader.lnk").rfind("Target=D:\\Apps\\Vemlo Reader.exe\n", 0),
              0u);
}

TEST_F(ShortcutsTest, ALinkThatIsNotSavedIsAFailure) {
    const std::string desk = dir / "Desk";
    mkdir(desk.c_str(), 0755);
    for (const char* failing : {"createShellLink", "shellLinkQueryPersistFile",
                                "multiByteToWideChar", "persistFileSave"}) {
        fake::failCall(failing);
        EXPECT_FALSE(createShortcut("Uninstall", desk.c_str(), "Uninstall", "D:\\Apps\\"))
            << failing;
        EXPECT_FALSE(fileExists(desk + "/Uninstall.lnk")) << failing;
    }
    EXPECT_EQ(fake::countCalls("shellLinkRelease"), 3) << "every link object is released";
    EXPECT_EQ(fake::countCalls("persistFileRelease"), 2);
}

TEST_F(ShortcutsTest, UnsavedStartMenuLinkIsAFailure) {
    fake::failCall("persistFileSave", 2);
    EXPECT_FALSE(createStartMenuShortcuts("D:\\Apps\\"));
    EXPECT_EQ(listDirectory(programs() + "/Vemlo Reader"),
              std::vector<std::string>{"Vemlo Reader.lnk"});
}

TEST_F(ShortcutsTest, PathsThatDoNotFitAreRefused) {
    const std::string longFolder(250, 'f');
    EXPECT_FALSE(createShortcut("Vemlo Reader", longFolder.c_str(), "Vemlo Reader", "D:\\"));
    const std::string longDirectory(250, 'd');
    EXPECT_FALSE(createShortcut("Vemlo Reader", "D:\\Desk", "Vemlo Reader", longDirectory.c_str()));
}

TEST_F(ShortcutsTest, StartMenuFolderHoldsBothShortcuts) {
    ASSERT_TRUE(createStartMenuShortcuts("D:\\Apps\\"));
    ASSERT_TRUE(createStartMenuShortcuts("D:\\Apps\\")) << "a second run overwrites";
    const std::string folder = programs() + "/Vemlo Reader";
    EXPECT_EQ(listDirectory(folder),
              (std::vector<std::string>{"Uninstall.lnk", "Vemlo Reader.lnk"}));
    // The description is the product's.
    EXPECT_EQ(linkText(folder + "/Uninstall.lnk"),
              "Target=D:\\Apps\\Uninstall.exe\nDescription=Vemlo Reader\n");
}

TEST_F(ShortcutsTest, FolderStaysWhenTheLinkObjectIsMissing) {
    fake::failCall("createShellLink", 1, true);
    EXPECT_FALSE(createStartMenuShortcuts("D:\\Apps\\"));
    EXPECT_TRUE(isDirectory(programs() + "/Vemlo Reader"));
    EXPECT_TRUE(listDirectory(programs() + "/Vemlo Reader").empty());
}

TEST_F(ShortcutsTest, FolderThatCannotBeMadeFailsBeforeAnyLink) {
    fake::failCall("createDirectory", 1, true);
    EXPECT_FALSE(createStartMenuShortcuts("D:\\Apps\\"));
    EXPECT_FALSE(isDirectory(programs() + "/Vemlo Reader"));
}

} // namespace
