#include "platform/posix/regedit_format.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

using posix::RegeditKey;
using posix::RegeditStore;
using posix::RegeditValue;

std::vector<unsigned char> bytesOf(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

std::vector<unsigned char> textData(const std::string& text) {
    std::vector<unsigned char> data = bytesOf(text);
    data.push_back(0);
    return data;
}

void setValue(RegeditKey* key, const std::string& name, uint32_t type,
              const std::vector<unsigned char>& data) {
    ASSERT_NE(key, nullptr);
    posix::regeditSetValue(*key, name.c_str(), type, data.data(), data.size());
}

RegeditStore parse(const std::string& text) {
    RegeditStore store;
    EXPECT_TRUE(posix::parseRegedit(text.data(), text.size(), store)) << text;
    return store;
}

// Compares two stores key by key and value by value, case of names included.
void expectSameStore(const RegeditStore& expected, const RegeditStore& actual) {
    ASSERT_EQ(expected.keys.size(), actual.keys.size());
    for (const RegeditKey& key : expected.keys) {
        RegeditStore& mutableActual = const_cast<RegeditStore&>(actual);
        RegeditKey* other = posix::regeditFindKey(mutableActual, key.path);
        ASSERT_NE(other, nullptr) << key.path;
        EXPECT_EQ(key.path, other->path);
        ASSERT_EQ(key.values.size(), other->values.size()) << key.path;
        for (size_t i = 0; i < key.values.size(); ++i) {
            EXPECT_EQ(key.values[i].name, other->values[i].name) << key.path;
            EXPECT_EQ(key.values[i].type, other->values[i].type) << key.values[i].name;
            EXPECT_EQ(key.values[i].data, other->values[i].data) << key.values[i].name;
        }
    }
}

const char kMachine[] = "HKEY_LOCAL_MACHINE";

TEST(RegeditFormat, RoundTripKeepsEveryTypeAndName) {
    RegeditStore store;
    RegeditKey* key = posix::regeditAddKey(store, "HKEY_LOCAL_MACHINE\\Software\\Vemlo", nullptr);
    setValue(key, "", 1, textData("default"));
    setValue(key, "Path", 1, textData("C:\\Apps\\\"quoted\" \\\\share"));
    setValue(key, "Empty", 1, textData(""));
    setValue(key, "Expand", 2, textData("%TEMP%\\vem"));
    setValue(key, "Binary", 3, {0x00, 0x01, 0x7F, 0x80, 0xFF});
    setValue(key, "EmptyBinary", 3, {});
    setValue(key, "Answer", 4, {0x2A, 0, 0, 0});
    setValue(key, "MinusOne", 4, {0xFF, 0xFF, 0xFF, 0xFF});
    setValue(key, "ShortDword", 4, {0x01, 0x02, 0x03});
    setValue(key, "BigEndian", 5, {0, 0, 0, 0x2A});
    setValue(key, "Multi", 7, bytesOf(std::string("one\0two\0\0", 9)));
    setValue(key, "None", 0, {});
    setValue(key, "Unterminated", 1, bytesOf("no zero"));
    setValue(key, "ZeroLengthSz", 1, {});
    setValue(key, "LineBreak", 1, textData("two\r\nlines"));
    setValue(key, "Embedded", 1, bytesOf(std::string("a\0b\0", 4)));
    setValue(key, "HighType", 0x12345678u, {0xAB});
    setValue(key, "Name with \"quotes\" and \\", 1, textData("x"));
    setValue(key, "Name\nwith break", 1, textData("y"));
    setValue(key, "@", 1, textData("not the default"));
    setValue(key, "Latin1 \xE9", 1, textData("caf\xE9 \x80"));
    std::vector<unsigned char> large(700);
    for (size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<unsigned char>(i * 7);
    }
    setValue(key, "Large", 3, large);
    setValue(posix::regeditAddKey(store, "HKEY_LOCAL_MACHINE\\Software\\Vemlo\\Empty Key", nullptr),
             "", 1, textData("under"));
    posix::regeditAddKey(store, "HKEY_LOCAL_MACHINE\\Software\\Bracket]Key[", nullptr);

    std::string text = posix::serializeRegedit(store);
    RegeditStore back = parse(text);
    expectSameStore(store, back);
    EXPECT_EQ(text, posix::serializeRegedit(back));
}

TEST(RegeditFormat, WritesRegeditSpelling) {
    RegeditStore store;
    RegeditKey* key = posix::regeditAddKey(store, "HKEY_CURRENT_USER\\Software\\A", nullptr);
    setValue(key, "", 1, textData("C:\\Apps\\"));
    setValue(key, "Count", 4, {0x2A, 0, 0, 0});
    setValue(key, "Blob", 3, {0x01, 0xAB});
    setValue(key, "Env", 2, textData("%X%"));
    setValue(key, "Say \"hi\"", 1, textData(""));
    EXPECT_EQ("REGEDIT4\n"
              "\n"
              "[HKEY_CURRENT_USER]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\A]\n"
              "@=\"C:\\\\Apps\\\\\"\n"
              "\"Count\"=dword:0000002a\n"
              "\"Blob\"=hex:01,ab\n"
              "\"Env\"=hex(2):25,58,25,00\n"
              "\"Say \\\"hi\\\"\"=\"\"\n"
              "\n",
              posix::serializeRegedit(store));
}

TEST(RegeditFormat, LongHexDataIsContinuedOnNextLines) {
    RegeditStore store;
    std::vector<unsigned char> data(100, 0x11);
    setValue(posix::regeditAddKey(store, "HKEY_LOCAL_MACHINE\\K", nullptr), "B", 3, data);
    std::string text = posix::serializeRegedit(store);
    size_t start = 0;
    int lines = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
        start = end + 1;
        ++lines;
    }
    EXPECT_GT(lines, 6); // the 300 characters of data span several lines
    RegeditStore back = parse(text);
    expectSameStore(store, back);
}

