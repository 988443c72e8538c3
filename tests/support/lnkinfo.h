// Shortcut files read back with lnkinfo (liblnk-utils), where it is
// installed.
#pragma once

#include <string>

struct LinkReport {
    bool inspected = false; // false where lnkinfo is not installed
    std::string localPath;
    std::string description;
};

// lnkinfo's path, or empty where it is not installed.
const std::string& lnkinfoPath();

// What lnkinfo reads from `link`; its report is kept in `reportFile`.
// Throws when lnkinfo is there but fails.
LinkReport readLink(const std::string& link, const std::string& reportFile);
