// Running Windows programs under Wine for the end-to-end tests: which
// Windows build is under test and whether this machine can run it, a clean
// environment, child processes, and one Wine prefix per test, copied from a
// template that is made once per test run and build.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace wine_test {

namespace fs = std::filesystem;

// The Wine programs that run one Windows build; an empty path means not
// found.
struct WineTools {
    std::string wine;       // the loader: 32-bit wine, or wine64
    std::string wineserver; // serves prefixes of either kind
    std::string arch;       // WINEARCH of the prefixes: "win32" or "win64"
};

// One Windows build that the Wine tests run: the win32 preset's PE32 under
// 32-bit Wine, or the win64 preset's PE32+ under wine64.
struct WineTarget {
    std::string name; // "win32" or "win64": the preset, and WINEARCH
    fs::path stub;    // vemsetup.exe
    fs::path demoPayload;
    fs::path toolsDirectory; // the helper programs; empty without a compiler
    fs::path templatePrefix;
    fs::path runsDirectory; // one directory per test beneath
    WineTools tools;
};

// The build under test: the one that VEMSETUP_WINE_TARGET names (ctest sets
// it for each test), win32 when it is unset.
const WineTarget& wineTarget();

// The tools of the build under test.
WineTools configuredWineTools();

// Why Wine cannot be used here, or empty when it can.
std::string missingWine(const WineTools& tools);

// Why this machine does not run the target's tests, or empty when it does:
// the switch VEMSETUP_WINE_ARCH (environment, else the CMake cache
// variable; "auto", "win32" or "win64") leaves the target out, its Wine is
// not installed, or the kernel refuses its loader ("this kernel cannot run
// 32-bit programs").
std::string whyNotRunnable(const WineTarget& target);

// The whole environment of every Wine process. Nothing is inherited but
// PATH: no DISPLAY (no window may appear), no XDG folders, and HOME points
// into the test's own directory, so Wine cannot touch the user's files.
std::vector<std::string> wineEnvironment(const WineTools& tools, const fs::path& prefix,
                                         const fs::path& home, const fs::path& tmp);

// Starts a program with stdin from /dev/null and stdout and stderr appended
// to `output`. Returns the process id, or -1.
pid_t startProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const fs::path& output);

// Waits for a started process: its exit code, or -1 when it did not exit
// normally.
int waitProcess(pid_t pid);

int runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const fs::path& output);

std::string readText(const fs::path& path);
std::string readBytes(const fs::path& path); // as a byte string
bool writeBytes(const fs::path& path, const std::string& bytes);

// A fresh directory under /tmp, which keeps Wine's socket path short (a
// Unix socket path has at most 107 bytes); empty on failure.
fs::path makeShortTempDirectory();

// Makes `templatePrefix` a new Wine prefix (wineboot) that every test can
// copy: of the tools' WINEARCH, and with every shell folder a real
// directory inside it rather than a link to the home directory. `log`
// receives Wine's output.
bool createTemplatePrefix(const WineTools& tools, const fs::path& templatePrefix,
                          const fs::path& log, std::string* error);

// Stops any Wine server of the prefix and removes it.
void removePrefix(const WineTools& tools, const fs::path& prefix);

// A Wine prefix of its own, in `root`: a copy of the template whose files
// are hard links, except the registry files, which Wine rewrites.
// Everything is removed when the object goes.
class WinePrefix {
  public:
    WinePrefix(WineTools tools, fs::path root);
    ~WinePrefix();
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    bool copyFrom(const fs::path& templatePrefix, std::string* error);

    // Runs `wine ARGUMENTS...` and returns its exit code; output goes to
    // `output` when given, to the prefix's log otherwise.
    int wine(const std::vector<std::string>& arguments, const fs::path& output = {});
    pid_t startWine(const std::vector<std::string>& arguments, const fs::path& output = {});

    // Waits until every process of the prefix has ended and the Wine
    // server has written the registry files and exited.
    void waitForServer();

    // Where a Windows path of this prefix ("C:\users\x") lies on the host.
    fs::path unixPath(const std::string& windowsPath) const;

    // One more VARIABLE=value for every later Wine process of the prefix
    // (a locale, for instance).
    void addEnvironment(const std::string& assignment) { extraEnvironment_.push_back(assignment); }

    const fs::path& path() const { return prefix_; }
    fs::path driveC() const { return prefix_ / "drive_c"; }
    fs::path systemRegistry() const { return prefix_ / "system.reg"; }
    fs::path userRegistry() const { return prefix_ / "user.reg"; }
    const fs::path& log() const { return log_; }

  private:
    std::vector<std::string> environment() const;

    WineTools tools_;
    fs::path root_;
    fs::path prefix_;
    fs::path home_;
    fs::path tmp_;
    fs::path log_;
    std::vector<std::string> extraEnvironment_;
};

} // namespace wine_test
