#include "wine_harness.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

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
    for (auto it = fs::recursive_directory_iterator(prefix / "drive_c", ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_symlink(ec)) {
            links.push_back(it->path());
        }
    }
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

} // namespace

WineTools configuredWineTools() {
    return WineTools{VEMSETUP_WINE, VEMSETUP_WINESERVER, VEMSETUP_WINEBOOT};
}

std::string missingWine(const WineTools& tools) {
    if (!isExecutable(tools.wine) || !isExecutable(tools.wineserver) ||
        !isExecutable(tools.wineboot)) {
        return "Wine is not installed (wine, wineserver and wineboot are needed)";
    }
    return "";
}

std::vector<std::string> wineEnvironment(const fs::path& prefix, const fs::path& home,
                                         const fs::path& tmp) {
    const char* path = getenv("PATH");
    return {
        "PATH=" + std::string(path != nullptr ? path : "/usr/bin:/bin"),
        "HOME=" + home.string(),
        "TMPDIR=" + tmp.string(),
        "WINEPREFIX=" + prefix.string(),
        // The stub is a 32-bit program; a 32-bit prefix also keeps its
        // registry writes out of the WOW64 redirection.
        "WINEARCH=win32",
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
    const std::vector<std::string> env = wineEnvironment(templatePrefix, home, tmp);
    bool ok = true;
    const int booted = runProcess({tools.wineboot, "-i"}, env, log);
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
        const std::vector<std::string> env = wineEnvironment(prefix, prefix, tmp);
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
    for (auto it = fs::recursive_directory_iterator(templatePrefix, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path relative = it->path().lexically_relative(templatePrefix);
        const fs::path target = prefix_ / relative;
        if (it->is_symlink()) {
            fs::copy_symlink(it->path(), target, ec);
        } else if (it->is_directory()) {
            fs::create_directory(target, ec);
        } else if (isPrivatePrefixFile(relative)) {
            if (relative != "wineserver") {
                fs::copy_file(it->path(), target, ec);
            }
        } else {
            fs::create_hard_link(it->path(), target, ec);
        }
        if (ec) {
            *error = "cannot copy " + it->path().string() + ": " + ec.message();
            return false;
        }
    }
    if (ec) {
        *error = "cannot copy the template prefix " + templatePrefix.string() + ": " + ec.message();
        return false;
    }
    return true;
}

std::vector<std::string> WinePrefix::environment() const {
    std::vector<std::string> env = wineEnvironment(prefix_, home_, tmp_);
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