TEST(RegeditFormat, ReadsHandWrittenExport) {
    RegeditStore store = parse("\xEF\xBB\xBFREGEDIT4\r\n"
                               "\r\n"
                               "; a comment\r\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Classes\\.pdf]  \r\n"
                               "@=\"AcroExch.Document\"\r\n"
                               "\"Content Type\" = \"application/pdf\"\r\n"
                               "\"Flags\"=DWORD:FFFFFFFF\r\n"
                               "\"Short\"=dword:7\r\n"
                               "\"Wrapped\"=hex(7):61,00,\\\r\n"
                               "  62,00,00\r\n"
                               "\"Spaced\"=hex: 1 , 2 ,ff\r\n"
                               "\"Odd\\path\"=\"a\\b\"\r\n");
    RegeditKey* key = posix::regeditFindKey(store, "HKEY_LOCAL_MACHINE\\Software\\Classes\\.pdf");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values.size(), 7u);
    EXPECT_EQ(key->values[0].name, "");
    EXPECT_EQ(key->values[0].data, textData("AcroExch.Document"));
    EXPECT_EQ(key->values[1].data, textData("application/pdf"));
    EXPECT_EQ(key->values[2].type, 4u);
    EXPECT_EQ(key->values[2].data, (std::vector<unsigned char>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(key->values[3].data, (std::vector<unsigned char>{7, 0, 0, 0}));
    EXPECT_EQ(key->values[4].type, 7u);
    EXPECT_EQ(key->values[4].data, (std::vector<unsigned char>{'a', 0, 'b', 0, 0}));
    EXPECT_EQ(key->values[5].type, 3u);
    EXPECT_EQ(key->values[5].data, (std::vector<unsigned char>{1, 2, 0xFF}));
    // Backslashes before anything but '\' and '"' stay as written.
    EXPECT_EQ(key->values[6].name, "Odd\\path");
    EXPECT_EQ(key->values[6].data, textData("a\\b"));
    EXPECT_NE(posix::regeditFindKey(store, "HKEY_LOCAL_MACHINE\\Software"), nullptr);
}

TEST(RegeditFormat, KeysIgnoreCaseAndKeepTheirFirstSpelling) {
    RegeditStore store;
    bool created = false;
    RegeditKey* first =
        posix::regeditAddKey(store, "HKEY_LOCAL_MACHINE\\Software\\Classes\\.PDF", &created);
    EXPECT_TRUE(created);
    RegeditKey* again =
        posix::regeditAddKey(store, "hkey_local_machine\\SOFTWARE\\classes\\.pdf", &created);
    EXPECT_FALSE(created);
    EXPECT_EQ(first, again);
    EXPECT_EQ(again->path, "HKEY_LOCAL_MACHINE\\Software\\Classes\\.PDF");
    EXPECT_EQ(posix::regeditFindKey(store, "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\.pdf"), first);
    EXPECT_EQ(store.keys.size(), 4u);

    // Sections that differ only in case are one key.
    RegeditStore parsed = parse("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Vemlo]\n\"A\"=\"1\"\n"
                                "[hkey_local_machine\\software\\VEMLO]\n\"B\"=\"2\"\n");
    RegeditKey* key = posix::regeditFindKey(parsed, "HKEY_LOCAL_MACHINE\\Software\\Vemlo");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->path, "HKEY_LOCAL_MACHINE\\Software\\Vemlo");
    EXPECT_EQ(key->values.size(), 2u);
}

