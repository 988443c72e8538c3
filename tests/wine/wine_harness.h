// Running Windows programs under Wine for the end-to-end tests: a clean
// environment, child processes, and one Wine prefix per test, copied from a
// template that is made once per test run.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace wine_test {

namespace fs = std::filesystem;

// The Wine programs the build found; an empty path means not found.
struct WineTools {
    std::string wine;
    std::string wineserver;
    std::string wineboot;
};

WineTools configuredWineTools();

// Why Wine cannot be used here, or empty when it can.
std::string missingWine(const WineTools& tools);

// The whole environment of every Wine process. Nothing is inherited but
// PATH: no DISPLAY (no window may appear), no XDG folders, and HOME points
// into the test's own directory, so Wine cannot touch the user's files.
std::vector<std::string> wineEnvironment(const fs::path& prefix, const fs::path& home,
                                         const fs::path& tmp);

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
// copy: 32-bit, and with every shell folder a real directory inside it
// rather than a link to the home directory. `log` receives Wine's output.
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
