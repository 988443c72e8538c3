#include "app/deployment_command_line.h"

#include <string.h>

#include "common/bounded_text.h"
#include "platform/platform.h"

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when `text` starts with `word` (lower case), ignoring ASCII case.
bool startsWith(const char* text, const char* word) {
    for (; *word != '\0'; ++text, ++word) {
        if (lower(*text) != *word) {
            return false;
        }
    }
    return true;
}

bool isWord(const char* text, const char* word) {
    return startsWith(text, word) && text[strlen(word)] == '\0';
}

// One argument: blanks outside quotes end it, quotes are taken out (so
// /dir="C:\A B" and "/dir=C:\A B" give the same text). A quote or blank is
// never the trail byte of a double-byte character, so bytes are compared.
// False when the argument does not fit `out` (260 bytes).
const char* nextArgument(const char* p, char* out, bool* quoted, bool* fits) {
    clearBuffer(out, kPathBufferSize);
    *quoted = *p == '"';
    *fits = true;
    bool inQuotes = false;
    size_t length = 0;
    for (; *p != '\0' && (inQuotes || static_cast<unsigned char>(*p) > ' '); ++p) {
        if (*p == '"') {
            inQuotes = !inQuotes;
        } else if (length + 1 < kPathBufferSize) {
            out[length++] = *p;
        } else {
            *fits = false;
        }
    }
    return p;
}

const char* skipBlanks(const char* p) {
    while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') {
        ++p;
    }
    return p;
}

bool isDeploymentSwitch(const char* argument) {
    return isWord(argument, "/install") || startsWith(argument, "/dir=") ||
           isWord(argument, "/allusers") || isWord(argument, "/currentuser");
}

bool hasDeploymentSwitch(const char* tail) {
    char argument[kPathBufferSize];
    bool quoted = false;
    bool fits = false;
    for (const char* p = skipBlanks(tail); *p != '\0'; p = skipBlanks(p)) {
        p = nextArgument(p, argument, &quoted, &fits);
        if (isDeploymentSwitch(argument)) {
            return true;
        }
    }
    return false;
}

void takeDirectory(RunOptions* options, const char* directory, bool fits, bool* targetRefused) {
    *targetRefused = !fits || directory[0] == '\0';
    // A later "/dir=" replaces an earlier directory whole.
    clearBuffer(options->targetDirectory, sizeof options->targetDirectory);
    copyText(options->targetDirectory, sizeof options->targetDirectory,
             *targetRefused ? "" : directory);
}

} // namespace

RunOptions parseDeploymentCommandLine(const char* tail, DeploymentRequest* request,
                                      bool* targetRefused) {
    request->scope = InstallScope::kAny;
    request->defaultFolder = false;
    if (!hasDeploymentSwitch(tail)) {
        return parseRunOptions(tail, targetRefused);
    }
    RunOptions options;
    memset(&options, 0, sizeof options);
    options.installMode = true;
    *targetRefused = false;
    bool fromDir = false;
    bool fromQuote = false;
    char argument[kPathBufferSize];
    bool quoted = false;
    bool fits = false;
    for (const char* p = skipBlanks(tail); *p != '\0'; p = skipBlanks(p)) {
        p = nextArgument(p, argument, &quoted, &fits);
        if (startsWith(argument, "/dir=")) {
            takeDirectory(&options, argument + 5, fits, targetRefused);
            fromDir = true;
        } else if (isWord(argument, "/allusers")) {
            request->scope = InstallScope::kMachine;
        } else if (isWord(argument, "/currentuser")) {
            request->scope = InstallScope::kUser;
        } else if (isWord(argument, "/d")) {
            options.desktopShortcut = true;
        } else if (isWord(argument, "/s")) {
            options.startMenuShortcuts = true;
        } else if (quoted && !fromDir && !fromQuote && argument[0] != '/') {
            takeDirectory(&options, argument, fits, targetRefused);
            fromQuote = true;
        }
    }
    request->defaultFolder = !fromDir && !fromQuote;
    return options;
}

bool defaultInstallFolder(const char* product, bool machineWide, char* target) {
    char base[kPathBufferSize];
    clearBuffer(base, sizeof base);
    if (!platform::getSpecialFolderPath(
            machineWide ? platform::kCsidlProgramFiles : platform::kCsidlLocalAppData, base) ||
        base[0] == '\0') {
        return false;
    }
    char programs[kPathBufferSize];
    if (!machineWide &&
        (!joinPath(programs, sizeof programs, base, "Programs", platform::isDbcsLeadByte) ||
         !copyText(base, sizeof base, programs))) {
        return false;
    }
    return joinPath(target, kPathBufferSize, base, product, platform::isDbcsLeadByte);
}

RunOptions parseDescribedRunOptions(const char* tail, const char* product, bool* machineWide,
                                    bool* targetRefused) {
    DeploymentRequest request;
    RunOptions options = parseDeploymentCommandLine(tail, &request, targetRefused);
    *machineWide = options.installMode && isMachineWide(request.scope);
    if (options.installMode && request.defaultFolder &&
        !defaultInstallFolder(product, *machineWide, options.targetDirectory)) {
        *targetRefused = true;
    }
    return options;
}
