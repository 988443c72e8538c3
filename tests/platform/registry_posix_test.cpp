#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix_impl.h"
#include "scoped_environment.h"

namespace {

using platform::RegistryKey;
using platform_test::directoryEntries;
using platform_test::readWholeFile;
using platform_test::writeWholeFile;

constexpr long kFileNotFound = 2;
constexpr long kAccessDenied = 5;
constexpr long kMoreData = 234;
constexpr long kBadDb = 1009;
constexpr long kKeyDeleted = 1018;
constexpr uint32_t kReadWrite = platform::kKeySetValue | platform::kKeyQueryValue;

const char kAppKey[] = "Software\\Vemlo Software\\Vemlo Reader";

class PosixRegistry : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home_.valid());
        environment_.set("XDG_DATA_HOME", home_.path() + "/data");
        environment_.set("HOME", home_.path() + "/home");
    }

    std::string storeDirectory() const { return home_.path() + "/data/vemsetup/registry"; }
    std::string machineStore() const { return storeDirectory() + "/HKEY_LOCAL_MACHINE.txt"; }
    std::string userStore() const { return storeDirectory() + "/HKEY_CURRENT_USER.txt"; }

    RegistryKey machine() const { return posix::rootKey(platform::kHkeyLocalMachine); }
    RegistryKey user() const { return posix::rootKey(platform::kHkeyCurrentUser); }

    // Opens (creating) a key; fails the test when that does not work.
    RegistryKey open(RegistryKey root, const char* subKey, uint32_t access) {
        RegistryKey key = nullptr;
        EXPECT_EQ(0, posix::regCreateKey(root, subKey, access, &key)) << subKey;
        EXPECT_NE(key, nullptr);
        return key;
    }

    long set(RegistryKey key, const char* name, uint32_t type, const std::string& data) {
        return posix::regSetValue(key, name, type,
                                  reinterpret_cast<const unsigned char*>(data.data()),
                                  static_cast<uint32_t>(data.size()));
    }

    void setText(RegistryKey key, const char* name, const char* text) {
        EXPECT_EQ(0, set(key, name, platform::kRegSz, std::string(text, strlen(text) + 1)));
    }

    // The value's bytes, or "<missing>" with the status.
    std::string query(RegistryKey key, const char* name, uint32_t* type = nullptr) {
        unsigned char data[700] = {};
        uint32_t size = sizeof data;
        long status = posix::regQueryValue(key, name, type, data, &size);
        if (status != 0) {
            return "<missing " + std::to_string(status) + ">";
        }
        return std::string(reinterpret_cast<const char*>(data), size);
    }

    void writeMachineStore(const std::string& text) {
        unlink(machineStore().c_str());
        posix::regCloseKey(open(machine(), "", platform::kKeySetValue)); // makes the directory
        writeWholeFile(machineStore(), text);
    }

    platform_test::TemporaryDirectory home_;
    platform_test::ScopedEnvironment environment_;
};

TEST_F(PosixRegistry, WritesOneLinePerValueAndEmptyKeysAlone) {
    RegistryKey key = open(machine(), kAppKey, platform::kKeySetValue);
    setText(key, "InstallPath", "C:\\Apps\\");
    setText(key, "", "tab\there, line\r\nbreak, 100%");
    EXPECT_EQ(0, set(key, "Count", platform::kRegDword, std::string("\x2a\0\0\0", 4)));
    EXPECT_EQ(0, set(key, "Blob", platform::kRegBinary, std::string("\x01\xff", 2)));
    EXPECT_EQ(0, set(key, "Odd", platform::kRegSz, "abc")); // no terminator
    EXPECT_EQ(0, set(key, "Short", platform::kRegDword, std::string("\x07", 1)));
    EXPECT_EQ(0, set(key, "New", 99, "z"));
    posix::regCloseKey(key);
    posix::regCloseKey(open(machine(), "Software\\Empty", platform::kKeySetValue));
    setText(machine(), "AtRoot", "1");

    const std::string app = std::string(kAppKey) + "\t";
    EXPECT_EQ(app + "InstallPath\tREG_SZ\tC:\\Apps\\\n" + app +
                  "\tREG_SZ\ttab%09here, line%0D%0Abreak, 100%25\n" + app +
                  "Count\tREG_DWORD\t42\n" + app + "Blob\tREG_BINARY\t01ff\n" + app +
                  "Odd\t1\t616263\n" + app + "Short\t4\t07\n" + app +
                  "New\t99\t7a\n"
                  "Software\\Empty\n"
                  "\tAtRoot\tREG_SZ\t1\n",
              readWholeFile(machineStore()));
}

