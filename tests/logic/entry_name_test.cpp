#include <gtest/gtest.h>

#include "format/entry_name.h"

namespace {

TEST(EntryName, AcceptsPlainNamesAndInnerLevels) {
    for (const char* name : {"Setup.exe", "Vemlo Reader.exe", "docs\\a.txt", "a\\b\\c.d", "..a",
                             "a..", "con1.txt", "COM0", "LPT10", "nul_file", ".profile"}) {
        EXPECT_TRUE(isSafeEntryName(name, neverLeadByte)) << name;
    }
}

TEST(EntryName, RefusesEscapesDevicesAndForbiddenCharacters) {
    for (const char* name :
         {"",         "..",     "...",     ".. ",      ".",     "a\\..\\..\\b", "..\\b",
          "../b",     "\\b",    "/b",      "C:b",      "C:\\b", "a:stream",     "a\\",
          "a\\\\b",   "CON",    "con.txt", "NUL .txt", "aux",   "PRN.log",      "COM1",
          "lpt9.txt", "conin$", "a\\NUL",  "a<b",      "a>b",   "a|b",          "a?b",
          "a*b",      "a\"b",   "a\tb",    "a/b.txt",  "a\\..", "a\\ .\\b",     "a\\COM1.txt\\b"}) {
        EXPECT_FALSE(isSafeEntryName(name, neverLeadByte)) << name;
    }
}

} // namespace
