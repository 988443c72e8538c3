// Makes and removes the template Wine prefix that every Wine test copies.
// Run by ctest before and after the Wine tests:
//   vemsetup_wine_template create PREFIX STUB
//   vemsetup_wine_template remove PREFIX
// Exit code 77 (a skip for ctest) when Wine is not installed or the stub
// has not been built, since no test could use the prefix then.
#include <iostream>
#include <string>

#include "wine_harness.h"

namespace {

constexpr int kSkipped = 77;

} // namespace

int main(int argc, char** argv) {
    using namespace wine_test;
    const std::string command = argc >= 3 ? argv[1] : "";
    if (!(command == "create" && argc == 4) && !(command == "remove" && argc == 3)) {
        std::cerr << "usage: vemsetup_wine_template create PREFIX STUB\n"
                     "       vemsetup_wine_template remove PREFIX\n";
        return 2;
    }
    const fs::path prefix = fs::absolute(argv[2]);
    const WineTools tools = configuredWineTools();
    if (command == "remove") {
        removePrefix(tools, prefix);
        return 0;
    }
    std::string missing = missingWine(tools);
    if (missing.empty() && !fs::is_regular_file(argv[3])) {
        missing = std::string(argv[3]) + " does not exist";
    }
    if (!missing.empty()) {
        removePrefix(tools, prefix);
        std::cout << "Skipped: " << missing << "\n";
        return kSkipped;
    }
    std::error_code ec;
    fs::create_directories(prefix.parent_path(), ec);
    const fs::path log = prefix.string() + ".log";
    fs::remove(log, ec);
    std::string error;
    if (!createTemplatePrefix(tools, prefix, log, &error)) {
        std::cerr << error << "\n" << readText(log);
        return 1;
    }
    std::cout << "Template prefix ready: " << prefix.string() << "\n";
    return 0;
}
