// The built stub, run as a user runs it, with its demo payload.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "process.h"
#include "temp_dir.h"

namespace {

class EndToEndTest : public testing::Test {
  protected:
    // Runs the stub with these arguments and returns its exit code.
    int run(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv = {VEMSETUP_STUB};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return runProcess(argv, &env, "", "").exitCode;
    }

    std::string temp() const { return dir / "temp"; }

    // The launched setup runs on its own; its marker appears when it has.
    static bool waitForFile(const std::string& path) {
        for (int i = 0; i < 200 && !fileExists(path); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return fileExists(path);
    }

    static std::string readText(const std::string& path) {
        const Bytes bytes = readBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }

    ScopedTempDir dir;
    std::vector<std::string> env = runEnvironment(dir.path());
};

TEST_F(EndToEndTest, NoArgumentsExtractsAndStartsEntryZero) {
    ASSERT_EQ(run({}), 1);
    const std::vector<std::string> left = listDirectory(temp());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].rfind("vem", 0), 0u);
    const std::string work = temp() + "/" + left[0];
    EXPECT_TRUE(waitForFile(work + "/Setup.ran")) << "entry 0 did not run";
    for (const char* name :
         {"Setup.exe", "Vemlo Reader.exe", "Uninstall.exe", "Readme.txt", "License.txt"}) {
        EXPECT_TRUE(fileExists(work + "/" + name)) << name;
    }
}

TEST_F(EndToEndTest, InstallWritesFilesRegistryAndShortcuts) {
    // Levels are separated by backslashes only; Z: is the host's root.
    std::string windowsTarget = "Z:" + (dir / "apps/Vemlo");
    std::replace(windowsTarget.begin(), windowsTarget.end(), '/', '\\');
    const std::string target = dir / "apps/Vemlo";
    ASSERT_EQ(run({"\"" + windowsTarget + "\"", "/d", "/s"}), 1);
    EXPECT_EQ(listDirectory(target),
              (std::vector<std::string>{"License.txt", "Readme.txt", "Uninstall.exe",
                                        "Vemlo Reader.exe"}));
    EXPECT_TRUE(listDirectory(temp()).empty());

    const std::string machine = readText(dir / "data/vemsetup/registry/HKEY_LOCAL_MACHINE.txt");
    EXPECT_NE(machine.find("\tInstallPath\tREG_SZ\t" + windowsTarget + "\\\n"), std::string::npos)
        << machine;
    EXPECT_NE(machine.find("\tDisplayName\tREG_SZ\tVemlo Reader\n"), std::string::npos);
    EXPECT_NE(machine.find("\\DefaultIcon\t\tREG_SZ\tVemlo Reader.exe,1\n"), std::string::npos);

    const std::string menu = dir / "data/vemsetup/Start Menu/Programs/Vemlo Reader";
    const std::string program = windowsTarget + "\\Vemlo Reader.exe";
    const std::string uninstaller = windowsTarget + "\\Uninstall.exe";
    for (const auto& [link, expectedTarget] : {std::pair{dir / "Desktop/Vemlo Reader.lnk", program},
                                               std::pair{menu + "/Vemlo Reader.lnk", program},
                                               std::pair{menu + "/Uninstall.lnk", uninstaller}}) {
        EXPECT_EQ(readText(link), "Target=" + expectedTarget + "\nDescription=Vemlo Reader\n")
            << link;
    }
}

TEST_F(EndToEndTest, MachineStoreThatCannotBeWrittenFallsBackToTheUser) {
    const std::string registry = dir / "data/vemsetup/registry";
    std::filesystem::create_directories(registry);
    writeBytes(registry + "/HKEY_LOCAL_MACHINE.txt", toBytes("Software\n"));
    chmod((registry + "/HKEY_LOCAL_MACHINE.txt").c_str(), 0444);
    ASSERT_EQ(run({"\"" + (dir / "apps") + "\""}), 1);
    EXPECT_NE(readText(registry + "/HKEY_CURRENT_USER.txt").find("\tInstallPath\t"),
              std::string::npos);
    EXPECT_EQ(readText(registry + "/HKEY_LOCAL_MACHINE.txt"), "Software\n");
}

TEST_F(EndToEndTest, DoubleByteCodePageKeepsTrailBytesInTheirCharacters) {
    // Code page 932: "software" in katakana (83 5C 83 74 83 67) and "table"
    // (95 5C), whose trail bytes are no backslashes.
    env.push_back("VEMSETUP_ANSI_CODEPAGE=932");
    const std::string software = "\x83\x5C\x83\x74\x83\x67";
    const std::string table = "\x95\x5C";
    std::string windowsTarget = "Z:" + dir.path();
    std::replace(windowsTarget.begin(), windowsTarget.end(), '/', '\\');
    windowsTarget += "\\" + software + "\\" + table;
    ASSERT_EQ(run({"\"" + windowsTarget + "\""}), 1);
    EXPECT_EQ(listDirectory(dir.path()),
              (std::vector<std::string>{"Desktop", "data", "temp", software}));
    EXPECT_EQ(listDirectory(dir / (software + "/" + table)).size(), 4u);
    const std::string machine = readText(dir / "data/vemsetup/registry/HKEY_LOCAL_MACHINE.txt");
    EXPECT_NE(machine.find("\tInstallPath\tREG_SZ\t" + windowsTarget + "\\\n"), std::string::npos)
        << machine;
}

TEST_F(EndToEndTest, TargetOnAMissingDriveIsExitThree) {
    EXPECT_EQ(run({"\"Q:\\Apps\""}), 3);
    EXPECT_TRUE(listDirectory(temp()).empty());
}

} // namespace
