// Child processes for tests: started with an exact argument vector and
// environment, waited for, their exit code and peak memory reported.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1; // -1 when the process did not exit normally
    long peakKiB = 0;  // its largest resident set
};

// Starts argv[0] (a path) with stdin from /dev/null, stdout appended to the
// file `out` and stderr to `err` (the same path: both into one file; empty:
// discarded). `env` null: this process's environment. -1 when it cannot
// start.
pid_t startProcess(const std::vector<std::string>& argv, const std::vector<std::string>* env,
                   const std::string& out, const std::string& err);

ProcessResult waitProcess(pid_t pid);

ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>* env,
                         const std::string& out, const std::string& err);
