#include "system/shortcuts.h"

#include "common/bounded_text.h"
#include "platform/platform.h"
#include "system/directory_utils.h"
#include "system/product.h"

namespace {

bool composeLinkPath(const char* folder, const char* linkName, char* path) {
    clearBuffer(path, kPathBufferSize);
    return copyText(path, kPathBufferSize, folder) && appendChar(path, kPathBufferSize, '\\') &&
           appendText(path, kPathBufferSize, linkName) && appendText(path, kPathBufferSize, ".lnk");
}

// The directory already ends in a backslash when registration calls this,
// so the parts are joined as they are.
bool composeTargetPath(const char* directory, const char* baseName, char* path) {
    clearBuffer(path, kPathBufferSize);
    return copyText(path, kPathBufferSize, directory) &&
           appendText(path, kPathBufferSize, baseName) && appendText(path, kPathBufferSize, ".exe");
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

bool createShortcut(const char* baseName, const char* folder, const char* linkName,
                    const char* directory) {
    char linkPath[kPathBufferSize];
    char targetPath[kPathBufferSize];
    if (!composeLinkPath(folder, linkName, linkPath) ||
        !composeTargetPath(directory, baseName, targetPath)) {
        return false;
    }
    platform::comInitialize();
    platform::ShellLink link = nullptr;
    if (platform::createShellLink(&link) < 0 || link == nullptr) {
        return false;
    }
    platform::shellLinkSetPath(link, targetPath);
    platform::shellLinkSetDescription(link, kProductName);
    const bool saved = saveLink(link, linkPath);
    platform::shellLinkRelease(link);
    return saved;
}

bool createStartMenuShortcuts(const char* directory) {
    char folder[kPathBufferSize];
    clearBuffer(folder, sizeof folder);
    platform::getSpecialFolderPath(platform::kCsidlPrograms, folder);
    if (!appendChar(folder, sizeof folder, '\\') ||
        !appendText(folder, sizeof folder, kStartMenuFolderName)) {
        return false;
    }
    return createDirectoryPath(folder) &&
           createShortcut(kProgramBaseName, folder, kProgramBaseName, directory) &&
           createShortcut(kUninstallerBaseName, folder, kUninstallerBaseName, directory);
}
