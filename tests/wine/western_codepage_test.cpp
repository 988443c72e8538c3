// A setup whose names vempack stored in code page 1252 from UTF-8, installed
// under Wine in a locale whose ANSI code page is 1252.
#include "common/exit_code.h"
#include "stub_fixture.h"

namespace wine_test {
namespace {

namespace fs = std::filesystem;

// Wine's ANSI code page is 1252 for C.UTF-8, as for en_US.UTF-8, and its
// Unix names are UTF-8 there; in the plain C locale it cannot make a file
// whose name is not ASCII. C.UTF-8 comes with Debian's libc.
constexpr char kLocale[] = "C.UTF-8";

class CodePage1252 : public WineStubTest {};

TEST_F(CodePage1252, PackedWesternNamesInstall) {
    if (!useLocale(kLocale)) {
        GTEST_SKIP() << "the locale " << kLocale << " is missing";
    }

    // café.txt, and crème.txt in the folder Menü.
    const std::map<std::string, std::string> entries = {{"caf\xC3\xA9.txt", "cafe"},
                                                        {"Men\xC3\xBC/cr\xC3\xA8me.txt", "creme"}};
    ASSERT_TRUE(writeTree(scratch / "western", entries));
    const fs::path setup = scratch / "western.exe";
    ASSERT_EQ(vempack({"build", "-o", setup.string(), "--stub", VEMSETUP_WIN32_STUB.string(),
                       "--codepage", "1252", "--no-launch", (scratch / "western").string() + "/"}),
              0);
    const std::string stub = copyIntoTests(setup, "western.exe");

    EXPECT_EQ(run(stubCommandLine("\"C:\\Apps\\Western\"", stub.c_str())), kExitSuccess);

    EXPECT_TRUE(sameFiles(fileTree(prefix->unixPath("C:\\Apps\\Western")), entries));
}

} // namespace
} // namespace wine_test
