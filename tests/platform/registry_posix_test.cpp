#include "platform/posix/posix_registry_shell.h"

#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "scoped_environment.h"

namespace {

using platform::RegistryKey;
using platform_test::directoryEntries;
using platform_test::readWholeFile;
using platform_test::writeWholeFile;

constexpr long kFileNotFound = 2;
constexpr long kAccessDenied = 5;
constexpr long kInvalidHandle = 6;
constexpr long kInvalidParameter = 87;
constexpr long kBadPathname = 161;
constexpr long kMoreData = 234;
constexpr long kBadDb = 1009;
constexpr long kKeyDeleted = 1018;

const char kAppKey[] = "Software\\Vemlo Software\\Vemlo Reader";

class PosixRegistry : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home_.valid());
        environment_.set("XDG_DATA_HOME", home_.path() + "/data");
        environment_.set("HOME", home_.path() + "/home");
    }

    std::string storeDirectory() const { return home_.path() + "/data/vemsetup/registry"; }
    std::string machineStore() const { return storeDirectory() + "/HKEY_LOCAL_MACHINE.reg"; }
    std::string userStore() const { return storeDirectory() + "/HKEY_CURRENT_USER.reg"; }

    RegistryKey machine() const { return posix::rootKey(platform::kHkeyLocalMachine); }

    // Opens (creating) a key; fails the test when that does not work.
    RegistryKey open(RegistryKey root, const char* subKey, uint32_t access) {
        RegistryKey key = nullptr;
        EXPECT_EQ(0, posix::regCreateKey(root, subKey, access, &key)) << subKey;
        EXPECT_NE(key, nullptr);
        return key;
    }

    void setText(RegistryKey key, const char* name, const char* text) {
        EXPECT_EQ(0, posix::regSetValue(key, name, platform::kRegSz,
                                        reinterpret_cast<const unsigned char*>(text),
                                        static_cast<uint32_t>(strlen(text) + 1)));
    }

    // The value as text, or "<missing>" with the status.
    std::string queryText(RegistryKey key, const char* name) {
        unsigned char data[260] = {};
        uint32_t size = sizeof data;
        uint32_t type = 0;
        long status = posix::regQueryValue(key, name, &type, data, &size);
        if (status != 0) {
            return "<missing " + std::to_string(status) + ">";
        }
        return std::string(reinterpret_cast<const char*>(data), size);
    }

    void writeMachineStore(const std::string& text) {
        RegistryKey key = open(machine(), "", platform::kKeySetValue); // makes the directory
        posix::regCloseKey(key);
        writeWholeFile(machineStore(), text);
    }

    platform_test::TemporaryDirectory home_;
    platform_test::ScopedEnvironment environment_;
};

TEST_F(PosixRegistry, CreateKeyMakesEveryLevelAndStoresIt) {
    RegistryKey key = open(machine(), kAppKey, platform::kKeySetValue);
    EXPECT_EQ(0, posix::regCloseKey(key));
    std::string text = readWholeFile(machineStore());
    EXPECT_EQ(0u, text.find("REGEDIT4\n\n"));
    EXPECT_NE(std::string::npos, text.find("[HKEY_LOCAL_MACHINE\\Software]\n"));
    EXPECT_NE(std::string::npos, text.find("[HKEY_LOCAL_MACHINE\\Software\\Vemlo Software]\n"));
    EXPECT_NE(std::string::npos, text.find("[HKEY_LOCAL_MACHINE\\Software\\Vemlo Software\\Vemlo "
                                           "Reader]\n"));
}

TEST_F(PosixRegistry, ReadingAMissingKeyCreatesItEmpty) {
    RegistryKey key = open(machine(), "Software\\Classes\\.pdf", platform::kKeyQueryValue);
    uint32_t type = 99;
    uint32_t size = 77;
    EXPECT_EQ(kFileNotFound, posix::regQueryValue(key, "", &type, nullptr, &size));
    EXPECT_EQ(type, 99u);
    EXPECT_EQ(size, 77u);
    posix::regCloseKey(key);
    EXPECT_NE(std::string::npos, readWholeFile(machineStore())
                                     .find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\.pdf]\n"
                                           "\n"));
}

