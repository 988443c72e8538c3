#include "system/shortcuts.h"

#include "common/bounded_text.h"
#include "platform/platform.h"
#include "system/directory_utils.h"
#include "system/product.h"

namespace {

// "<directory>\<name><extension>", a backslash only where the directory
// has none.
bool composeFilePath(const char* directory, const char* name, const char* extension, char* path) {
    return joinPath(path, kPathBufferSize, directory, name, platform::isDbcsLeadByte) &&
           appendText(path, kPathBufferSize, extension);
}

// True only when the link file was saved: a shortcut that is not on disk
// must not pass for made.
bool saveLink(platform::ShellLink link, const char* linkPath) {
    platform::PersistFile persist = nullptr;
    if (platform::shellLinkQueryPersistFile(link, &persist) < 0 || persist == nullptr) {
        return false;
    }
    uint16_t widePath[kPathBufferSize];
    clearBuffer(widePath, sizeof widePath);
    const bool saved = platform::multiByteToWideChar(linkPath, widePath, kPathBufferSize) != 0 &&
                       platform::persistFileSave(persist, widePath, true) >= 0;
    platform::persistFileRelease(persist);
    return saved;
}

} // namespace

bool createLink(const char* folder, const char* linkName, const char* targetPath,
                const char* description) {
    char linkPath[kPathBufferSize];
    if (!composeFilePath(folder, linkName, ".lnk", linkPath)) {
        return false;
    }
    platform::comInitialize();
    platform::ShellLink link = nullptr;
    if (platform::createShellLink(&link) < 0 || link == nullptr) {
        return false;
    }
    // A link without its target must not be saved; the description is a
    // nicety whose failure loses nothing.
    bool saved = false;
    if (platform::shellLinkSetPath(link, targetPath) >= 0) {
        platform::shellLinkSetDescription(link, description);
        saved = saveLink(link, linkPath);
    }
    platform::shellLinkRelease(link);
    return saved;
}

bool createShortcut(const char* baseName, const char* folder, const char* linkName,
                    const char* directory) {
    char targetPath[kPathBufferSize];
    return composeFilePath(directory, baseName, ".exe", targetPath) &&
           createLink(folder, linkName, targetPath, kProductName);
}

bool createStartMenuShortcuts(const char* directory) {
    char programs[kPathBufferSize];
    char folder[kPathBufferSize];
    clearBuffer(programs, sizeof programs);
    // Without the programs folder the start-menu folder would be made in the
    // root of the current drive.
    if (!platform::getSpecialFolderPath(platform::kCsidlPrograms, programs) ||
        programs[0] == '\0' ||
        !joinPath(folder, sizeof folder, programs, kStartMenuFolderName,
                  platform::isDbcsLeadByte)) {
        return false;
    }
    return createDirectoryPath(folder) &&
           createShortcut(kProgramBaseName, folder, kProgramBaseName, directory) &&
           createShortcut(kUninstallerBaseName, folder, kUninstallerBaseName, directory);
}
