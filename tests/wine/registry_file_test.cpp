// The reader of Wine's registry files, on text in the form Wine writes.
#include "registry_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "wine_harness.h"

namespace wine_test {
namespace {

class RegistryFileTest : public testing::Test {
  protected:
    void TearDown() override {
        std::error_code ec;
        fs::remove(path, ec);
    }

    bool load(const std::string& body) {
        writeBytes(path, "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
                         "#arch=win32\n\n" +
                             body);
        return registry.load(path);
    }

    fs::path path =
        fs::temp_directory_path() / ("vemsetup-registry-file-" + std::to_string(getpid()) + ".reg");
    RegistryFile registry;
};

TEST_F(RegistryFileTest, ReadsStringValuesAndTheDefaultValue) {
    ASSERT_TRUE(load("[Software\\\\Vemlo Software\\\\Vemlo Reader] 1796694011\n"
                     "#time=1dd86b51092b104\n"
                     "\"InstallPath\"=\"C:\\\\Apps\\\\Vemlo\\\\\"\n"
                     "\"strCLSID\"=\"\"\n"
                     "@=\"default \\\"quoted\\\"\"\n"));
    EXPECT_EQ(textOf(registry, "Software\\Vemlo Software\\Vemlo Reader", "InstallPath"),
              "C:\\Apps\\Vemlo\\");
    EXPECT_EQ(textOf(registry, "Software\\Vemlo Software\\Vemlo Reader", "strCLSID"), "");
    EXPECT_EQ(textOf(registry, "Software\\Vemlo Software\\Vemlo Reader", ""), "default \"quoted\"");
}

TEST_F(RegistryFileTest, KeysAndNamesCompareWithoutCase) {
    ASSERT_TRUE(load("[Software\\\\Classes\\\\VemloReader.Document\\\\DefaultIcon] 1\n"
                     "@=\"Vemlo Reader.exe,1\"\n"));
    EXPECT_TRUE(registry.hasKey("SOFTWARE\\Classes\\vemloreader.document\\DEFAULTICON"));
    EXPECT_EQ(textOf(registry, "SOFTWARE\\CLASSES\\VemloReader.Document\\DefaultIcon", ""),
              "Vemlo Reader.exe,1");
    EXPECT_FALSE(registry.hasKey("Software\\Classes\\VemloReader.Document"));
}

TEST_F(RegistryFileTest, DecodesEscapesOfControlAndNonAsciiCharacters) {
    ASSERT_TRUE(load("[Key\\\\With \\[Brackets\\]] 1\n"
                     "\"a\"=\"tab\\tline\\nend\"\n"
                     "\"b\"=\"caf\\xe9 \\x20ac\"\n"
                     "\"c\"=\"\\001x\"\n"));
    EXPECT_EQ(textOf(registry, "Key\\With [Brackets]", "a"), "tab\tline\nend");
    EXPECT_EQ(textOf(registry, "Key\\With [Brackets]", "b"), "caf\xc3\xa9 \xe2\x82\xac");
    EXPECT_EQ(textOf(registry, "Key\\With [Brackets]", "c"), "\x01x");
}

TEST_F(RegistryFileTest, TellsOtherTypesFromStrings) {
    ASSERT_TRUE(load("[Types] 1\n"
                     "\"dword\"=dword:0000002a\n"
                     "\"expand\"=str(2):\"%SystemRoot%\\\\x\"\n"
                     "\"binary\"=hex:01,02,\\\n"
                     "  03\n"
                     "\"after\"=\"still read\"\n"));
    EXPECT_EQ(registry.value("Types", "dword")->type, "dword");
    EXPECT_EQ(registry.value("Types", "dword")->data, "0000002a");
    EXPECT_EQ(registry.value("Types", "expand")->type, "expand_sz");
    EXPECT_EQ(registry.value("Types", "expand")->data, "%SystemRoot%\\x");
    EXPECT_EQ(registry.value("Types", "binary")->data, "01,02,03");
    EXPECT_EQ(textOf(registry, "Types", "dword"), "<a value of type dword>");
    EXPECT_EQ(textOf(registry, "Types", "after"), "still read");
    EXPECT_EQ(textOf(registry, "Types", "missing"), "<no value>");
}

TEST_F(RegistryFileTest, RefusesFilesThatAreNotWineRegistries) {
    writeBytes(path, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n");
    EXPECT_FALSE(registry.load(path));
    EXPECT_FALSE(registry.load(path.string() + ".missing"));
}

} // namespace
} // namespace wine_test
