// Makes and removes the template Wine prefix that every Wine test of one
// Windows build copies. Run by ctest before and after that build's tests,
// with VEMSETUP_WINE_TARGET naming the build:
//   vemsetup_wine_template create
//   vemsetup_wine_template remove
// Exit code 77 (a skip for ctest) when this machine does not run the build
// (no Wine for it, a kernel that refuses its loader, another build chosen
// by VEMSETUP_WINE_ARCH) or the build's stub does not exist, since no test
// could use the prefix then; and from "remove" when there is no prefix.
#include <cstdlib>
#include <iostream>
#include <string>

#include "wine_harness.h"

namespace {

constexpr int kSkipped = 77;

bool knownArchitectureSwitch() {
    const char* value = getenv("VEMSETUP_WINE_ARCH");
    const std::string forced = value != nullptr ? value : "";
    return forced.empty() || forced == "auto" || forced == "win32" || forced == "win64";
}

} // namespace

int main(int argc, char** argv) {
    using namespace wine_test;
    const std::string command = argc == 2 ? argv[1] : "";
    if (command != "create" && command != "remove") {
        std::cerr
            << "usage: VEMSETUP_WINE_TARGET=win32|win64 vemsetup_wine_template create|remove\n";
        return 2;
    }
    const WineTarget& target = wineTarget();
    const fs::path prefix = fs::absolute(target.templatePrefix);
    if (command == "remove") {
        // Nothing made, nothing removed: no test of the build ran here.
        const bool made = fs::exists(prefix);
        removePrefix(target.tools, prefix);
        if (!made) {
            std::cout << "Skipped: no template prefix of the " << target.name << " build\n";
            return kSkipped;
        }
        return 0;
    }
    if (!knownArchitectureSwitch()) {
        std::cerr << "VEMSETUP_WINE_ARCH=" << getenv("VEMSETUP_WINE_ARCH")
                  << " is none of auto, win32 and win64\n";
        return 1;
    }
    std::string missing = whyNotRunnable(target);
    if (missing.empty() && !fs::is_regular_file(target.stub)) {
        missing = target.stub.string() + " does not exist";
    }
    if (!missing.empty()) {
        removePrefix(target.tools, prefix);
        std::cout << "Skipped: the " << target.name << " build does not run here: " << missing
                  << "\n";
        return kSkipped;
    }
    std::error_code ec;
    fs::create_directories(prefix.parent_path(), ec);
    const fs::path log = prefix.string() + ".log";
    fs::remove(log, ec);
    std::string error;
    if (!createTemplatePrefix(target.tools, prefix, log, &error)) {
        std::cerr << error << "\n" << readText(log);
        return 1;
    }
    std::cout << "Template prefix (WINEARCH=" << target.tools.arch << ") ready: " << prefix.string()
              << "\n";
    return 0;
}
