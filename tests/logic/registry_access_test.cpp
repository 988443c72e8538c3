#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "common/bounded_text.h"
#include "fake_platform.h"
#include "system/registry_access.h"
#include "temp_dir.h"

namespace {

class RegistryAccessTest : public testing::Test {
  protected:
    void SetUp() override {
        fake::reset();
        dataEnv = std::make_unique<ScopedEnv>("XDG_DATA_HOME", dir / "data");
        memset(out, 'X', sizeof out);
        out[sizeof out - 1] = '\0';
    }

    // Stores raw data of any type, as another program would have.
    void store(const char* subKey, const char* name, uint32_t type, const Bytes& data) {
        platform::RegistryKey key = nullptr;
        ASSERT_EQ(platform::regCreateKey(platform::rootKey(platform::kHkeyLocalMachine), subKey,
                                         platform::kKeySetValue, &key),
                  0);
        platform::regSetValue(key, name, type, data.data(), static_cast<uint32_t>(data.size()));
        platform::regCloseKey(key);
    }

    Bytes stored(platform::RegistryRoot root, const char* subKey, const char* name,
                 uint32_t* type) {
        platform::RegistryKey key = nullptr;
        if (platform::regCreateKey(platform::rootKey(root), subKey, platform::kKeyQueryValue,
                                   &key) != 0) {
            return {};
        }
        uint32_t size = 0;
        Bytes data;
        if (platform::regQueryValue(key, name, type, nullptr, &size) == 0) {
            data.resize(size);
            platform::regQueryValue(key, name, type, data.data(), &size);
        }
        platform::regCloseKey(key);
        return data;
    }

    bool read(const char* subKey, const char* name, const char* fallback = "fallback") {
        return readRegistryValue({platform::kHkeyLocalMachine, subKey, name}, fallback, out);
    }

    ScopedTempDir dir;
    std::unique_ptr<ScopedEnv> dataEnv;
    char out[kPathBufferSize];
};

TEST_F(RegistryAccessTest, MissingValueLeavesOutputUntouched) {
    store("Software\\Test", "other", platform::kRegSz, toBytes(std::string("x\0", 2)));
    EXPECT_FALSE(read("Software\\Test", "missing"));
    EXPECT_EQ(out[0], 'X');
    EXPECT_EQ(out[258], 'X');
}

TEST_F(RegistryAccessTest, ReadingUnderAMissingKeyCreatesItEmpty) {
    EXPECT_FALSE(read("Software\\Created\\ByRead", "v"));
    platform::RegistryKey key = nullptr;
    // Opening for reading succeeds only for a key that exists now.
    fake::denyRegistryWrites(true, true);
    EXPECT_EQ(platform::regCreateKey(platform::rootKey(platform::kHkeyLocalMachine),
                                     "software\\created\\byread", platform::kKeyQueryValue, &key),
              0);
    platform::regCloseKey(key);
}

// Texts are cut within the stored data and the buffer; a dword of the wrong
// length is read within its bytes; other types give the fallback.
TEST_F(RegistryAccessTest, ReadsTextsAndDwords) {
    struct Case {
        const char* name;
        uint32_t type;
        Bytes data;
        std::string expected;
    };
    const Case cases[] = {
        {"text", platform::kRegSz, toBytes(std::string("hello\0", 6)), "hello"},
        {"empty", platform::kRegSz, {0}, "fallback"},
        {"expand", platform::kRegExpandSz, toBytes(std::string("%SystemRoot%\\x\0", 15)),
         "%SystemRoot%\\x"},
        {"unterminated", platform::kRegSz, toBytes("abc"), "abc"},
        {"long", platform::kRegSz, Bytes(600, 'L'), std::string(259, 'L')},
        {"answer", platform::kRegDword, {42, 0, 0, 0}, "42"},
        {"minus", platform::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}, "-1"},
        {"lowest", platform::kRegDword, {0, 0, 0, 0x80}, "-2147483648"},
        {"short", platform::kRegDword, {7}, "7"},
        {"six", platform::kRegDword, {1, 0, 0, 0, 9, 9}, "1"},
        {"binary", platform::kRegBinary, {1, 2, 3}, "fallback"},
        {"multi", platform::kRegMultiSz, toBytes(std::string("a\0b\0\0", 5)), "fallback"},
    };
    for (const Case& c : cases) {
        store("Software\\Test", c.name, c.type, c.data);
        ASSERT_TRUE(read("Software\\Test", c.name)) << c.name;
        EXPECT_EQ(std::string(out), c.expected) << c.name;
    }
}

