// Fuzzes the command line: any process command line through commandLineTail,
// and any tail through parseRunOptions, each checked against a plain
// reading of the rules written with the standard library.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "app/command_line.h"
#include "app/run_options.h"
#include "platform/platform.h"
#include "support/scratch.h"

namespace {

// The program name is a quoted run up to the next quote (a double-byte lead
// byte takes its trail byte along) or a run of characters above the blank;
// the blanks and control characters after it are skipped.
size_t expectedTailOffset(const std::string& line) {
    size_t i = 0;
    if (!line.empty() && line[0] == '"') {
        for (i = 1; i < line.size() && line[i] != '"'; ++i) {
            if (platform::isDbcsLeadByte(static_cast<unsigned char>(line[i])) &&
                i + 1 < line.size() && static_cast<unsigned char>(line[i + 1]) >= 0x40) {
                ++i;
            }
        }
        if (i < line.size()) {
            ++i;
        }
    } else {
        while (i < line.size() && static_cast<unsigned char>(line[i]) > ' ') {
            ++i;
        }
    }
    while (i < line.size() && static_cast<unsigned char>(line[i]) <= ' ') {
        ++i;
    }
    return i;
}

bool expectedSwitch(const std::string& tail, size_t closingQuote, char letter) {
    for (size_t i = tail.size(); i-- > 8;) {
        const char c = tail[i];
        if ((c == letter || c == letter - 'a' + 'A') && tail[i - 1] == '/' && tail[i - 2] == ' ' &&
            i > closingQuote) {
            return true;
        }
    }
    return false;
}

void checkOptions(const std::string& tail) {
    bool tooLong = true;
    const RunOptions options = parseRunOptions(tail.c_str(), &tooLong);

    const size_t lastQuote = tail.rfind('"');
    const size_t closingQuote = lastQuote == std::string::npos ? 0 : lastQuote;
    const bool install = !tail.empty() && tail[0] == '"' && closingQuote != 0;
    const std::string directory = closingQuote > 1 ? tail.substr(1, closingQuote - 1) : "";
    const bool fits = directory.size() < sizeof options.targetDirectory;

    if (options.installMode != install) {
        scratch::fail("installMode differs", tail);
    }
    if (tooLong == fits) {
        scratch::fail("targetTooLong differs", tail);
    }
    const char* const target = options.targetDirectory;
    if (target[sizeof options.targetDirectory - 1] != '\0') {
        scratch::fail("targetDirectory is not terminated", tail);
    }
    // The buffer is zero-filled: nothing may follow the text.
    const size_t length = strlen(target);
    for (size_t i = length; i < sizeof options.targetDirectory; ++i) {
        if (target[i] != '\0') {
            scratch::fail("targetDirectory has bytes after its end", tail);
        }
    }
    if (std::string(target) != (fits ? directory : "")) {
        scratch::fail("targetDirectory differs", tail);
    }
    if (options.desktopShortcut != expectedSwitch(tail, closingQuote, 'd') ||
        options.startMenuShortcuts != expectedSwitch(tail, closingQuote, 's')) {
        scratch::fail("switches differ", tail);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The command line is a C string: it ends at the first zero byte.
    const std::string line(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), size));

    const char* tail = commandLineTail(line.c_str());
    if (tail < line.c_str() || tail > line.c_str() + line.size()) {
        scratch::fail("tail points outside the command line", line);
    }
    if (static_cast<size_t>(tail - line.c_str()) != expectedTailOffset(line)) {
        scratch::fail("tail starts at the wrong place", line);
    }

    checkOptions(tail);
    // The whole line as a tail too: it reaches the quote and switch rules
    // with no program name in front.
    checkOptions(line);
    return 0;
}
