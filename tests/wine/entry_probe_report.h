// What tools/entry_probe.c wrote: where it was started from and the
// security descriptor of a folder, as Windows gave it to the program.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace wine_test {

// The probe's program and the report it writes beside itself when the
// stub starts it.
inline constexpr char kProbeProgram[] = "entry_probe.exe";
inline constexpr char kProbeReport[] = "entry_probe.txt";

struct ProbeAce {
    std::string kind; // "allowed", "denied" or "other"
    // Whom the SID is, found with EqualSid by the probe: "user", "system",
    // "administrators", "users", "everyone", "authenticated-users", "other".
    std::string who;
    std::string line; // as written, for messages
};

struct ProbeReport {
    std::map<std::string, std::string> fields; // module, folder, user, owner, dacl
    std::vector<ProbeAce> aces;                // in the DACL's order

    std::string field(const std::string& key) const;
};

// The report in `file`; empty when there is none.
ProbeReport readProbeReport(const std::filesystem::path& file);

// The DACL's entries that let anyone in but the process's user, SYSTEM and
// the administrators; the report itself when it has no DACL (a null DACL
// lets everyone in).
std::vector<std::string> entriesOpeningTheFolder(const ProbeReport& report);

} // namespace wine_test