TEST_F(RegistryAccessTest, EmptySubKeyQueriesTheRoot) {
    EXPECT_FALSE(read("", "nothing-here"));
    EXPECT_FALSE(read(nullptr, "nothing-here"));
}

TEST_F(RegistryAccessTest, WritesStoreTerminatedText) {
    ASSERT_TRUE(writeRegistryValue({platform::kHkeyLocalMachine, "Software\\W", "empty"}, ""));
    uint32_t type = 0;
    EXPECT_EQ(stored(platform::kHkeyLocalMachine, "Software\\W", "empty", &type), Bytes{0});
    EXPECT_EQ(type, platform::kRegSz);

    ASSERT_TRUE(writeRegistryValue({platform::kHkeyLocalMachine, "Software\\W", ""}, "default"));
    EXPECT_EQ(stored(platform::kHkeyLocalMachine, "Software\\W", "", &type),
              toBytes(std::string("default\0", 8)));
    EXPECT_EQ(fake::countCalls("regCreateKey"), fake::countCalls("regCloseKey"));
}

TEST_F(RegistryAccessTest, WriteFailsWhenTheKeyOrTheValueIsRefused) {
    fake::denyRegistryWrites(true, false);
    EXPECT_FALSE(writeRegistryValue({platform::kHkeyLocalMachine, "Software\\W", "v"}, "x"));
    fake::denyRegistryWrites(false, false);
    fake::failCall("regSetValue");
    EXPECT_FALSE(writeRegistryValue({platform::kHkeyLocalMachine, "Software\\W", "v"}, "x"));
    EXPECT_EQ(fake::countCalls("regCloseKey"), 1) << "the key that opened is closed";
}

TEST_F(RegistryAccessTest, MachineThenUserFallsBackWhenTheMachineWideWriteFails) {
    EXPECT_TRUE(writeMachineThenUser("Software\\F", "v", "machine"));
    uint32_t type = 0;
    EXPECT_FALSE(stored(platform::kHkeyLocalMachine, "Software\\F", "v", &type).empty());
    EXPECT_TRUE(stored(platform::kHkeyCurrentUser, "Software\\F", "v", &type).empty());

    fake::denyRegistryWrites(true, false);
    EXPECT_TRUE(writeMachineThenUser("Software\\F", "u", "user"));
    EXPECT_EQ(stored(platform::kHkeyCurrentUser, "Software\\F", "u", &type),
              toBytes(std::string("user\0", 5)));

    fake::denyRegistryWrites(true, true);
    EXPECT_FALSE(writeMachineThenUser("Software\\F", "none", "x"));

    // A machine-wide key that opens but refuses the value falls back too.
    fake::denyRegistryWrites(false, false);
    fake::failCall("regSetValue");
    EXPECT_TRUE(writeMachineThenUser("Software\\F", "refused", "user"));
    EXPECT_TRUE(stored(platform::kHkeyLocalMachine, "Software\\F", "refused", &type).empty());
    EXPECT_EQ(stored(platform::kHkeyCurrentUser, "Software\\F", "refused", &type),
              toBytes(std::string("user\0", 5)));
    fake::failCall("regSetValue", 1, true);
    EXPECT_FALSE(writeMachineThenUser("Software\\F", "nowhere", "x"));
}

} // namespace