TEST_F(PosixRegistry, QueryReportsSizeThenCopies) {
    RegistryKey key = open(machine(), kAppKey, platform::kKeySetValue | platform::kKeyQueryValue);
    setText(key, "InstallPath", "C:\\Apps\\");

    uint32_t type = 0;
    uint32_t size = 0;
    EXPECT_EQ(0, posix::regQueryValue(key, "InstallPath", &type, nullptr, &size));
    EXPECT_EQ(type, platform::kRegSz);
    EXPECT_EQ(size, 9u); // the text and its terminator

    unsigned char small[4] = {'#', '#', '#', '#'};
    size = sizeof small;
    EXPECT_EQ(kMoreData, posix::regQueryValue(key, "InstallPath", &type, small, &size));
    EXPECT_EQ(size, 9u);

    unsigned char data[16];
    memset(data, '#', sizeof data);
    size = sizeof data;
    EXPECT_EQ(0, posix::regQueryValue(key, "InstallPath", nullptr, data, &size));
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(0, memcmp(data, "C:\\Apps\\\0#", 10));
    posix::regCloseKey(key);

    // A second handle sees what the first one stored.
    key = open(machine(), kAppKey, platform::kKeyQueryValue);
    EXPECT_EQ(std::string("C:\\Apps\\\0", 9), queryText(key, "InstallPath"));
    posix::regCloseKey(key);
}

TEST_F(PosixRegistry, StoresEveryTypeAsGiven) {
    RegistryKey key = open(machine(), "Software\\Types", platform::kKeySetValue | 1);
    const unsigned char dword[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    const unsigned char multi[9] = {'a', 0, 'b', 'c', 0, 0, 'x', 'y', 0};
    const unsigned char noZero[3] = {'a', 'b', 'c'};
    EXPECT_EQ(0, posix::regSetValue(key, "D", platform::kRegDword, dword, 4));
    EXPECT_EQ(0, posix::regSetValue(key, "M", platform::kRegMultiSz, multi, 9));
    EXPECT_EQ(0, posix::regSetValue(key, "S", platform::kRegSz, noZero, 3));
    EXPECT_EQ(0, posix::regSetValue(key, "E", platform::kRegExpandSz,
                                    reinterpret_cast<const unsigned char*>("%TEMP%"), 7));
    EXPECT_EQ(0, posix::regSetValue(key, "N", platform::kRegNone, nullptr, 0));
    posix::regCloseKey(key);

    key = open(machine(), "software\\TYPES", platform::kKeyQueryValue);
    struct Expected {
        const char* name;
        uint32_t type;
        std::string data;
    } expected[] = {
        {"D", platform::kRegDword, std::string("\xFF\xFF\xFF\xFF", 4)},
        {"M", platform::kRegMultiSz, std::string("a\0bc\0\0xy\0", 9)},
        {"S", platform::kRegSz, "abc"},
        {"E", platform::kRegExpandSz, std::string("%TEMP%\0", 7)},
        {"N", platform::kRegNone, ""},
    };
    for (const Expected& value : expected) {
        unsigned char data[32];
        uint32_t size = sizeof data;
        uint32_t type = 0;
        ASSERT_EQ(0, posix::regQueryValue(key, value.name, &type, data, &size)) << value.name;
        EXPECT_EQ(type, value.type) << value.name;
        EXPECT_EQ(value.data, std::string(reinterpret_cast<const char*>(data), size)) << value.name;
    }
    posix::regCloseKey(key);
}

TEST_F(PosixRegistry, EmptyOrNullNameIsTheDefaultValue) {
    RegistryKey key = open(machine(), "Software\\Classes\\VemloReader.Document\\DefaultIcon",
                           platform::kKeySetValue | platform::kKeyQueryValue);
    setText(key, "", "Vemlo Reader.exe,1");
    EXPECT_EQ(std::string("Vemlo Reader.exe,1\0", 19), queryText(key, nullptr));
    setText(key, nullptr, "second");
    EXPECT_EQ(std::string("second\0", 7), queryText(key, ""));
    posix::regCloseKey(key);
    EXPECT_NE(std::string::npos, readWholeFile(machineStore()).find("\n@=\"second\"\n"));
}

TEST_F(PosixRegistry, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    RegistryKey key = open(machine(), "Software\\Classes\\.PDF", platform::kKeySetValue);
    setText(key, "CLSID", "{1}");
    posix::regCloseKey(key);
    key = open(machine(), "SOFTWARE\\classes\\.pdf", platform::kKeySetValue | 1);
    EXPECT_EQ(std::string("{1}\0", 4), queryText(key, "clsid"));
    setText(key, "Clsid", "{2}");
    posix::regCloseKey(key);
    std::string text = readWholeFile(machineStore());
    EXPECT_NE(std::string::npos, text.find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\.PDF]\n"
                                           "\"CLSID\"=\"{2}\"\n"));
    EXPECT_EQ(std::string::npos, text.find(".pdf]"));
}

