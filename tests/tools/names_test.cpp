// Entry name rules of the packer, and the code pages names are stored in.
#include "code_page.h"
#include "inputs.h"
#include "names.h"

#include <gtest/gtest.h>
#include <string>

namespace vempack {
namespace {

// ソ and 表 in code page 932: their trail byte is 0x5C, a backslash.
const std::string kSo932 = "\x83\x5C";
const std::string kHyo932 = "\x95\x5C";

TEST(NameProblem, AcceptsWindowsFileNamesAtAnyLevel) {
    const std::string accepted[] = {"Setup.exe",
                                    "Vemlo Reader.exe",
                                    ".profile",
                                    "COM10.txt",
                                    "CONSOLE.txt",
                                    "LPT0",
                                    "plugins\\platforms\\qwindows.dll",
                                    "a\\.b\\c",
                                    std::string(kMaxNameLength, 'x'),
                                    "x\\" + std::string(kMaxNameLength - 2, 'x'),
                                    "caf\xE9.txt"};
    for (const std::string& name : accepted) {
        EXPECT_EQ(nameProblem(name), "") << name;
    }
}

// Every kind of bad level, as the first, middle and last of three: refused,
// and the message points at that level.
TEST(NameProblem, RefusesEachBadLevelInTurn) {
    const std::string badLevels[] = {"",    ".",    "..",       "...",      ". .",       "x.",
                                     "x ",  "CON",  "lpt5.txt", "nul .txt", "a|b",       "C:x",
                                     "a/b", "a\tb", "a*",       "<",        "aux.tar.gz"};
    for (const std::string& bad : badLevels) {
        for (std::size_t at = 0; at < 3; ++at) {
            std::vector<std::string> levels{"good", "good.txt", "g"};
            levels[at] = bad;
            const std::string name = joinLevels(levels);
            const std::string problem = nameProblem(name);
            EXPECT_NE(problem, "") << displayName(name);
            // Characters are refused for the whole name, levels by number.
            if (bad.find_first_of("|:/\t*<") == std::string::npos) {
                EXPECT_NE(problem.find("level " + std::to_string(at + 1)), std::string::npos)
                    << problem;
            }
        }
    }
    EXPECT_NE(nameProblem(std::string(kMaxNameLength + 1, 'x')), "");
    EXPECT_NE(nameProblem("a\\" + std::string(kMaxNameLength - 1, 'x')), "");
    EXPECT_NE(nameProblem(std::string("a\0b", 3)), "");
    EXPECT_NE(nameProblem("\\a"), "");
}

TEST(NameProblem, WalksDoubleByteCharactersOfTheCodePage) {
    const LeadByteTest japanese = CodePage(932).leadByteTest();
    // A trail byte 0x5C or 0x7C is part of its character...
    EXPECT_EQ(nameProblem(kHyo932 + "\\" + kSo932 + ".txt", japanese), "");
    EXPECT_EQ(nameProblem("\x83\x7C", japanese), "");
    EXPECT_EQ(nameLevels(kHyo932 + "\\" + kSo932, japanese),
              (std::vector<std::string>{kHyo932, kSo932}));
    // ...but read byte by byte the same name has an empty level and a '|'.
    EXPECT_NE(nameProblem(kHyo932 + "\\" + kSo932, neverLeadByte), "");
    EXPECT_NE(nameProblem("\x83\x7C", neverLeadByte), "");
    EXPECT_EQ(nameLevels("a\\b", japanese), (std::vector<std::string>{"a", "b"}));
}

TEST(FindNameClash, SameNameIgnoringCaseOrAFileThatIsAlsoAFolder) {
    const auto clash = [](const std::vector<std::string>& names) {
        std::vector<std::wstring> keys;
        for (const std::string& name : names) {
            keys.push_back(foldedCase(name));
        }
        return findNameClash(keys);
    };
    EXPECT_FALSE(clash({"a.txt", "b\\a.txt", "b\\c\\a.txt", "ab\\c", "b\\d"}));
    EXPECT_FALSE(clash({}));

    auto found = clash({"Setup.exe", "readme", "SETUP.EXE"});
    ASSERT_TRUE(found);
    EXPECT_EQ(found->index, 2u);
    EXPECT_EQ(found->earlier, 0u);
    EXPECT_FALSE(found->fileAndFolder);

    for (const auto& names : {std::vector<std::string>{"x", "a", "A\\b"},
                              std::vector<std::string>{"x", "a\\b\\c", "A\\B"}}) {
        found = clash(names);
        ASSERT_TRUE(found) << names[2];
        EXPECT_EQ(found->index, 2u);
        EXPECT_EQ(found->earlier, 1u);
        EXPECT_TRUE(found->fileAndFolder);
    }
    // Windows ignores case beyond ASCII as well.
    EXPECT_TRUE(clash({"caf\xC3\xA9", "CAF\xC3\x89"}));
}

TEST(CodePage, ConvertsExactlyOrNotAtAll) {
    EXPECT_EQ(CodePage(932).fromUtf8("\xE3\x82\xBD"), kSo932); // ソ
    EXPECT_EQ(CodePage(932).toUtf8(kHyo932), "\xE8\xA1\xA8");  // 表
    EXPECT_EQ(CodePage(1252).fromUtf8("caf\xC3\xA9"), "caf\xE9");
    EXPECT_EQ(CodePage(1251).fromUtf8("caf\xC3\xA9"), std::nullopt);
    EXPECT_EQ(CodePage(1252).fromUtf8("caf\xE9"), std::nullopt); // not UTF-8
    EXPECT_EQ(CodePage(1252).toUtf8("\x81"), std::nullopt);      // undefined there
    // The Vietnamese table holds a character back to combine it with the
    // next; the last one still comes out.
    EXPECT_EQ(CodePage(1258).toUtf8("a\xE0"), "a\xC3\xA0");
    // Without a code page only ASCII passes.
    EXPECT_EQ(CodePage().fromUtf8("a.txt"), "a.txt");
    EXPECT_EQ(CodePage().fromUtf8("caf\xC3\xA9"), std::nullopt);
    EXPECT_EQ(CodePage().toUtf8("caf\xE9"), std::nullopt);
    EXPECT_EQ(CodePage().leadByteTest(), neverLeadByte);
    EXPECT_EQ(CodePage(1252).leadByteTest(), neverLeadByte);
    EXPECT_FALSE(isWindowsAnsiCodePage(65001));
    EXPECT_FALSE(isWindowsAnsiCodePage(437));
}

TEST(DisplayName, EscapesBytesOutsidePrintableAsciiButTheSeparator) {
    EXPECT_EQ(displayName("plugins\\a.dll"), "plugins\\a.dll");
    EXPECT_EQ(displayName(std::string("a\0\n\xFF", 4)), "a\\x00\\x0A\\xFF");
    EXPECT_EQ(displayStoredName(kHyo932 + "\\a", CodePage(932)), "\xE8\xA1\xA8\\a");
    EXPECT_EQ(displayStoredName(kHyo932, CodePage()), "\\x95\\");
    EXPECT_EQ(displayText("caf\xC3\xA9\n"), "caf\xC3\xA9\\x0A");
}

TEST(ParseInputArgument, SplitsAtTheFirstEquals) {
    const InputArgument plain = parseInputArgument("build/demo/reader.exe");
    EXPECT_FALSE(plain.named);
    EXPECT_EQ(plain.path, "build/demo/reader.exe");

    const InputArgument named = parseInputArgument("Vemlo Reader.exe=build/demo/a=b");
    EXPECT_TRUE(named.named);
    EXPECT_EQ(named.name, "Vemlo Reader.exe");
    EXPECT_EQ(named.path, "build/demo/a=b");

    EXPECT_EQ(givenNameLevels("docs/a\\b.txt"), (std::vector<std::string>{"docs", "a", "b.txt"}));
    EXPECT_EQ(givenNameLevels(""), std::vector<std::string>{""});
}

} // namespace
} // namespace vempack