TEST(RegeditFormat, ValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
    RegeditStore store;
    RegeditKey* key = posix::regeditAddKey(store, "HKEY_LOCAL_MACHINE\\K", nullptr);
    setValue(key, "InstallPath", 1, textData("C:\\A\\"));
    setValue(key, "INSTALLPATH", 1, textData("C:\\B\\"));
    ASSERT_EQ(key->values.size(), 1u);
    EXPECT_EQ(key->values[0].name, "InstallPath");
    EXPECT_EQ(key->values[0].data, textData("C:\\B\\"));
    EXPECT_EQ(posix::regeditFindValue(*key, "installpath"), &key->values[0]);
    EXPECT_EQ(posix::regeditFindValue(*key, ""), nullptr);
    EXPECT_EQ(posix::regeditFindValue(*key, nullptr), nullptr);
}

TEST(RegeditFormat, ParentsComeFirstAndSeparatorSortsLowest) {
    RegeditStore store;
    posix::regeditAddKey(store, "HKEY_LOCAL_MACHINE\\a b", nullptr);
    posix::regeditAddKey(store, "HKEY_LOCAL_MACHINE\\A\\c", nullptr);
    posix::regeditAddKey(store, "HKEY_LOCAL_MACHINE\\B", nullptr);
    EXPECT_EQ("REGEDIT4\n\n"
              "[HKEY_LOCAL_MACHINE]\n\n"
              "[HKEY_LOCAL_MACHINE\\A]\n\n"
              "[HKEY_LOCAL_MACHINE\\A\\c]\n\n"
              "[HKEY_LOCAL_MACHINE\\a b]\n\n"
              "[HKEY_LOCAL_MACHINE\\B]\n\n",
              posix::serializeRegedit(store));
}

TEST(RegeditFormat, RefusesPathsTheFormatCannotHold) {
    RegeditStore store;
    const char* bad[] = {"",
                         "\\HKEY_LOCAL_MACHINE",
                         "HKEY_LOCAL_MACHINE\\",
                         "HKEY_LOCAL_MACHINE\\\\A",
                         "-HKEY_LOCAL_MACHINE\\A",
                         "HKEY_LOCAL_MACHINE\\A\nB"};
    for (const char* path : bad) {
        EXPECT_FALSE(posix::regeditPathHoldable(path)) << path;
        EXPECT_EQ(posix::regeditAddKey(store, path, nullptr), nullptr) << path;
    }
    EXPECT_FALSE(posix::regeditPathHoldable(std::string("A\0B", 3)));
    EXPECT_TRUE(store.keys.empty());
    EXPECT_TRUE(posix::regeditPathHoldable(kMachine));
}

TEST(RegeditFormat, RefusesTextWithoutSignature) {
    const char* texts[] = {"",
                           "REGEDIT",
                           "REGEDIT5\n",
                           "Windows Registry Editor Version 5.00\n",
                           "\nREGEDIT4\n",
                           "REGEDIT4x\n"};
    for (const char* text : texts) {
        RegeditStore store;
        posix::regeditAddKey(store, "HKEY_LOCAL_MACHINE\\Stale", nullptr);
        EXPECT_FALSE(posix::parseRegedit(text, strlen(text), store)) << text;
        EXPECT_TRUE(store.keys.empty()) << text;
    }
    RegeditStore store;
    EXPECT_FALSE(posix::parseRegedit(nullptr, 0, store));
    EXPECT_TRUE(posix::parseRegedit("REGEDIT4", 8, store));
    EXPECT_TRUE(posix::parseRegedit("REGEDIT4 \r\n", 11, store));
}

// Each bad line sits between two good values; only the good ones survive.
TEST(RegeditFormat, SkipsMalformedLines) {
    const char* badLines[] = {
        "\"a\"=dword:123456789",
        "\"a\"=dword:",
        "\"a\"=dword:12 34",
        "\"a\"=dword:xyz",
        "\"a\"=hex:1g",
        "\"a\"=hex:123",
        "\"a\"=hex:01,,02",
        "\"a\"=hex(:00",
        "\"a\"=hex(123456789):00",
        "\"a\"=hex(2)00",
        "\"a\"=hex(2",
        "\"a\"=\"unterminated",
        "\"a\"=\"x\" trailing",
        "\"a\"=\"x\"\"y\"",
        "\"a\"=",
        "\"a\"",
        "\"a",
        "\"a\"=-",
        "\"a\"=text",
        "@",
        "@\"a\"=\"x\"",
        "[",
        "[]",
        "[HKEY_LOCAL_MACHINE\\\\B]",
        "\"a\"=hex:01,\\ 02",
        "   ",
        "\"",
        "\\",
    };
    for (const char* bad : badLines) {
        std::string text = std::string("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"before\"=\"1\"\n") +
                           bad + "\n\"after\"=\"2\"\n";
        RegeditStore store = parse(text);
        RegeditKey* key = posix::regeditFindKey(store, "HKEY_LOCAL_MACHINE\\K");
        ASSERT_NE(key, nullptr) << bad;
        EXPECT_EQ(posix::regeditFindValue(*key, "a"), nullptr) << bad;
        EXPECT_NE(posix::regeditFindValue(*key, "before"), nullptr) << bad;
        // A bad section line ends the section: what follows belongs nowhere.
        bool sectionLine = bad[0] == '[';
        EXPECT_EQ(posix::regeditFindValue(*key, "after") != nullptr, !sectionLine) << bad;
    }
}

