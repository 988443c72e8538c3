#include "wine_harness.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <system_error>

#include "tree_snapshot.h"

namespace wine_test {

namespace {

// Registry files are rewritten by the Wine server, so each prefix needs its
// own; "wineserver" is where Debian's Wine records the server's socket
// directory, which must not be shared either.
bool isPrivatePrefixFile(const fs::path& relative) {
    const std::string name = relative.string();
    return name == "system.reg" || name == "user.reg" || name == "userdef.reg" ||
           name == "wineserver";
}

bool isExecutable(const std::string& path) {
    return !path.empty() && access(path.c_str(), X_OK) == 0;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    result.reserve(strings.size() + 1);
    for (std::string& s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

// Wine links the user's shell folders (Desktop, Documents, ...) to the home
// directory; each test needs them as folders of its own prefix instead.
bool replaceFolderLinks(const fs::path& prefix, std::string* error) {
    std::error_code ec;
    std::vector<fs::path> links;
    walkTree(
        prefix / "drive_c",
        [&](const fs::directory_entry& entry) {
            std::error_code linkError;
            if (entry.is_symlink(linkError)) {
                links.push_back(entry.path());
            }
            return true;
        },
        ec);
    if (ec) {
        *error = "cannot walk " + (prefix / "drive_c").string() + ": " + ec.message();
        return false;
    }
    for (const fs::path& link : links) {
        if (!fs::remove(link, ec) || !fs::create_directory(link, ec)) {
            *error = "cannot replace the link " + link.string();
            return false;
        }
    }
    return true;
}

std::string bitsOf(const std::string& arch) {
    return arch == "win64" ? "64-bit" : "32-bit";
}

// Starts the Wine loader once to see whether this machine runs it at all: a
// kernel without 32-bit emulation refuses the 32-bit loader outright.
std::string loaderProblem(const WineTools& tools) {
    static std::map<std::string, std::string> problems;
    const auto known = problems.find(tools.wine);
    if (known != problems.end()) {
        return known->second;
    }
    std::string problem;
    const pid_t pid = startProcess({tools.wine, "--version"},
                                   {"PATH=/usr/bin:/bin", "WINEDEBUG=-all"}, "/dev/null");
    const int startError = errno;
    if (pid < 0 && startError == ENOEXEC) {
        problem = "this kernel cannot run " + bitsOf(tools.arch) + " programs";
    } else if (pid < 0) {
        problem = "cannot start " + tools.wine + ": " + std::strerror(startError);
    } else if (const int status = waitProcess(pid); status != 0) {
        problem = tools.wine + " --version failed (" + std::to_string(status) + ")";
    }
    problems[tools.wine] = problem;
    return problem;
}

std::string forcedArchitecture() {
    const char* value = getenv("VEMSETUP_WINE_ARCH");
    return value != nullptr && *value != '\0' ? value : VEMSETUP_WINE_ARCH_DEFAULT;
}

} // namespace

const WineTarget& wineTarget() {
    static const WineTarget win32{"win32",
                                  VEMSETUP_WINE_WIN32_STUB,
                                  VEMSETUP_WINE_WIN32_DEMO_PAYLOAD,
                                  VEMSETUP_WINE_WIN32_TOOLS_DIR,
                                  VEMSETUP_WINE_WIN32_TEMPLATE,
                                  VEMSETUP_WINE_WIN32_RUNS_DIR,
                                  {VEMSETUP_WINE_WIN32_LOADER, VEMSETUP_WINESERVER, "win32"}};
    static const WineTarget win64{"win64",
                                  VEMSETUP_WINE_WIN64_STUB,
                                  VEMSETUP_WINE_WIN64_DEMO_PAYLOAD,
                                  VEMSETUP_WINE_WIN64_TOOLS_DIR,
                                  VEMSETUP_WINE_WIN64_TEMPLATE,
                                  VEMSETUP_WINE_WIN64_RUNS_DIR,
                                  {VEMSETUP_WINE_WIN64_LOADER, VEMSETUP_WINESERVER, "win64"}};
    const char* name = getenv("VEMSETUP_WINE_TARGET");
    return name != nullptr && std::string(name) == "win64" ? win64 : win32;
}

WineTools configuredWineTools() {
    return wineTarget().tools;
}

std::string missingWine(const WineTools& tools) {
    if (!isExecutable(tools.wine)) {
        return bitsOf(tools.arch) + " Wine is not installed (package " +
               (tools.arch == "win64" ? "wine64" : "wine32:i386") + ")";
    }
    if (!isExecutable(tools.wineserver)) {
        return "wineserver is not installed (package wine)";
    }
    return "";
}

std::string whyNotRunnable(const WineTarget& target) {
    const std::string forced = forcedArchitecture();
    if (forced != "auto" && forced != target.name) {
        return "VEMSETUP_WINE_ARCH=" + forced + " leaves the " + target.name + " build out";
    }
    const std::string missing = missingWine(target.tools);
    return missing.empty() ? loaderProblem(target.tools) : missing;
}

std::vector<std::string> wineEnvironment(const WineTools& tools, const fs::path& prefix,
                                         const fs::path& home, const fs::path& tmp) {
    const char* path = getenv("PATH");
    return {
        "PATH=" + std::string(path != nullptr ? path : "/usr/bin:/bin"),
        "HOME=" + home.string(),
        "TMPDIR=" + tmp.string(),
        "WINEPREFIX=" + prefix.string(),
        // A 32-bit prefix for the 32-bit stub keeps its registry writes out
        // of the WOW64 redirection; the 64-bit stub writes the native view
        // of a 64-bit prefix.
        "WINEARCH=" + tools.arch,
        "WINEDEBUG=-all",
        // No Mono or Gecko installer prompts, and no menu entries or
        // desktop files written for the shortcuts the stub makes.
        "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d",
    };
}

pid_t startProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const fs::path& output) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return -1;
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args = argv;
    std::vector<std::string> vars = env;
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, pointers(args).data(),
                                   pointers(vars).data());
    posix_spawn_file_actions_destroy(&actions);
    // errno tells why, as for exec: ENOEXEC for a format the kernel refuses.
    errno = failed;
    return failed == 0 ? pid : -1;
}

