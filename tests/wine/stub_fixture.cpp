#include "stub_fixture.h"

#include <locale.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iostream>
#include <iterator>
#include <sstream>
#include <thread>

namespace wine_test {

namespace fs = std::filesystem;

namespace {

const std::string kVempack = VEMPACK;

const char* const kTools[] = {"launch.exe", "folders.exe", "swap_resource.exe"};

std::string testName() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

// Why the tests cannot run, or empty when they can.
std::string missingPrerequisite() {
    const WineTarget& target = wineTarget();
    const std::string notRunnable = whyNotRunnable(target);
    if (!notRunnable.empty()) {
        return "the " + target.name + " build does not run here: " + notRunnable;
    }
    if (!fs::is_regular_file(target.stub)) {
        return target.stub.string() + " does not exist; build it with cmake --build --preset " +
               target.name;
    }
    if (target.toolsDirectory.empty()) {
        return "no mingw-w64 C compiler for " + target.name +
               " was found, so the helper programs were not built";
    }
    if (!fs::exists(target.templatePrefix / "system.reg")) {
        return "no template prefix at " + target.templatePrefix.string() +
               " (run the tests through ctest, which makes it first)";
    }
    return "";
}

} // namespace

void WineStubTest::SetUp() {
    const std::string missing = missingPrerequisite();
    if (!missing.empty()) {
        GTEST_SKIP() << missing;
    }
    const WineTarget& target = wineTarget();
    const fs::path root = target.runsDirectory / testName();
    scratch = root / "scratch";
    prefix = std::make_unique<WinePrefix>(target.tools, root);
    std::string error;
    ASSERT_TRUE(prefix->copyFrom(target.templatePrefix, &error)) << error;
    std::error_code ec;
    fs::create_directories(scratch, ec);
    fs::create_directories(prefix->driveC() / "tests", ec);
    ASSERT_FALSE(ec) << ec.message();
    copyIntoTests(target.stub, "vemsetup.exe");
    for (const char* tool : kTools) {
        copyIntoTests(target.toolsDirectory / tool, tool);
    }
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(findFolders(&error)) << error;
}

void WineStubTest::TearDown() {
    if (HasFailure() && prefix) {
        std::cout << "---- Wine's output (" << prefix->log().string() << ") ----\n"
                  << readText(prefix->log()) << "----\n";
    }
    prefix.reset();
}

bool WineStubTest::findFolders(std::string* error) {
    const fs::path report = scratch / "folders.txt";
    const int status = prefix->wine({"C:\\tests\\folders.exe"}, report);
    std::map<std::string, std::string> folders;
    std::istringstream lines(readText(report));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            folders[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    if (status != 0 || folders.count("temp") == 0 || folders.count("desktop") == 0 ||
        folders.count("programs") == 0) {
        *error = "folders.exe failed (" + std::to_string(status) + "): " + readText(report);
        return false;
    }
    temp = prefix->unixPath(folders["temp"]);
    desktop = prefix->unixPath(folders["desktop"]);
    programs = prefix->unixPath(folders["programs"]);
    // The stub must write into this prefix, never through a link into a
    // home directory.
    for (const fs::path& folder : {temp, desktop, programs}) {
        if (!fs::is_directory(folder) || fs::is_symlink(folder) ||
            folder.string().rfind(prefix->driveC().string(), 0) != 0) {
            *error = "folder " + folder.string() + " is not a directory of the prefix";
            return false;
        }
    }
    return true;
}

std::string WineStubTest::stubCommandLine(const std::string& tail, const char* program) {
    std::string line = "\"" + std::string(program) + "\"";
    return tail.empty() ? line : line + " " + tail;
}

// The command files lie outside drive C:, so that they never show up among
// what a run changed there; Wine maps Z: to the host's root.
std::string WineStubTest::writeCommandFile(const std::string& commandLine) {
    const fs::path file = scratch / ("command" + std::to_string(++commandFiles_) + ".txt");
    EXPECT_TRUE(writeBytes(file, commandLine));
    std::string windowsPath = "Z:" + fs::absolute(file).string();
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    return windowsPath;
}

int WineStubTest::run(const std::string& commandLine) {
    return waitProcess(start(commandLine));
}

pid_t WineStubTest::start(const std::string& commandLine) {
    return prefix->startWine({"C:\\tests\\launch.exe", writeCommandFile(commandLine)});
}

int WineStubTest::wine(const std::vector<std::string>& arguments) {
    return prefix->wine(arguments);
}

bool WineStubTest::useLocale(const char* locale) {
    locale_t found = newlocale(LC_ALL_MASK, locale, nullptr);
    if (found == nullptr) {
        return false;
    }
    freelocale(found);
    prefix->addEnvironment(std::string("LC_ALL=") + locale);
    return true;
}

std::string WineStubTest::copyIntoTests(const fs::path& file, const std::string& name) {
    std::error_code ec;
    fs::copy_file(file, prefix->driveC() / "tests" / name, fs::copy_options::overwrite_existing,
                  ec);
    EXPECT_FALSE(ec) << "cannot copy " << file << ": " << ec.message();
    return "C:\\tests\\" + name;
}

std::string WineStubTest::stubWithPayload(const fs::path& payload, const std::string& name) {
    const std::string payloadPath = copyIntoTests(payload, name + ".lzma");
    const std::string stub = "C:\\tests\\" + name;
    EXPECT_EQ(wine({"C:\\tests\\swap_resource.exe", kStubPath, stub, payloadPath}), 0)
        << "swap_resource could not give " << name << " the payload " << payload;
    return stub;
}

int WineStubTest::vempack(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {kVempack};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const fs::path output = scratch / "vempack.log";
    const int status = runProcess(argv, {"PATH=/usr/bin:/bin"}, output);
    EXPECT_EQ(status, 0) << readText(output);
    return status;
}

// The registry needs no wait for the Wine server: reg.exe asks the running
// server, which holds every write the stub made before it exited.
WineRegistry WineStubTest::machineRegistry() {
    return WineRegistry(prefix.get(), "HKLM", scratch / "reg-query.txt");
}

WineRegistry WineStubTest::userRegistry() {
    return WineRegistry(prefix.get(), "HKCU", scratch / "reg-query.txt");
}

WineRegistry WineStubTest::templateMachineRegistry() {
    return machineRegistry();
}

ShortcutInfo WineStubTest::readShortcut(const fs::path& link) {
    ShortcutInfo info;
    if (!fs::is_regular_file(link)) {
        ADD_FAILURE() << "no shortcut " << link;
        return info;
    }
    if (lnkinfoPath().empty()) {
        std::cout << "lnkinfo is not installed: only the existence of " << link << " was checked\n";
        return info;
    }
    try {
        info = readLink(link.string(), (scratch / "lnkinfo.txt").string());
    } catch (const std::exception& error) {
        ADD_FAILURE() << error.what();
    }
    return info;
}

bool WineStubTest::waitForFile(const fs::path& path) {
    for (int i = 0; i < 400 && !fs::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return fs::exists(path);
}

std::string WineStubTest::tempRelativeToDriveC() const {
    return temp.lexically_relative(prefix->driveC()).generic_string();
}

void DemoStubTest::SetUp() {
    WineStubTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    // The tests know the demo payload's entries; a stub built around
    // another payload (VEMSETUP_PAYLOAD) is not theirs to check.
    const WineTarget& target = wineTarget();
    const std::string stub = readBytes(target.stub);
    const std::string payload = readBytes(target.demoPayload);
    if (payload.empty() ||
        std::search(stub.begin(), stub.end(), payload.begin(), payload.end()) == stub.end()) {
        GTEST_SKIP() << target.stub << " does not embed the demo payload " << target.demoPayload;
    }
}

std::map<std::string, std::string> DemoStubTest::demoEntries() {
    const fs::path directory = scratch / "demo-entries";
    vempack({"extract", wineTarget().demoPayload.string(), directory.string()});
    return fileContents(directory);
}

std::map<std::string, std::string> fileContents(const fs::path& directory) {
    std::map<std::string, std::string> files;
    for (const std::string& name : directoryNames(directory)) {
        if (fs::is_regular_file(directory / name)) {
            files[name] = readBytes(directory / name);
        }
    }
    return files;
}

std::map<std::string, std::string> fileTree(const fs::path& directory) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    walkTree(
        directory,
        [&](const fs::directory_entry& entry) {
            std::error_code kindError;
            if (entry.is_regular_file(kindError) && !entry.is_symlink(kindError)) {
                files[entry.path().lexically_relative(directory).generic_string()] =
                    readBytes(entry.path());
            }
            return true;
        },
        ec);
    return files;
}

bool writeTree(const fs::path& directory, const std::map<std::string, std::string>& files) {
    for (const auto& [name, bytes] : files) {
        const fs::path file = directory / name;
        std::error_code ec;
        fs::create_directories(file.parent_path(), ec);
        if (ec || !writeBytes(file, bytes)) {
            return false;
        }
    }
    return true;
}

} // namespace wine_test

namespace wine_test {

testing::AssertionResult sameFiles(const std::map<std::string, std::string>& actual,
                                   const std::map<std::string, std::string>& expected) {
    std::string differences;
    for (const auto& [name, bytes] : expected) {
        const auto found = actual.find(name);
        if (found == actual.end()) {
            differences += " missing \"" + name + "\";";
        } else if (found->second != bytes) {
            differences += " \"" + name + "\" has " + std::to_string(found->second.size()) +
                           " bytes that differ from the expected " + std::to_string(bytes.size()) +
                           ";";
        }
    }
    for (const auto& [name, bytes] : actual) {
        if (expected.count(name) == 0) {
            differences += " unexpected \"" + name + "\";";
        }
    }
    if (differences.empty()) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "files differ:" << differences;
}

std::vector<std::string> addedNames(const std::vector<std::string>& before,
                                    const std::vector<std::string>& after) {
    std::vector<std::string> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    return added;
}

bool isVemTempName(const std::string& name) {
    if (name.size() <= 7) {
        return false;
    }
    std::string lower = name;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::string number = lower.substr(3, lower.size() - 7);
    return lower.compare(0, 3, "vem") == 0 && lower.compare(lower.size() - 4, 4, ".tmp") == 0 &&
           number.find_first_not_of("0123456789abcdef") == std::string::npos;
}

} // namespace wine_test