TEST(RegeditFormat, IgnoresValuesOutsideUsableSections) {
    RegeditStore store = parse("REGEDIT4\n\"lost\"=\"1\"\n[-HKEY_LOCAL_MACHINE\\Gone]\n"
                               "\"lost\"=\"2\"\n[HKEY_LOCAL_MACHINE\\Kept]\n\"kept\"=\"3\"\n");
    EXPECT_EQ(posix::regeditFindKey(store, "-HKEY_LOCAL_MACHINE\\Gone"), nullptr);
    EXPECT_EQ(posix::regeditFindKey(store, "HKEY_LOCAL_MACHINE\\Gone"), nullptr);
    ASSERT_EQ(store.keys.size(), 2u);
    RegeditKey* key = posix::regeditFindKey(store, "HKEY_LOCAL_MACHINE\\Kept");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values.size(), 1u);
    EXPECT_EQ(key->values[0].name, "kept");
}

TEST(RegeditFormat, ContinuationAtEndOfInputIsDropped) {
    RegeditStore store = parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:01,02,\\");
    RegeditKey* key = posix::regeditFindKey(store, "HKEY_LOCAL_MACHINE\\K");
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->values.empty());
    // A continuation line is not read again as a line of its own.
    store = parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:01,\\\n[HKEY_LOCAL_MACHINE\\X]\n");
    EXPECT_EQ(posix::regeditFindKey(store, "HKEY_LOCAL_MACHINE\\X"), nullptr);
}

// Parsing what was serialized from any parse gives the same text again.
void expectStableRoundTrip(const std::string& text) {
    RegeditStore first;
    if (!posix::parseRegedit(text.data(), text.size(), first)) {
        return;
    }
    std::string once = posix::serializeRegedit(first);
    RegeditStore second;
    ASSERT_TRUE(posix::parseRegedit(once.data(), once.size(), second));
    EXPECT_EQ(once, posix::serializeRegedit(second));
}

const char kSample[] = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Vemlo Software\\Vemlo Reader]\n"
                       "@=\"x\"\n\"InstallPath\"=\"C:\\\\Apps\\\\\"\n\"N\"=dword:0000002a\n"
                       "\"B\"=hex:01,02,03,\\\n  04,05\n\"E\"=hex(2):25,00\n"
                       "[HKEY_CURRENT_USER\\Software]\n\"Q\"=\"a\\\"b\"\n";

TEST(RegeditFormat, EveryPrefixOfAStoreParses) {
    std::string sample = kSample;
    for (size_t length = 0; length <= sample.size(); ++length) {
        // Copied so that a read past the prefix is caught by the sanitizers.
        std::vector<char> prefix(sample.begin(), sample.begin() + static_cast<long>(length));
        RegeditStore store;
        bool parsed = posix::parseRegedit(prefix.data(), prefix.size(), store);
        EXPECT_EQ(parsed, length >= 8) << length;
        expectStableRoundTrip(std::string(prefix.begin(), prefix.end()));
    }
}

TEST(RegeditFormat, MutatedStoresParseAndRoundTrip) {
    const std::string sample = kSample;
    const char alphabet[] = "\"\\[]@=:,()\n\r \txX0aF9-;\0\xff";
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string text = sample;
        int edits = 1 + static_cast<int>(next() % 6);
        for (int e = 0; e < edits && text.size() > 9; ++e) {
            size_t at = 9 + next() % (text.size() - 9); // keep the signature line
            char c = alphabet[next() % (sizeof alphabet - 1)];
            switch (next() % 3) {
            case 0:
                text[at] = c;
                break;
            case 1:
                text.insert(text.begin() + static_cast<long>(at), c);
                break;
            default:
                text.erase(at, 1 + next() % 8);
                break;
            }
        }
        std::vector<char> copy(text.begin(), text.end());
        RegeditStore store;
        ASSERT_TRUE(posix::parseRegedit(copy.data(), copy.size(), store));
        expectStableRoundTrip(text);
    }
}

} // namespace