int waitProcess(pid_t pid) {
    if (pid <= 0) {
        return -1;
    }
    int status = 0;
    pid_t done;
    do {
        done = waitpid(pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    if (done != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

int runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const fs::path& output) {
    return waitProcess(startProcess(argv, env, output));
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string readText(const fs::path& path) {
    return readBytes(path);
}

bool writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

fs::path makeShortTempDirectory() {
    std::string pattern = "/tmp/vemwine-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return pattern;
}

bool createTemplatePrefix(const WineTools& tools, const fs::path& templatePrefix,
                          const fs::path& log, std::string* error) {
    removePrefix(tools, templatePrefix);
    std::error_code ec;
    const fs::path home = templatePrefix.string() + "-home";
    fs::remove_all(home, ec);
    fs::create_directories(home, ec);
    const fs::path tmp = makeShortTempDirectory();
    if (ec || tmp.empty()) {
        *error = "cannot create the directories for the template prefix";
        return false;
    }
    const std::vector<std::string> env = wineEnvironment(tools, templatePrefix, home, tmp);
    bool ok = true;
    const int booted = runProcess({tools.wine, "wineboot", "-i"}, env, log);
    // Wine writes the registry files when its server exits.
    const int stopped = runProcess({tools.wineserver, "-w"}, env, log);
    if (booted != 0 || stopped != 0 || !fs::exists(templatePrefix / "system.reg")) {
        *error = "wineboot -i failed (" + std::to_string(booted) + "); see " + log.string();
        ok = false;
    }
    ok = ok && replaceFolderLinks(templatePrefix, error);
    fs::remove(templatePrefix / "wineserver", ec);
    fs::remove_all(home, ec);
    fs::remove_all(tmp, ec);
    return ok;
}

void removePrefix(const WineTools& tools, const fs::path& prefix) {
    std::error_code ec;
    if (fs::exists(prefix / "system.reg", ec) && missingWine(tools).empty()) {
        const fs::path tmp = makeShortTempDirectory();
        const std::vector<std::string> env = wineEnvironment(tools, prefix, prefix, tmp);
        runProcess({tools.wineserver, "-k"}, env, "/dev/null");
        fs::remove_all(tmp, ec);
    }
    fs::remove_all(prefix, ec);
}

WinePrefix::WinePrefix(WineTools tools, fs::path root)
    : tools_(std::move(tools)), root_(std::move(root)), prefix_(root_ / "prefix"),
      home_(root_ / "home"), tmp_(makeShortTempDirectory()), log_(root_ / "wine.log") {}

WinePrefix::~WinePrefix() {
    std::error_code ec;
    if (fs::exists(prefix_ / "system.reg", ec)) {
        runProcess({tools_.wineserver, "-k"}, environment(), log_);
        runProcess({tools_.wineserver, "-w"}, environment(), log_);
    }
    // Kept on request, for a look at what a failing test left behind.
    if (getenv("VEMSETUP_WINE_KEEP") == nullptr) {
        fs::remove_all(root_, ec);
    }
    if (!tmp_.empty()) {
        fs::remove_all(tmp_, ec);
    }
}

bool WinePrefix::copyFrom(const fs::path& templatePrefix, std::string* error) {
    std::error_code ec;
    fs::remove_all(root_, ec);
    fs::create_directories(home_, ec);
    if (ec || tmp_.empty()) {
        *error = "cannot create " + home_.string() + " or a directory under /tmp";
        return false;
    }
    fs::create_directory(prefix_, ec);
    std::error_code copyError;
    const bool copied = walkTree(
        templatePrefix,
        [&](const fs::directory_entry& entry) {
            const fs::path relative = entry.path().lexically_relative(templatePrefix);
            const fs::path target = prefix_ / relative;
            if (entry.is_symlink(copyError)) {
                fs::copy_symlink(entry.path(), target, copyError);
            } else if (entry.is_directory(copyError)) {
                fs::create_directory(target, copyError);
            } else if (isPrivatePrefixFile(relative)) {
                if (relative != "wineserver") {
                    fs::copy_file(entry.path(), target, copyError);
                }
            } else {
                fs::create_hard_link(entry.path(), target, copyError);
            }
            if (copyError) {
                *error = "cannot copy " + entry.path().string() + ": " + copyError.message();
            }
            return !copyError;
        },
        ec);
    if (ec) {
        *error = "cannot copy the template prefix " + templatePrefix.string() + ": " + ec.message();
    }
    return copied;
}

std::vector<std::string> WinePrefix::environment() const {
    std::vector<std::string> env = wineEnvironment(tools_, prefix_, home_, tmp_);
    env.insert(env.end(), extraEnvironment_.begin(), extraEnvironment_.end());
    return env;
}

int WinePrefix::wine(const std::vector<std::string>& arguments, const fs::path& output) {
    return waitProcess(startWine(arguments, output));
}

pid_t WinePrefix::startWine(const std::vector<std::string>& arguments, const fs::path& output) {
    std::vector<std::string> argv = {tools_.wine};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return startProcess(argv, environment(), output.empty() ? log_ : output);
}

void WinePrefix::waitForServer() {
    runProcess({tools_.wineserver, "-w"}, environment(), log_);
}

fs::path WinePrefix::unixPath(const std::string& windowsPath) const {
    if (windowsPath.size() < 2 || windowsPath[1] != ':') {
        return {};
    }
    std::string rest = windowsPath.substr(2);
    for (char& c : rest) {
        if (c == '\\') {
            c = '/';
        }
    }
    while (!rest.empty() && rest.front() == '/') {
        rest.erase(rest.begin());
    }
    while (!rest.empty() && rest.back() == '/') {
        rest.pop_back();
    }
    const char drive = static_cast<char>(tolower(static_cast<unsigned char>(windowsPath[0])));
    const fs::path base =
        drive == 'c' ? driveC() : prefix_ / "dosdevices" / (std::string(1, drive) + ":");
    return rest.empty() ? base : base / rest;
}

} // namespace wine_test
