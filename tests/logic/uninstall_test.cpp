// The uninstaller on the fake platform: a described setup installed by the
// main sequence, then removed again by what it left beside itself.
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/run_main.h"
#include "fake_platform.h"
#include "payloads.h"
#include "product.h"
#include "registry_fixture.h"
#include "uninstall/uninstall.h"
#include "uninstaller.h"

namespace {

// A path of the stand-in as the host names it.
std::string onHost(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

class UninstallTest : public RegistryFixture {
  protected:
    // Installs version `version` of Acme Tool with `entries` (and
    // Uninstall.exe and its list) into the target.
    void install(const std::string& version, const std::vector<TestEntry>& entries,
                 const std::string& tail = "/d /s") {
        vempack::ProductOptions product;
        product.product = "Acme Tool";
        product.id = "Acme.Tool";
        product.publisher = "Acme";
        product.version = version;
        product.program = entries[0].name;
        vempack::Package package;
        for (const TestEntry& entry : entries) {
            package.entries.push_back({entry.name, toBytes(entry.data)});
        }
        package.entries.push_back({"Uninstall.exe", toBytes("uninstaller")});
        const Bytes description = vempack::descriptionResource(product, package, {});
        vempack::addUninstallList(product, description, package);
        fake::setResource(makeLzma(vempack::writeArchive(package)));
        fake::setDescription(description);
        ASSERT_EQ(runMain((tail + " /dir=\"" + target() + "\"").c_str()), kExitDescribedSuccess);
    }

    std::string target() const { return dir / "apps"; }
    std::string self() const { return target() + "\\Uninstall.exe"; }
    std::string uninstallKey() const {
        return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme.Tool";
    }
    std::string menu() const { return dir / "data/vemsetup/Start Menu/Programs/Acme Tool"; }

    const std::vector<TestEntry> kVersionOne = {
        {"bin\\Tool.exe", "one"}, {"bin\\plugins\\a.dll", "a"}, {"Readme.txt", "r"}};
};

TEST_F(UninstallTest, RemovesWhatWasInstalledAndKeepsTheUsersFiles) {
    install("1.0", kVersionOne);
    writeBytes(target() + "/bin/mine.txt", toBytes("the user's"));
    EXPECT_EQ(runUninstall(self().c_str()), kExitDescribedSuccess);

    EXPECT_EQ(listTree(target()),
              (std::vector<std::string>{"Uninstall.exe", "bin/", "bin/mine.txt"}));
    EXPECT_FALSE(fileExists(dir / "Desktop/Acme Tool.lnk"));
    EXPECT_FALSE(fileExists(menu()));
    for (platform::RegistryRoot root : {platform::kHkeyLocalMachine, platform::kHkeyCurrentUser}) {
        EXPECT_EQ(value(root, uninstallKey().c_str(), "DisplayName"), "<missing>");
        EXPECT_EQ(value(root, "Software\\Acme\\Acme Tool", "InstallPath"), "<missing>");
    }

    // The copy it started removes Uninstall.exe once the original has ended.
    const std::vector<std::string> started = fake::callsWithDetail("commandLine");
    ASSERT_EQ(started.size(), 1u);
    const std::string copy = fake::callsWithDetail("createProcess").at(0);
    EXPECT_EQ(started[0], "\"" + copy + "\" /remove=\"" + self() + "\"");
    EXPECT_EQ(readBytes(onHost(copy)), toBytes("uninstaller")) << "copied from the running program";
    EXPECT_EQ(finishRemoval(self().c_str(), copy.c_str()), kExitDescribedSuccess);
    EXPECT_EQ(listTree(target()), (std::vector<std::string>{"bin/", "bin/mine.txt"}));
    EXPECT_FALSE(fileExists(onHost(copy)));
}

TEST_F(UninstallTest, AfterAnUpgradeRemovesWhatEveryVersionPutThere) {
    install("1.0", kVersionOne);
    install("2.0", {{"bin\\Tool.exe", "two"}, {"lib\\b.dll", "b"}}, "");
    EXPECT_EQ(machine(uninstallKey().c_str(), "DisplayVersion"), "2.0");
    EXPECT_EQ(runUninstall(self().c_str()), kExitDescribedSuccess);
    EXPECT_EQ(listTree(target()), std::vector<std::string>{"Uninstall.exe"});
    EXPECT_EQ(finishRemoval(self().c_str(), (dir / "temp/copy").c_str()), kExitDescribedSuccess);
    EXPECT_FALSE(fileExists(target())) << "the emptied folder goes too";
}

TEST_F(UninstallTest, HostileListsAreRefusedBeforeAnythingIsRemoved) {
    install("1.0", kVersionOne);
    writeBytes(dir / "outside.txt", toBytes("not ours"));
    const std::string listName = listDirectory(target()).at(1);
    const std::string list = target() + "/" + listName;
    const Bytes good = readBytes(list);
    // The last name is the list's own; each case puts another one there.
    const auto withLastName = [&](const std::string& name) {
        Bytes bytes(good.begin(), good.end() - static_cast<long>(listName.size() + 2));
        bytes.push_back(static_cast<unsigned char>(name.size()));
        bytes.push_back(0);
        bytes.insert(bytes.end(), name.begin(), name.end());
        return bytes;
    };
    const std::vector<std::string> hostile = {"..\\outside.txt",   "C:\\outside.txt",
                                              "\\outside.txt",     "CON",
                                              "Readme.txt:stream", "bin\\\\a.dll"};
    for (const std::string& name : hostile) {
        SCOPED_TRACE(name);
        writeBytes(list, withLastName(name));
        EXPECT_EQ(runUninstall(self().c_str()), kExitArchiveCorrupt);
        EXPECT_TRUE(fileExists(target() + "/Readme.txt"));
    }
    writeBytes(list, Bytes(good.begin(), good.end() - 1));
    EXPECT_EQ(runUninstall(self().c_str()), kExitArchiveCorrupt) << "cut short";
    Bytes trailing = good;
    trailing.push_back(0);
    writeBytes(list, trailing);
    EXPECT_EQ(runUninstall(self().c_str()), kExitArchiveCorrupt) << "a byte after the last name";
    EXPECT_EQ(machine(uninstallKey().c_str(), "DisplayName"), "Acme Tool");

    writeBytes(list, withLastName(listName));
    EXPECT_EQ(runUninstall(self().c_str()), kExitDescribedSuccess) << "the same list unharmed";
    EXPECT_TRUE(fileExists(dir / "outside.txt"));
}

TEST_F(UninstallTest, FollowsNoLinkAndReportsWhatStays) {
    install("1.0", kVersionOne);
    // The plugins folder replaced by a link to a folder outside.
    makeDirectory(dir / "elsewhere");
    writeBytes(dir / "elsewhere/a.dll", toBytes("someone else's"));
    removeTree(target() + "/bin/plugins");
    ASSERT_EQ(symlink((dir / "elsewhere").c_str(), (target() + "/bin/plugins").c_str()), 0);
    EXPECT_EQ(runUninstall(self().c_str()), kExitEntryOutput);
    EXPECT_TRUE(fileExists(dir / "elsewhere/a.dll"));
    EXPECT_FALSE(fileExists(target() + "/Readme.txt")) << "the rest is removed";
    EXPECT_EQ(listDirectory(target()).size(), 3u) << "bin, Uninstall.exe and its list stay";
    EXPECT_TRUE(fake::callsWithDetail("createProcess").empty());
}

TEST_F(UninstallTest, RetriesAFileHeldForAMomentAndReportsOneHeldForGood) {
    install("1.0", kVersionOne);
    fake::failCalls("deleteFile", 1, 2, platform::kErrorSharingViolation);
    EXPECT_EQ(runUninstall(self().c_str()), kExitDescribedSuccess);

    install("1.0", kVersionOne);
    fake::failCall("deleteFile", 1, true, platform::kErrorSharingViolation);
    EXPECT_EQ(runUninstall(self().c_str()), kExitEntryOutput);
    fake::reset();
    fake::denyRegistryWrites(false, false);
    EXPECT_EQ(runUninstall(self().c_str()), kExitDescribedSuccess) << "a second run finishes";
}

TEST_F(UninstallTest, KeysThatCannotBeRemovedAreExitTen) {
    install("1.0", kVersionOne);
    fake::failCall("regDeleteKey", 1, true);
    EXPECT_EQ(runUninstall(self().c_str()), kExitRegistryWrite);
    EXPECT_TRUE(fileExists(onHost(self()))) << "kept for another run";
}

} // namespace
