// Entry name rules of the packer.
#include "names.h"

#include <gtest/gtest.h>
#include <string>

namespace vempack {
namespace {

TEST(NameProblem, AcceptsPlainWindowsFileNames) {
    const std::string accepted[] = {"Setup.exe",   "Vemlo Reader.exe",
                                    "a",           "readme",
                                    ".profile",    "COM10.txt",
                                    "CONSOLE.txt", "nul-device.txt",
                                    "LPT0",        std::string(kMaxNameLength, 'x'),
                                    "caf\xE9.txt"};
    for (const std::string& name : accepted) {
        EXPECT_EQ(nameProblem(name), "") << name;
    }
}

// The stub's own rule (tested with the stub) and the packer's extras: one
// level only, nothing Windows would strip, a length the stub can hold.
TEST(NameProblem, RefusesWhatTheStubRefusesAndMore) {
    const std::string refused[] = {
        "",    ".",        "..",       "a/b",  "a\\b",
        "x.",  "x ",       "C:x",      "a\tb", std::string("a\0b", 3),
        "CON", "lpt5.txt", "CON .txt", "a|b",  std::string(kMaxNameLength + 1, 'x')};
    for (const std::string& name : refused) {
        EXPECT_NE(nameProblem(name), "") << displayName(name);
    }
}

TEST(FindDuplicateName, ComparesIgnoringAsciiCase) {
    EXPECT_EQ(findDuplicateName({"a.txt", "b.txt", "c.txt"}), std::nullopt);
    EXPECT_EQ(findDuplicateName({"Setup.exe", "readme", "SETUP.EXE"}),
              std::optional<std::size_t>(2));
    EXPECT_EQ(findDuplicateName({}), std::nullopt);
}

TEST(DisplayName, EscapesBytesOutsidePrintableAscii) {
    EXPECT_EQ(displayName("Readme.txt"), "Readme.txt");
    EXPECT_EQ(displayName(std::string("a\0\n\\\xFF", 5)), "a\\x00\\x0A\\x5C\\xFF");
}

TEST(ParseInputSpec, StoresUnderTheBaseNameOrTheGivenName) {
    const InputSpec plain = parseInputSpec("build/demo/reader.exe");
    EXPECT_EQ(plain.name, "reader.exe");
    EXPECT_EQ(plain.path, "build/demo/reader.exe");

    const InputSpec named = parseInputSpec("Vemlo Reader.exe=build/demo/a=b");
    EXPECT_EQ(named.name, "Vemlo Reader.exe");
    EXPECT_EQ(named.path, "build/demo/a=b");

    EXPECT_EQ(parseInputSpec("=x").name, "");
    EXPECT_EQ(parseInputSpec("dir/").name, "");
}

} // namespace
} // namespace vempack