TEST_F(PosixRegistry, RootsAreSeparateStores) {
    RegistryKey key = open(machine(), kAppKey, platform::kKeySetValue);
    setText(key, "InstallPath", "machine");
    posix::regCloseKey(key);
    key = open(posix::rootKey(platform::kHkeyCurrentUser), kAppKey,
               platform::kKeySetValue | platform::kKeyQueryValue);
    EXPECT_EQ("<missing 2>", queryText(key, "InstallPath"));
    setText(key, "InstallPath", "user");
    posix::regCloseKey(key);
    EXPECT_NE(std::string::npos, readWholeFile(machineStore()).find("=\"machine\""));
    EXPECT_NE(std::string::npos, readWholeFile(userStore()).find("[HKEY_CURRENT_USER\\Software"));
    EXPECT_NE(std::string::npos, readWholeFile(userStore()).find("=\"user\""));
}

TEST_F(PosixRegistry, RootHandlesAreUsableAndNeverFreed) {
    RegistryKey root = machine();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root, posix::rootKey(platform::kHkeyLocalMachine));
    EXPECT_NE(root, posix::rootKey(platform::kHkeyCurrentUser));
    EXPECT_EQ(0, posix::regCloseKey(root));
    setText(root, "AtRoot", "1");
    EXPECT_EQ(std::string("1\0", 2), queryText(root, "AtRoot"));
    EXPECT_EQ(0, posix::regCloseKey(root));
    EXPECT_NE(std::string::npos,
              readWholeFile(machineStore()).find("[HKEY_LOCAL_MACHINE]\n\"AtRoot\"=\"1\"\n"));

    // An empty sub-key opens the root itself.
    RegistryKey same = open(root, "", platform::kKeyQueryValue);
    EXPECT_EQ(std::string("1\0", 2), queryText(same, "AtRoot"));
    posix::regCloseKey(same);
}

TEST_F(PosixRegistry, KeysOpenBelowOpenedKeys) {
    RegistryKey parent = open(machine(), "Software", platform::kKeyQueryValue);
    RegistryKey child = open(parent, "Vemlo Software\\Vemlo Reader\\", platform::kKeySetValue);
    setText(child, "X", "1");
    posix::regCloseKey(child);
    posix::regCloseKey(parent);
    RegistryKey key = open(machine(), kAppKey, platform::kKeyQueryValue);
    EXPECT_EQ(std::string("1\0", 2), queryText(key, "X"));
    posix::regCloseKey(key);
}

TEST_F(PosixRegistry, HandlesKeepTheAccessTheyWereOpenedWith) {
    RegistryKey reader = open(machine(), kAppKey, platform::kKeyQueryValue);
    const unsigned char text[] = "x";
    EXPECT_EQ(kAccessDenied, posix::regSetValue(reader, "X", platform::kRegSz, text, 2));
    posix::regCloseKey(reader);
    RegistryKey writer = open(machine(), kAppKey, platform::kKeySetValue);
    EXPECT_EQ(0, posix::regSetValue(writer, "X", platform::kRegSz, text, 2));
    uint32_t size = 0;
    EXPECT_EQ(kAccessDenied, posix::regQueryValue(writer, "X", nullptr, nullptr, &size));
    posix::regCloseKey(writer);
}

TEST_F(PosixRegistry, ReadOnlyStoreRefusesWritingButServesReading) {
    RegistryKey key = open(machine(), kAppKey, platform::kKeySetValue);
    setText(key, "InstallPath", "C:\\Apps\\");
    posix::regCloseKey(key);
    ASSERT_EQ(0, chmod(machineStore().c_str(), 0444));
    std::string before = readWholeFile(machineStore());

    RegistryKey refused = nullptr;
    EXPECT_EQ(kAccessDenied,
              posix::regCreateKey(machine(), kAppKey, platform::kKeySetValue, &refused));
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(kAccessDenied, posix::regCreateKey(machine(), "Software\\Missing",
                                                 platform::kKeyQueryValue, &refused));
    EXPECT_EQ(refused, nullptr);

    RegistryKey reader =
        open(machine(), "SOFTWARE\\Vemlo Software\\Vemlo Reader", platform::kKeyQueryValue);
    EXPECT_EQ(std::string("C:\\Apps\\\0", 9), queryText(reader, "InstallPath"));
    posix::regCloseKey(reader);

    // The user's root is another file and stays writable: the fallback.
    RegistryKey user =
        open(posix::rootKey(platform::kHkeyCurrentUser), kAppKey, platform::kKeySetValue);
    setText(user, "InstallPath", "C:\\Apps\\");
    posix::regCloseKey(user);

    EXPECT_EQ(before, readWholeFile(machineStore()));
}

