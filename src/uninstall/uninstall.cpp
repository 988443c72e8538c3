#include "uninstall/uninstall.h"

#include <string.h>

#include "app/command_line.h"
#include "common/bounded_text.h"
#include "common/command_arguments.h"
#include "payload/temp_files.h"
#include "platform/platform.h"
#include "system/product_registration.h"
#include "uninstall/removal.h"
#include "uninstall/traces.h"
#include "uninstall/uninstall_lists.h"

namespace {

// The temporary copy waits this long, at most, for the original to end.
constexpr uint32_t kWaitAttempts = 100;
constexpr uint32_t kWaitPauseMilliseconds = 100;

bool isListName(const UninstallLists& lists, const char* name) {
    for (uint32_t i = 0; i < lists.count; ++i) {
        if (equalsIgnoringCase(lists.names[i], name)) {
            return true;
        }
    }
    return false;
}

// Uninstall.exe and the lists go last, and only when all else is gone.
bool isKeptForLast(const UninstallLists& lists, const char* name) {
    return equalsIgnoringCase(name, kProductUninstallerFileName) || isListName(lists, name);
}

template <typename Visit> void forEachEntry(const UninstallLists& lists, Visit visit) {
    char name[kPathBufferSize];
    for (uint32_t i = 0; i < lists.count; ++i) {
        const unsigned char* cursor = lists.lists[i].entries;
        while (nextUninstallEntry(lists.lists[i], &cursor, name)) {
            visit(name);
        }
    }
}

// The last level of a path: where its final backslash leaves off.
const char* lastLevel(const char* path) {
    const char* last = path;
    for (const char* p = path; *p != '\0'; p += characterSize(p, platform::isDbcsLeadByte)) {
        if (*p == '\\') {
            last = p + 1;
        }
    }
    return last;
}

// Copies Uninstall.exe into a private temporary folder and starts the copy,
// which removes the original once this process has ended.
bool handOverToCopy(const char* selfPath) {
    char temp[kPathBufferSize];
    char folder[kPathBufferSize];
    char copy[kPathBufferSize];
    if (!getTempDirectory(temp) || !makeTempFileName(temp, folder)) {
        return false;
    }
    platform::deleteFile(folder);
    if (!platform::createPrivateDirectory(folder) ||
        !joinPath(copy, sizeof copy, folder, kProductUninstallerFileName,
                  platform::isDbcsLeadByte) ||
        !platform::copyFile(selfPath, copy)) {
        platform::removeDirectory(folder);
        return false;
    }
    char commandLine[3 * kPathBufferSize];
    char quotedSelf[kPathBufferSize + 2];
    if (!copyQuoted(commandLine, sizeof commandLine, copy) ||
        !appendText(commandLine, sizeof commandLine, " /remove=") ||
        !copyQuoted(quotedSelf, sizeof quotedSelf, selfPath) ||
        !appendText(commandLine, sizeof commandLine, quotedSelf) ||
        !platform::createProcess(copy, commandLine)) {
        platform::deleteFile(copy);
        platform::removeDirectory(folder);
        return false;
    }
    return true;
}

// The path of a "/remove=PATH" argument (quotes taken out) into `path`.
bool removeArgument(const char* tail, char* path) {
    char argument[kPathBufferSize];
    bool quoted = false;
    bool fits = false;
    for (const char* p = skipBlanks(tail); *p != '\0'; p = skipBlanks(p)) {
        p = nextArgument(p, argument, &quoted, &fits);
        if (fits && startsWithIgnoringCase(argument, "/remove=") && argument[8] != '\0') {
            return copyText(path, kPathBufferSize, argument + 8);
        }
    }
    return false;
}

} // namespace

ExitCode runUninstall(const char* selfPath) {
    char folder[kPathBufferSize];
    UninstallLists lists;
    if (!parentOf(selfPath, folder) || !readUninstallLists(folder, &lists)) {
        return kExitArchiveCorrupt;
    }
    bool filesGone = true;
    forEachEntry(lists, [&](const char* name) {
        if (!isKeptForLast(lists, name)) {
            filesGone = removeListedFile(folder, name) && filesGone;
        }
    });
    forEachEntry(lists, [&](const char* name) { removeEmptyFolders(folder, name); });
    bool keysGone = true;
    for (uint32_t i = 0; i < lists.count; ++i) {
        filesGone = removeShortcuts(lists.lists[i].product) && filesGone;
        keysGone = removeRegistryKeys(lists.lists[i].product) && keysGone;
    }
    // What could not be removed can be tried again: the uninstaller and its
    // lists stay for that.
    if (filesGone && keysGone) {
        for (uint32_t i = 0; i < lists.count; ++i) {
            filesGone = removeListedFile(folder, lists.names[i]) && filesGone;
        }
    }
    releaseUninstallLists(&lists);
    if (!filesGone) {
        return kExitEntryOutput;
    }
    if (!keysGone) {
        return kExitRegistryWrite;
    }
    return handOverToCopy(selfPath) ? kExitDescribedSuccess : kExitEntryOutput;
}

ExitCode finishRemoval(const char* original, const char* selfPath) {
    char folder[kPathBufferSize];
    // Only an uninstaller is ever removed this way.
    if (!equalsIgnoringCase(lastLevel(original), kProductUninstallerFileName) ||
        !parentOf(original, folder)) {
        return kExitEntryOutput;
    }
    bool removed = false;
    for (uint32_t attempt = 0; attempt < kWaitAttempts && !removed; ++attempt) {
        const uint32_t attributes = platform::getFileAttributes(original);
        if (attributes != platform::kInvalidFileAttributes &&
            (attributes &
             (platform::kFileAttributeReparsePoint | platform::kFileAttributeDirectory)) != 0) {
            break;
        }
        removed = attributes == platform::kInvalidFileAttributes || platform::deleteFile(original);
        if (!removed) {
            platform::sleepMilliseconds(kWaitPauseMilliseconds);
        }
    }
    const uint32_t attributes = platform::getFileAttributes(folder);
    if (removed && attributes != platform::kInvalidFileAttributes &&
        (attributes & platform::kFileAttributeReparsePoint) == 0) {
        platform::removeDirectory(folder);
    }
    char ownFolder[kPathBufferSize];
    platform::deleteAtReboot(selfPath);
    if (parentOf(selfPath, ownFolder)) {
        platform::deleteAtReboot(ownFolder);
    }
    return removed ? kExitDescribedSuccess : kExitEntryOutput;
}

int uninstallMain(const char* commandLine) {
    platform::setErrorMode(platform::kSemFailCriticalErrors | platform::kSemNoOpenFileErrorBox);
    char selfPath[kPathBufferSize];
    clearBuffer(selfPath, sizeof selfPath);
    if (!platform::getModuleFileName(selfPath)) {
        return kExitArchiveCorrupt;
    }
    char original[kPathBufferSize];
    if (removeArgument(commandLineTail(commandLine), original)) {
        return finishRemoval(original, selfPath);
    }
    return runUninstall(selfPath);
}
