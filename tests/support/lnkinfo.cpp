#include "lnkinfo.h"

#include <unistd.h>

#include <sstream>
#include <stdexcept>

#include "process.h"
#include "temp_dir.h"

namespace {

// The value after "Label" and a colon on one line of lnkinfo's report.
std::string reportField(const std::string& report, const std::string& label) {
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, label.size(), label) != 0) {
            continue;
        }
        const size_t colon = line.find(": ", start + label.size());
        if (colon != std::string::npos) {
            return line.substr(colon + 2);
        }
    }
    return "";
}

} // namespace

const std::string& lnkinfoPath() {
    static const std::string path = [] {
        for (const char* candidate : {"/usr/bin/lnkinfo", "/usr/local/bin/lnkinfo"}) {
            if (access(candidate, X_OK) == 0) {
                return std::string(candidate);
            }
        }
        return std::string();
    }();
    return path;
}

LinkReport readLink(const std::string& link, const std::string& reportFile) {
    LinkReport report;
    if (lnkinfoPath().empty()) {
        return report;
    }
    removeTree(reportFile);
    const std::vector<std::string> env = {"PATH=/usr/bin:/bin"};
    if (runProcess({lnkinfoPath(), link}, &env, reportFile, reportFile).exitCode != 0) {
        throw std::runtime_error("lnkinfo cannot read " + link);
    }
    const Bytes bytes = readBytes(reportFile);
    const std::string text(bytes.begin(), bytes.end());
    report.inspected = true;
    report.localPath = reportField(text, "Local path");
    report.description = reportField(text, "Description");
    return report;
}
