// The fixture of the Wine tests: the built Windows stub in a Wine prefix of
// its own, run with an exact command line, and what it left behind read
// back from the prefix. The stub is the build under test (wineTarget()):
// ctest runs every test once per Windows build, PE32 in a 32-bit prefix and
// PE32+ in a 64-bit one, and a build this machine cannot run skips.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lnkinfo.h"
#include "tree_snapshot.h"
#include "wine_harness.h"
#include "wine_registry.h"

// The files of the build under test, by the names the tests first knew.
#define VEMSETUP_WIN32_STUB (::wine_test::wineTarget().stub)
#define VEMSETUP_WIN32_DEMO_PAYLOAD (::wine_test::wineTarget().demoPayload)

namespace wine_test {

// Where the stub and the helper programs lie inside every prefix.
inline constexpr char kStubPath[] = "C:\\tests\\vemsetup.exe";

// A shortcut file as lnkinfo reads it.
using ShortcutInfo = LinkReport;

class WineStubTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The command line a shell would give the stub: the program's path in
    // quotes, a blank, then `tail` (nothing more when it is empty).
    static std::string stubCommandLine(const std::string& tail, const char* program = kStubPath);

    // Runs a program with exactly `commandLine` (through the launcher) and
    // returns its exit code; 101 to 104 are the launcher's own failures.
    int run(const std::string& commandLine);
    // Starts it without waiting; waitProcess() gives the exit code.
    pid_t start(const std::string& commandLine);

    // Runs a Wine program such as reg.exe with these arguments.
    int wine(const std::vector<std::string>& arguments);

    // Runs Wine from now on in `locale` (LC_ALL); false when this machine
    // lacks it.
    bool useLocale(const char* locale);

    // Copies a host file into C:\tests under `name`; its Windows path.
    std::string copyIntoTests(const std::filesystem::path& file, const std::string& name);
    // A copy of the stub, C:\tests\NAME, that carries `payload` as its
    // "PACKAGE" 105 resource instead of the demo payload.
    std::string stubWithPayload(const std::filesystem::path& payload, const std::string& name);

    // Runs the packer (vempack) on the host; its exit code.
    int vempack(const std::vector<std::string>& arguments);

    // HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER of the prefix, read with
    // reg.exe under Wine in the prefix. Values are read when first asked
    // for: ask before a run for the state before it.
    WineRegistry machineRegistry();
    WineRegistry userRegistry();
    // HKEY_LOCAL_MACHINE as the prefix started, copied from the template;
    // the same reader as machineRegistry(), for use before the first run.
    WineRegistry templateMachineRegistry();

    // A shortcut's target and description. Records a failure when the file
    // cannot be read; only existence is checked where lnkinfo is missing.
    ShortcutInfo readShortcut(const std::filesystem::path& link);

    // Polls for a file that a started program writes, for up to 10 seconds.
    static bool waitForFile(const std::filesystem::path& path);

    // Relative path of the temporary folder below drive_c, for
    // treeChanges().
    std::string tempRelativeToDriveC() const;

    std::unique_ptr<WinePrefix> prefix;
    std::filesystem::path scratch; // host files of the test, outside the prefix
    // The folders as the stub finds them (GetTempPathA, the desktop and the
    // start-menu programs folder), on the host.
    std::filesystem::path temp;
    std::filesystem::path desktop;
    std::filesystem::path programs;

  private:
    std::string writeCommandFile(const std::string& commandLine);
    bool findFolders(std::string* error);

    int commandFiles_ = 0;
};

// For tests that rely on the demo payload being the one built into the
// stub: skips when the build under test embeds another payload.
class DemoStubTest : public WineStubTest {
  protected:
    void SetUp() override;

    // The demo payload's entries, name -> bytes, as the packer unpacks them.
    std::map<std::string, std::string> demoEntries();
};

// The entries of the demo payload.
inline const std::vector<std::string> kDemoEntryNames = {
    "Setup.exe", "Vemlo Reader.exe", "Uninstall.exe", "Readme.txt", "License.txt"};

// Files in a directory, name -> bytes (subdirectories are left out).
std::map<std::string, std::string> fileContents(const std::filesystem::path& directory);

// Every file below a directory, relative path with '/' between levels ->
// bytes; links are not followed.
std::map<std::string, std::string> fileTree(const std::filesystem::path& directory);

// Writes each file of `files` (relative path with '/' between levels ->
// bytes) below `directory`, making its folders; false on failure.
bool writeTree(const std::filesystem::path& directory,
               const std::map<std::string, std::string>& files);

// Success when both hold the same names with the same bytes; the failure
// names the files that differ rather than printing their bytes.
testing::AssertionResult sameFiles(const std::map<std::string, std::string>& actual,
                                   const std::map<std::string, std::string>& expected);

// Names in `after` that are not in `before` (both sorted).
std::vector<std::string> addedNames(const std::vector<std::string>& before,
                                    const std::vector<std::string>& after);

// True for the names the platform's temporary file service gives the stub:
// "vem", a hexadecimal number, ".tmp".
bool isVemTempName(const std::string& name);

} // namespace wine_test
