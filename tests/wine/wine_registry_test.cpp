// The reader of reg.exe's reports, on reports as Wine's reg query prints
// them.
#include "wine_registry.h"

#include <gtest/gtest.h>

namespace wine_test {
namespace {

TEST(ParseRegQuery, ReadsTheValuesOfTheFirstKeyAndNotItsSubkeys) {
    const auto values = parseRegQuery("\r\n"
                                      "HKEY_LOCAL_MACHINE\\Software\\Vemlo Test\r\n"
                                      "    (Default)    REG_SZ    def val\r\n"
                                      "    dw    REG_DWORD    0x2a\r\n"
                                      "    Empty    REG_SZ    \r\n"
                                      "    InstallPath    REG_SZ    C:\\Apps\\x\\\r\n"
                                      "    Two  Blanks    four    REG_EXPAND_SZ    a    b  \r\n"
                                      "\r\n"
                                      "HKEY_LOCAL_MACHINE\\Software\\Vemlo Test\\Sub\r\n"
                                      "    Deeper    REG_SZ    no\r\n");
    EXPECT_EQ(values.size(), 5u);
    EXPECT_EQ(values.at("(default)").data, "def val");
    EXPECT_EQ(values.at("dw").type, "dword");
    EXPECT_EQ(values.at("dw").data, "0x2a");
    EXPECT_EQ(values.at("empty").type, "sz");
    EXPECT_EQ(values.at("empty").data, "");
    EXPECT_EQ(values.at("installpath").data, "C:\\Apps\\x\\");
    EXPECT_EQ(values.at("two  blanks    four").type, "expand_sz");
    EXPECT_EQ(values.at("two  blanks    four").data, "a    b  ");
}

TEST(ParseRegQuery, FindsNoValuesWhereOnlySubkeysOrNothingIsListed) {
    EXPECT_TRUE(parseRegQuery("\r\nHKEY_LOCAL_MACHINE\\Software\\Vemlo Software\\Vemlo Reader\r\n"
                              "HKEY_LOCAL_MACHINE\\Software\\Vemlo Software\\Other\r\n")
                    .empty());
    EXPECT_TRUE(parseRegQuery("\r\n").empty());
}

TEST(WellFormedReport, StatusAndReportMustAgree) {
    const std::string listing = "\r\nHKEY_LOCAL_MACHINE\\Software\\X\r\n    v    REG_SZ    1\r\n";
    const std::string missing = "reg: Unable to find the specified registry key\r\n";
    const struct {
        int status;
        std::string report;
        bool wellFormed;
    } cases[] = {
        {0, listing, true},  {1, missing, true},
        {0, "", false},      {1, "", false},
        {0, missing, false}, {1, listing, false},
        {2, listing, false}, {0, "garbage HKEY_LOCAL_MACHINE\r\n", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isWellFormedReport(c.status, c.report), c.wellFormed)
            << c.status << " " << testing::PrintToString(c.report);
    }
}

TEST(OemToUtf8, ConvertsTheCodePagesRegWritesIn) {
    // Katakana "so" and the kanji "table", whose trail bytes are backslashes.
    EXPECT_EQ(oemToUtf8("C:\\\x83\x5C\\\x95\x5C\\", "932"), "C:\\\xE3\x82\xBD\\\xE8\xA1\xA8\\");
    EXPECT_EQ(oemToUtf8("caf\x82", "437"), "caf\xC3\xA9");
    EXPECT_EQ(oemToUtf8("caf\x82", ""), "caf\x82");
    EXPECT_EQ(oemToUtf8("caf\x82", "99999"), "caf\x82");
}

} // namespace
} // namespace wine_test
