#include "entry_probe_report.h"

#include <sstream>

#include "wine_harness.h"

namespace wine_test {

std::string ProbeReport::field(const std::string& key) const {
    const auto found = fields.find(key);
    return found == fields.end() ? "" : found->second;
}

ProbeReport readProbeReport(const std::filesystem::path& file) {
    ProbeReport report;
    std::istringstream lines(readText(file));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "ace") {
            ProbeAce ace;
            std::istringstream words(value);
            words >> ace.kind >> ace.who;
            ace.line = value;
            report.aces.push_back(ace);
        } else {
            report.fields[key] = value;
        }
    }
    return report;
}

std::vector<std::string> entriesOpeningTheFolder(const ProbeReport& report) {
    if (report.field("dacl") != "present") {
        return {"dacl=" + report.field("dacl")};
    }
    std::vector<std::string> opening;
    for (const ProbeAce& ace : report.aces) {
        const bool trusted =
            ace.who == "user" || ace.who == "system" || ace.who == "administrators";
        // Only a denying entry cannot let anyone in.
        if (ace.kind != "denied" && !trusted) {
            opening.push_back(ace.line);
        }
    }
    return opening;
}

} // namespace wine_test