TEST_F(PosixRegistry, ReadsLinesInAnyOrderIgnoringKeyCase) {
    writeMachineStore("software\\classes\\.PDF\tContent Type\tREG_SZ\tapplication/pdf\r\n"
                      "Software\\Classes\n"
                      "SOFTWARE\\Classes\\.pdf\t\tREG_EXPAND_SZ\t%25TEMP%25%0A\n"
                      "\n"
                      "Software\\Classes\\.pdf\tcount\tREG_DWORD\t4294967294\n"
                      "Software\\Classes\\.pdf\tHex\tREG_DWORD\t0x0000002A\n"
                      "Software\\Classes\\.pdf\tCOUNT\tREG_MULTI_SZ\t610000\n");
    RegistryKey key = open(machine(), "Software\\Classes\\.pdf", platform::kKeyQueryValue);
    uint32_t type = 0;
    EXPECT_EQ(std::string("application/pdf\0", 16), query(key, "content type"));
    EXPECT_EQ(std::string("%TEMP%\n\0", 8), query(key, nullptr, &type));
    EXPECT_EQ(type, platform::kRegExpandSz);
    EXPECT_EQ(std::string("\x2a\0\0\0", 4), query(key, "hex"));
    // The later line of the same value wins.
    EXPECT_EQ(std::string("a\0\0", 3), query(key, "Count", &type));
    EXPECT_EQ(type, platform::kRegMultiSz);
    posix::regCloseKey(key);
    // A key that only exists as the ancestor of another opens for reading.
    posix::regCloseKey(open(machine(), "software", platform::kKeyQueryValue));
}

TEST_F(PosixRegistry, GivesBackEveryValueExactly) {
    RegistryKey key = open(machine(), "Software\\Types", kReadWrite);
    const std::pair<uint32_t, std::string> values[] = {
        {platform::kRegDword, std::string("\xFF\xFF\xFF\xFF", 4)},
        {platform::kRegDword, std::string("\x01\0\0\0\x09\x09", 6)},
        {platform::kRegMultiSz, std::string("a\0bc\0\0xy\0", 9)},
        {platform::kRegSz, "abc"},
        {platform::kRegSz, std::string("a\0b\0", 4)},
        {platform::kRegSz, std::string(600, 'L')},
        {platform::kRegSz, std::string("\0", 1)},
        {platform::kRegExpandSz, std::string("%TEMP%\t\r\n\0", 10)},
        {platform::kRegNone, ""},
        {platform::kRegBinary, std::string("\0\t\n%", 4)},
        {0xFFFFFFFFu, "x"},
    };
    for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i) {
        EXPECT_EQ(0, set(key, std::to_string(i).c_str(), values[i].first, values[i].second));
    }
    posix::regCloseKey(key);
    key = open(machine(), "software\\TYPES", platform::kKeyQueryValue);
    for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i) {
        uint32_t type = 0;
        EXPECT_EQ(values[i].second, query(key, std::to_string(i).c_str(), &type)) << i;
        EXPECT_EQ(values[i].first, type) << i;
    }
    posix::regCloseKey(key);
}

TEST_F(PosixRegistry, QueryReportsSizeThenCopies) {
    RegistryKey key = open(machine(), kAppKey, kReadWrite);
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
    EXPECT_EQ(0, memcmp(small, "####", 4));
    type = 99;
    size = 77;
    EXPECT_EQ(kFileNotFound, posix::regQueryValue(key, "Missing", &type, nullptr, &size));
    EXPECT_EQ(type, 99u);
    EXPECT_EQ(size, 77u);
    posix::regCloseKey(key);
}

