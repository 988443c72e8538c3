// The parsed command line.
#pragma once

#include "common/bounded_text.h"

struct RunOptions {
    bool installMode;
    char targetDirectory[kPathBufferSize];
    bool desktopShortcut;
    bool startMenuShortcuts;
};

// Parses the command-line tail. Never fails: a tail without a quoted
// directory selects extract-and-launch mode. A quoted directory that does
// not fit `targetDirectory` is kept cut to an empty text with
// `targetTooLong` set, so the caller can refuse it.
RunOptions parseRunOptions(const char* tail, bool* targetTooLong);
