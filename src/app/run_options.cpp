#include "app/run_options.h"

#include <string.h>

namespace {

// A switch counts when its letter follows " /" and lies after the closing
// quote. Positions below 8 are never examined, which keeps the rule the
// long-standing one (a switch right after a short quoted root like "C:\"
// with one blank does not count).
bool hasSwitch(const char* tail, size_t length, size_t closingQuote, char lower, char upper) {
    for (size_t i = length; i-- > 8;) {
        const char c = tail[i];
        if ((c == lower || c == upper) && tail[i - 1] == '/' && tail[i - 2] == ' ' &&
            i > closingQuote) {
            return true;
        }
    }
    return false;
}

} // namespace

RunOptions parseRunOptions(const char* tail, bool* targetTooLong) {
    RunOptions options;
    memset(&options, 0, sizeof options);
    *targetTooLong = false;

    const size_t length = strlen(tail);
    options.installMode = length != 0 && tail[0] == '"';

    size_t closingQuote = 0;
    for (size_t i = length; i-- > 0;) {
        if (tail[i] == '"') {
            closingQuote = i;
            break;
        }
    }
    if (closingQuote == 0) {
        options.installMode = false;
    }

    if (closingQuote > 1) {
        const size_t directoryLength = closingQuote - 1;
        if (directoryLength < sizeof options.targetDirectory) {
            memcpy(options.targetDirectory, tail + 1, directoryLength);
        } else {
            *targetTooLong = true;
        }
    }

    options.desktopShortcut = hasSwitch(tail, length, closingQuote, 'd', 'D');
    options.startMenuShortcuts = hasSwitch(tail, length, closingQuote, 's', 'S');
    return options;
}