TEST_F(PosixRegistry, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    RegistryKey key = open(machine(), "Software\\Classes\\.PDF", platform::kKeySetValue);
    setText(key, "CLSID", "{1}");
    setText(key, "", "first");
    setText(key, nullptr, "default"); // null and "" both name the default value
    posix::regCloseKey(key);
    key = open(machine(), "SOFTWARE\\classes\\.pdf\\", kReadWrite);
    EXPECT_EQ(std::string("{1}\0", 4), query(key, "clsid"));
    setText(key, "Clsid", "{2}");
    posix::regCloseKey(key);
    EXPECT_EQ("Software\\Classes\\.PDF\tCLSID\tREG_SZ\t{2}\n"
              "Software\\Classes\\.PDF\t\tREG_SZ\tdefault\n",
              readWholeFile(machineStore()));
}

TEST_F(PosixRegistry, RootsAreSeparateStoresAndTheirHandlesStay) {
    RegistryKey key = open(machine(), kAppKey, platform::kKeySetValue);
    setText(key, "InstallPath", "machine");
    posix::regCloseKey(key);
    key = open(user(), kAppKey, kReadWrite);
    EXPECT_EQ("<missing 2>", query(key, "InstallPath"));
    setText(key, "InstallPath", "user");
    posix::regCloseKey(key);
    EXPECT_EQ(std::string(kAppKey) + "\tInstallPath\tREG_SZ\tuser\n", readWholeFile(userStore()));

    EXPECT_NE(machine(), user());
    EXPECT_EQ(0, posix::regCloseKey(machine()));
    RegistryKey parent = open(machine(), "Software", platform::kKeyQueryValue);
    RegistryKey child = open(parent, "Vemlo Software\\Vemlo Reader", platform::kKeyQueryValue);
    EXPECT_EQ(std::string("machine\0", 8), query(child, "InstallPath"));
    posix::regCloseKey(child);
    posix::regCloseKey(parent);
}

TEST_F(PosixRegistry, HandlesKeepTheAccessTheyWereOpenedWith) {
    RegistryKey reader = open(machine(), kAppKey, platform::kKeyQueryValue);
    EXPECT_EQ(kAccessDenied, set(reader, "X", platform::kRegSz, std::string("x", 2)));
    posix::regCloseKey(reader);
    RegistryKey writer = open(machine(), kAppKey, platform::kKeySetValue);
    uint32_t size = 0;
    EXPECT_EQ(kAccessDenied, posix::regQueryValue(writer, "X", nullptr, nullptr, &size));
    posix::regCloseKey(writer);
}

TEST_F(PosixRegistry, StoreWithoutWriteBitsRefusesWritingButServesReading) {
    RegistryKey key = open(machine(), kAppKey, platform::kKeySetValue);
    setText(key, "InstallPath", "C:\\Apps\\");
    ASSERT_EQ(0, chmod(machineStore().c_str(), 0444));
    const std::string before = readWholeFile(machineStore());
    // Refused through a handle opened before, and for every new key or writer.
    EXPECT_EQ(kAccessDenied, set(key, "A", platform::kRegSz, std::string("2", 2)));
    posix::regCloseKey(key);
    RegistryKey refused = nullptr;
    EXPECT_EQ(kAccessDenied,
              posix::regCreateKey(machine(), kAppKey, platform::kKeySetValue, &refused));
    EXPECT_EQ(kAccessDenied, posix::regCreateKey(machine(), "Software\\Missing",
                                                 platform::kKeyQueryValue, &refused));
    EXPECT_EQ(refused, nullptr);

    RegistryKey reader = open(machine(), kAppKey, platform::kKeyQueryValue);
    EXPECT_EQ(std::string("C:\\Apps\\\0", 9), query(reader, "InstallPath"));
    posix::regCloseKey(reader);
    // The user's root is another file and stays writable: the fallback.
    posix::regCloseKey(open(user(), kAppKey, platform::kKeySetValue));
    EXPECT_EQ(before, readWholeFile(machineStore()));
}

