#include "system/registration.h"

#include <string.h>

#include "common/bounded_text.h"
#include "platform/platform.h"
#include "system/product.h"
#include "system/registry_access.h"
#include "system/shortcuts.h"

namespace {

constexpr uint32_t kInstallPathPauseMilliseconds = 500;

void notifyAssociationsChanged() {
    platform::changeNotify(platform::kShcneAssocChanged, platform::kShcnfFlush);
}

// The document type's icon is cleared and set again, with a notice after
// each write, so that the shell drops an icon it has cached. Machine-wide
// only; a user without the rights simply keeps the old icon.
void writeDefaultIcon() {
    const RegistryValueRef icon = {platform::kHkeyLocalMachine, kDocumentIconKey, ""};
    writeRegistryValue(icon, "");
    notifyAssociationsChanged();
    writeRegistryValue(icon, kDefaultIconText);
    notifyAssociationsChanged();
}

// Remembers who owned ".pdf" before, unless this program owns it already
// (then an earlier backup must survive).
void backUpAssociation() {
    char previousProgId[kPathBufferSize];
    char previousClsid[kPathBufferSize];
    clearBuffer(previousProgId, sizeof previousProgId);
    clearBuffer(previousClsid, sizeof previousClsid);
    const RegistryValueRef pdfType = {platform::kHkeyLocalMachine, kPdfTypeKey, ""};
    const RegistryValueRef contentType = {platform::kHkeyLocalMachine, kPdfContentTypeKey, "CLSID"};
    readRegistryValue(pdfType, "", previousProgId);
    readRegistryValue(contentType, "", previousClsid);
    if (strcmp(previousProgId, kDocumentProgId) == 0) {
        return;
    }
    writeMachineThenUser(kApplicationKey, "strdocument", previousProgId);
    writeMachineThenUser(kApplicationKey, "strCLSID", previousClsid);
}

// A folder that could not be located must not become an empty path: the
// link would land in the root of the current drive and pass for made.
ExitCode createRequestedShortcuts(ShortcutRequest shortcuts, const char* desktop,
                                  const char* target) {
    if (shortcuts.desktop && (desktop[0] == '\0' || !createShortcut(kProgramBaseName, desktop,
                                                                    kProgramBaseName, target))) {
        return kExitShortcut;
    }
    if (shortcuts.startMenu && !createStartMenuShortcuts(target)) {
        return kExitShortcut;
    }
    return kExitSuccess;
}

// The system runs UninstallString as a command line: unquoted, a path with
// a blank would be searched for piece by piece (C:\Program.exe first). A
// blank is never the trail byte of a double-byte character, so a byte
// search finds exactly the blanks.
bool writeUninstallEntry(const char* programPath, const char* uninstallerPath) {
    char command[kPathBufferSize];
    const bool copied = strchr(uninstallerPath, ' ') != nullptr
                            ? copyQuoted(command, sizeof command, uninstallerPath)
                            : copyText(command, sizeof command, uninstallerPath);
    if (!copied) {
        return false;
    }
    return writeMachineThenUser(kUninstallKey, "UninstallString", command) &&
           writeMachineThenUser(kUninstallKey, "DisplayName", kProductName) &&
           writeMachineThenUser(kUninstallKey, "DisplayIcon", programPath) &&
           writeMachineThenUser(kUninstallKey, "UninstallPath", uninstallerPath);
}

} // namespace

ExitCode registerApplication(const char* targetDirectory, ShortcutRequest shortcuts) {
    writeDefaultIcon();
    backUpAssociation();

    char target[kPathBufferSize];
    char programPath[kPathBufferSize];
    char uninstallerPath[kPathBufferSize];
    // The main sequence refuses targets too long for these paths; a target
    // that still does not fit fails the required writes rather than being
    // recorded cut short.
    if (!joinPath(target, sizeof target, targetDirectory, "", platform::isDbcsLeadByte) ||
        !joinPath(programPath, sizeof programPath, target, kProgramFileName,
                  platform::isDbcsLeadByte) ||
        !joinPath(uninstallerPath, sizeof uninstallerPath, target, kUninstallerFileName,
                  platform::isDbcsLeadByte)) {
        return kExitRegistryWrite;
    }

    // Located whether or not a desktop shortcut was asked for; a lookup that
    // fails (SYSTEM often has no desktop folder) leaves it empty.
    char desktop[kPathBufferSize];
    clearBuffer(desktop, sizeof desktop);
    if (!platform::getSpecialFolderPath(platform::kCsidlDesktopDirectory, desktop)) {
        clearBuffer(desktop, sizeof desktop);
    }

    const ExitCode created = createRequestedShortcuts(shortcuts, desktop, target);
    if (created != kExitSuccess) {
        return created;
    }
    if (!writeUninstallEntry(programPath, uninstallerPath)) {
        return kExitRegistryWrite;
    }
    platform::sleepMilliseconds(kInstallPathPauseMilliseconds);
    if (!writeMachineThenUser(kApplicationKey, "InstallPath", target)) {
        return kExitRegistryWrite;
    }
    return kExitSuccess;
}