TEST_F(PosixRegistry, ReadOnlyStoreRefusesValuesThroughOpenHandles) {
    RegistryKey key = open(machine(), kAppKey, platform::kKeySetValue);
    setText(key, "A", "1");
    ASSERT_EQ(0, chmod(machineStore().c_str(), 0400));
    const unsigned char text[] = "2";
    EXPECT_EQ(kAccessDenied, posix::regSetValue(key, "A", platform::kRegSz, text, 2));
    EXPECT_EQ(kAccessDenied, posix::regSetValue(machine(), "A", platform::kRegSz, text, 2));
    posix::regCloseKey(key);
    EXPECT_NE(std::string::npos, readWholeFile(machineStore()).find("\"A\"=\"1\""));
}

TEST_F(PosixRegistry, StoreThatCannotBeMadeRefusesWriting) {
    writeWholeFile(home_.path() + "/file", "not a directory");
    environment_.set("XDG_DATA_HOME", home_.path() + "/file");
    RegistryKey key = nullptr;
    EXPECT_EQ(kAccessDenied, posix::regCreateKey(machine(), kAppKey, platform::kKeySetValue, &key));
    EXPECT_EQ(kAccessDenied,
              posix::regCreateKey(machine(), kAppKey, platform::kKeyQueryValue, &key));
    EXPECT_EQ(key, nullptr);
    // The root itself exists even then, and can be read.
    uint32_t size = 0;
    EXPECT_EQ(kFileNotFound, posix::regQueryValue(machine(), "X", nullptr, nullptr, &size));
}

TEST_F(PosixRegistry, NoHomeAtAllRefusesWriting) {
    environment_.clear("XDG_DATA_HOME");
    environment_.clear("HOME");
    RegistryKey key = nullptr;
    EXPECT_EQ(kAccessDenied, posix::regCreateKey(machine(), kAppKey, platform::kKeySetValue, &key));
    EXPECT_EQ(key, nullptr);
}

TEST_F(PosixRegistry, FallsBackToHomeWhenDataHomeIsUnsetOrRelative) {
    environment_.set("XDG_DATA_HOME", "relative/path");
    RegistryKey key = open(machine(), "Software\\A", platform::kKeySetValue);
    posix::regCloseKey(key);
    EXPECT_NE(
        std::string::npos,
        readWholeFile(home_.path() + "/home/.local/share/vemsetup/registry/HKEY_LOCAL_MACHINE.reg")
            .find("[HKEY_LOCAL_MACHINE\\Software\\A]"));
    environment_.clear("XDG_DATA_HOME");
    key = open(machine(), "Software\\A", platform::kKeyQueryValue);
    posix::regCloseKey(key);
}

