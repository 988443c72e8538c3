// The process entry's portable half: the platform's main obtains the
// command line and ends the process with what this returns.
#pragma once

int vemsetupMain(const char* commandLine);
