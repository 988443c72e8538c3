#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "app/run_options.h"

namespace {

RunOptions parse(const std::string& tail, bool* tooLong = nullptr) {
    bool ignored = false;
    return parseRunOptions(tail.c_str(), tooLong ? tooLong : &ignored);
}

struct ParseCase {
    const char* tail;
    bool installMode;
    const char* target;
    bool desktop;
    bool startMenu;
};

class ParseRunOptionsTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseRunOptionsTest, YieldsExpectedOptions) {
    const ParseCase& c = GetParam();
    const RunOptions options = parse(c.tail);
    EXPECT_EQ(options.installMode, c.installMode);
    EXPECT_STREQ(options.targetDirectory, c.target);
    EXPECT_EQ(options.desktopShortcut, c.desktop);
    EXPECT_EQ(options.startMenuShortcuts, c.startMenu);
}

INSTANTIATE_TEST_SUITE_P(
    Tails, ParseRunOptionsTest,
    testing::Values(ParseCase{"", false, "", false, false},
                    ParseCase{"\"C:\\Apps\"", true, "C:\\Apps", false, false},
                    ParseCase{"\"C:\\Program Files\\Tools\" /d /s", true,
                              "C:\\Program Files\\Tools", true, true},
                    ParseCase{"\"C:\\Program Files\\Tools\" /S", true, "C:\\Program Files\\Tools",
                              false, true},
                    ParseCase{"\"C:\\Apps", false, "", false, false},
                    ParseCase{"C:\\Apps", false, "", false, false},
                    ParseCase{"\"\"", true, "", false, false},
                    ParseCase{"\"C:\\a /d b\"", true, "C:\\a /d b", false, false},
                    ParseCase{"\"C:\\Apps\"/d", true, "C:\\Apps", false, false},
                    // The letter at position 7 is below the lowest one examined.
                    ParseCase{"\"C:\\\" /d", true, "C:\\", false, false},
                    ParseCase{"\"C:\\\"  /d", true, "C:\\", true, false},
                    ParseCase{"\"C:\\My \"new\" Apps\"", true, "C:\\My \"new\" Apps", false, false},
                    ParseCase{"\"D:\\Data\\Setup\"", true, "D:\\Data\\Setup", false, false},
                    // Words after the slash still count by their first letter.
                    ParseCase{"\"C:\\Apps\" /desktop /sd", true, "C:\\Apps", true, true},
                    // Switches without a quoted directory are read but unused.
                    ParseCase{"setup.exe /d /s", false, "", true, true}));

TEST(ParseRunOptions, RefusesDirectoryLongerThanTheBuffer) {
    bool tooLong = false;
    const RunOptions fits = parse("\"" + std::string(259, 'a') + "\"", &tooLong);
    EXPECT_FALSE(tooLong);
    EXPECT_EQ(std::string(fits.targetDirectory), std::string(259, 'a'));

    const RunOptions cut = parse("\"" + std::string(260, 'a') + "\" /d", &tooLong);
    EXPECT_TRUE(tooLong);
    EXPECT_TRUE(cut.installMode);
    EXPECT_STREQ(cut.targetDirectory, "");
    EXPECT_TRUE(cut.desktopShortcut);
}

TEST(CommandLineTail, SkipsProgramNameAndBlanks) {
    EXPECT_STREQ(commandLineTail("setup.exe"), "");
    EXPECT_STREQ(commandLineTail("setup.exe   \"C:\\A\" /d"), "\"C:\\A\" /d");
    EXPECT_STREQ(commandLineTail("\"C:\\My Setup\\setup.exe\" \"C:\\A\""), "\"C:\\A\"");
    // No blank is needed after a quoted name.
    EXPECT_STREQ(commandLineTail("\"setup.exe\"\"C:\\A\""), "\"C:\\A\"");
    // An unterminated quoted name runs to the end.
    EXPECT_STREQ(commandLineTail("\"C:\\setup.exe /d"), "");
    // Tabs and other control characters count as blanks.
    EXPECT_STREQ(commandLineTail("setup\t\x01 /s"), "/s");
    EXPECT_STREQ(commandLineTail(""), "");
}

} // namespace