TEST_F(PosixRegistry, StoreThatCannotBeMadeRefusesWriting) {
    writeWholeFile(home_.path() + "/file", "not a directory");
    environment_.set("XDG_DATA_HOME", home_.path() + "/file");
    RegistryKey key = nullptr;
    EXPECT_EQ(kAccessDenied, posix::regCreateKey(machine(), kAppKey, platform::kKeySetValue, &key));
    EXPECT_EQ(kAccessDenied,
              posix::regCreateKey(machine(), kAppKey, platform::kKeyQueryValue, &key));
    environment_.clear("XDG_DATA_HOME");
    environment_.clear("HOME");
    EXPECT_EQ(kAccessDenied, posix::regCreateKey(machine(), kAppKey, platform::kKeySetValue, &key));
    EXPECT_EQ(key, nullptr);
    // The root itself exists even then, and can be read.
    uint32_t size = 0;
    EXPECT_EQ(kFileNotFound, posix::regQueryValue(machine(), "X", nullptr, nullptr, &size));
}

TEST_F(PosixRegistry, FallsBackToHomeWhenDataHomeIsRelative) {
    environment_.set("XDG_DATA_HOME", "relative/path");
    posix::regCloseKey(open(machine(), "Software\\A", platform::kKeySetValue));
    EXPECT_EQ("Software\\A\n", readWholeFile(home_.path() + "/home/.local/share/vemsetup/registry/"
                                                            "HKEY_LOCAL_MACHINE.txt"));
}

TEST_F(PosixRegistry, WritesWholeOrNotAtAllAndKeepTheMode) {
    RegistryKey key = open(machine(), kAppKey, platform::kKeySetValue);
    ASSERT_EQ(0, chmod(machineStore().c_str(), 0600));
    setText(key, "A", "1");
    EXPECT_EQ(std::vector<std::string>{"HKEY_LOCAL_MACHINE.txt"},
              directoryEntries(storeDirectory()));
    struct stat info;
    ASSERT_EQ(0, stat(machineStore().c_str(), &info));
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const std::string before = readWholeFile(machineStore());
    // A directory in the way of the temporary file makes the write fail.
    const std::string blocker = machineStore() + ".tmp." + std::to_string(getpid());
    ASSERT_EQ(0, mkdir(blocker.c_str(), 0700));
    EXPECT_NE(0, set(key, "A", platform::kRegSz, std::string("2", 2)));
    posix::regCloseKey(key);
    EXPECT_EQ(before, readWholeFile(machineStore()));
}

TEST_F(PosixRegistry, StoreNotInTheFormatIsRefusedAndKept) {
    for (const char* text : {"A\tname\tREG_SZ\n", "A\tn\tREG_SZ\tx\ty\n", "A\tn\tREG_DWORD\tx\n",
                             "A\tn\tREG_DWORD\t4294967296\n", "A\tn\tREG_DWORD\t0x\n",
                             "A\tn\tREG_BINARY\t0\n", "A\tn\tREG_SZ\t%4\n", "A\tn\tREG_SZZ\t\n"}) {
        writeMachineStore(text);
        RegistryKey key = nullptr;
        EXPECT_EQ(kBadDb, posix::regCreateKey(machine(), "A", platform::kKeySetValue, &key))
            << text;
        EXPECT_EQ(key, nullptr);
        EXPECT_EQ(kBadDb, set(machine(), "X", platform::kRegSz, std::string("x", 2)));
        EXPECT_EQ(text, readWholeFile(machineStore()));
    }
}

TEST_F(PosixRegistry, KeyRemovedBehindAnOpenHandle) {
    RegistryKey key = open(machine(), kAppKey, kReadWrite);
    writeWholeFile(machineStore(), "");
    uint32_t size = 0;
    EXPECT_EQ(kKeyDeleted, posix::regQueryValue(key, "X", nullptr, nullptr, &size));
    EXPECT_EQ(kKeyDeleted, set(key, "X", platform::kRegSz, std::string("x", 2)));
    posix::regCloseKey(key);
}

TEST_F(PosixRegistry, RefusesBadArguments) {
    EXPECT_EQ(posix::rootKey(static_cast<platform::RegistryRoot>(7)), nullptr);
    EXPECT_NE(0, posix::regSetValue(machine(), "X", platform::kRegSz, nullptr, 1));
    EXPECT_EQ(0, posix::regCloseKey(nullptr));
}

} // namespace
