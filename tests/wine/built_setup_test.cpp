// A setup made by `vempack build` from the built stub, with files of its
// own, run under Wine in both modes, and once more after signing it with
// osslsigncode.
#include "common/exit_code.h"
#include "stub_fixture.h"

namespace wine_test {
namespace {

namespace fs = std::filesystem;

constexpr char kSetupPath[] = "C:\\tests\\setup.exe";

class BuiltSetup : public DemoStubTest {
  protected:
    // A setup whose payload is the demo setup program (entry 0: it leaves
    // Setup.ran beside itself) and two files that the demo lacks.
    void SetUp() override {
        DemoStubTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        const std::map<std::string, std::string> demo = demoEntries();
        ASSERT_EQ(demo.count("Setup.exe"), 1u);
        expected = {{"Setup.exe", demo.at("Setup.exe")},
                    {"Notes of mine.txt", "built without a compiler\r\n"},
                    {"data.bin", std::string("\0\1\2\3", 4)}};
        std::vector<std::string> arguments = {
            "build",    "-o",       setup().string(), "--stub", VEMSETUP_WIN32_STUB,
            "--launch", "Setup.exe"};
        for (const auto& [name, bytes] : expected) {
            ASSERT_TRUE(writeBytes(scratch / name, bytes));
            arguments.push_back(name + "=" + (scratch / name).string());
        }
        ASSERT_EQ(vempack(arguments), 0);
    }

    fs::path setup() const { return scratch / "setup.exe"; }

    // Runs the setup in extract-and-launch mode and checks its work
    // directory: every entry, and the marker of the started entry 0.
    void expectExtractAndLaunch() {
        const std::vector<std::string> before = directoryNames(temp);
        EXPECT_EQ(run(stubCommandLine("", kSetupPath)), kExitSuccess);
        const std::vector<std::string> added = addedNames(before, directoryNames(temp));
        ASSERT_EQ(added.size(), 1u) << testing::PrintToString(added);
        const fs::path work = temp / added[0];
        EXPECT_TRUE(waitForFile(work / "Setup.ran"));
        prefix->waitForServer();
        std::map<std::string, std::string> files = fileContents(work);
        files.erase("Setup.ran");
        EXPECT_TRUE(sameFiles(files, expected));
    }

    std::map<std::string, std::string> expected;
};

TEST_F(BuiltSetup, ExtractsAndStartsItsOwnEntries) {
    copyIntoTests(setup(), "setup.exe");
    expectExtractAndLaunch();
}

TEST_F(BuiltSetup, InstallsItsOwnEntries) {
    copyIntoTests(setup(), "setup.exe");
    EXPECT_EQ(run(stubCommandLine("\"C:\\Apps\\Mine\"", kSetupPath)), kExitSuccess);
    std::map<std::string, std::string> installed = expected;
    installed.erase("Setup.exe");
    EXPECT_TRUE(sameFiles(fileContents(prefix->unixPath("C:\\Apps\\Mine")), installed));
}

TEST_F(BuiltSetup, StillRunsWhenSigned) {
    const fs::path key = scratch / "key.pem";
    const fs::path certificate = scratch / "cert.pem";
    const fs::path signedSetup = scratch / "signed.exe";
    const fs::path log = scratch / "signing.log";
    const std::vector<std::string> env = {"PATH=/usr/bin:/bin"};
    const int made =
        runProcess({"/usr/bin/env", "openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                    "-days", "2", "-keyout", key.string(), "-out", certificate.string(), "-subj",
                    "/CN=vemsetup test signer", "-addext", "extendedKeyUsage=codeSigning"},
                   env, log);
    const int signedStatus =
        made != 0 ? made
                  : runProcess({"/usr/bin/env", "osslsigncode", "sign", "-certs",
                                certificate.string(), "-key", key.string(), "-h", "sha256", "-ph",
                                "-in", setup().string(), "-out", signedSetup.string()},
                               env, log);
    if (signedStatus == 127) {
        GTEST_SKIP() << "openssl or osslsigncode is not installed";
    }
    ASSERT_EQ(signedStatus, 0) << readText(log);
    ASSERT_NE(readBytes(signedSetup), readBytes(setup()));
    copyIntoTests(signedSetup, "setup.exe");
    expectExtractAndLaunch();
}

} // namespace
} // namespace wine_test
