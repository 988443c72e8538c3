#include "app/deployment_command_line.h"

#include <string.h>

#include "common/bounded_text.h"
#include "common/command_arguments.h"
#include "platform/platform.h"

namespace {

bool isWord(const char* text, const char* word) {
    return startsWithIgnoringCase(text, word) && text[strlen(word)] == '\0';
}

bool isDeploymentSwitch(const char* argument) {
    return isWord(argument, "/install") || startsWithIgnoringCase(argument, "/dir=") ||
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
        if (startsWithIgnoringCase(argument, "/dir=")) {
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