TEST_F(PosixRegistry, WritesLeaveNoTemporaryFileAndKeepTheMode) {
    RegistryKey key = open(machine(), kAppKey, platform::kKeySetValue);
    ASSERT_EQ(0, chmod(machineStore().c_str(), 0600));
    for (int i = 0; i < 5; ++i) {
        setText(key, ("Value" + std::to_string(i)).c_str(), "text");
    }
    posix::regCloseKey(key);
    EXPECT_EQ(std::vector<std::string>{"HKEY_LOCAL_MACHINE.reg"},
              directoryEntries(storeDirectory()));
    struct stat info;
    ASSERT_EQ(0, stat(machineStore().c_str(), &info));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(PosixRegistry, FailedWriteLeavesTheStoreWhole) {
    RegistryKey key = open(machine(), kAppKey, platform::kKeySetValue);
    setText(key, "A", "1");
    std::string before = readWholeFile(machineStore());
    // A directory in the way of the temporary file makes the write fail.
    std::string blocker = machineStore() + ".tmp." + std::to_string(getpid());
    ASSERT_EQ(0, mkdir(blocker.c_str(), 0700));
    const unsigned char text[] = "2";
    EXPECT_NE(0, posix::regSetValue(key, "A", platform::kRegSz, text, 2));
    posix::regCloseKey(key);
    EXPECT_EQ(before, readWholeFile(machineStore()));
}

TEST_F(PosixRegistry, ReadsWhatWasWrittenByHand) {
    writeMachineStore("REGEDIT4\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\MIME\\Database\\Content "
                      "Type\\application/pdf]\r\n"
                      "\"CLSID\"=\"{B801CA65-A1FC-11D0-85AD-444553540000}\"\r\n"
                      "\"Count\"=dword:fffffffe\r\n"
                      "\"Path\"=hex(2):25,54,45,4d,50,25,00\r\n");
    RegistryKey key =
        open(machine(), "Software\\Classes\\MIME\\Database\\Content Type\\application/pdf",
             platform::kKeyQueryValue);
    EXPECT_EQ(std::string("{B801CA65-A1FC-11D0-85AD-444553540000}\0", 39), queryText(key, "CLSID"));
    EXPECT_EQ(std::string("\xFE\xFF\xFF\xFF", 4), queryText(key, "Count"));
    EXPECT_EQ(std::string("%TEMP%\0", 7), queryText(key, "Path"));
    uint32_t type = 0;
    uint32_t size = 0;
    EXPECT_EQ(0, posix::regQueryValue(key, "Path", &type, nullptr, &size));
    EXPECT_EQ(type, platform::kRegExpandSz);
    posix::regCloseKey(key);
}

TEST_F(PosixRegistry, CorruptStoreIsRefusedAndKept) {
    writeMachineStore("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n");
    RegistryKey key = nullptr;
    EXPECT_EQ(kBadDb, posix::regCreateKey(machine(), "A", platform::kKeySetValue, &key));
    EXPECT_EQ(key, nullptr);
    const unsigned char text[] = "x";
    EXPECT_EQ(kBadDb, posix::regSetValue(machine(), "X", platform::kRegSz, text, 2));
    EXPECT_EQ("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n",
              readWholeFile(machineStore()));
}

TEST_F(PosixRegistry, KeyRemovedBehindAnOpenHandle) {
    RegistryKey key = open(machine(), kAppKey, platform::kKeySetValue | platform::kKeyQueryValue);
    writeWholeFile(machineStore(), "REGEDIT4\n\n");
    uint32_t size = 0;
    EXPECT_EQ(kKeyDeleted, posix::regQueryValue(key, "X", nullptr, nullptr, &size));
    const unsigned char text[] = "x";
    EXPECT_EQ(kKeyDeleted, posix::regSetValue(key, "X", platform::kRegSz, text, 2));
    posix::regCloseKey(key);
}

TEST_F(PosixRegistry, RefusesBadArguments) {
    RegistryKey key = nullptr;
    EXPECT_EQ(kInvalidParameter,
              posix::regCreateKey(machine(), "A", platform::kKeySetValue, nullptr));
    EXPECT_EQ(kInvalidHandle, posix::regCreateKey(nullptr, "A", platform::kKeySetValue, &key));
    EXPECT_EQ(kBadPathname, posix::regCreateKey(machine(), "\\A", platform::kKeySetValue, &key));
    EXPECT_EQ(kBadPathname, posix::regCreateKey(machine(), "A\\\\B", platform::kKeySetValue, &key));
    EXPECT_EQ(kBadPathname, posix::regCreateKey(machine(), "A\nB", platform::kKeySetValue, &key));
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(posix::rootKey(static_cast<platform::RegistryRoot>(7)), nullptr);

    unsigned char data[4];
    uint32_t size = 4;
    EXPECT_EQ(kInvalidHandle, posix::regQueryValue(nullptr, "X", nullptr, data, &size));
    EXPECT_EQ(kInvalidParameter, posix::regQueryValue(machine(), "X", nullptr, data, nullptr));
    EXPECT_EQ(kInvalidHandle, posix::regSetValue(nullptr, "X", platform::kRegSz, data, 1));
    EXPECT_NE(0, posix::regSetValue(machine(), "X", platform::kRegSz, nullptr, 1));
    EXPECT_EQ(kInvalidHandle, posix::regCloseKey(nullptr));
}

} // namespace
