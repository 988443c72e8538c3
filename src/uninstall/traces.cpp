#include "uninstall/traces.h"

#include "common/bounded_text.h"
#include "platform/platform.h"
#include "system/product_registration.h"
#include "uninstall/removal.h"

namespace {

constexpr long kNotFound = 2;

bool removeLink(const char* folder, const char* linkName) {
    char name[kPathBufferSize];
    return !copyText(name, sizeof name, linkName) || !appendText(name, sizeof name, ".lnk") ||
           removeListedFile(folder, name);
}

bool removeShortcutsIn(const ProductDescription& product, int desktopCsidl, int programsCsidl) {
    char folder[kPathBufferSize];
    bool removed = true;
    clearBuffer(folder, sizeof folder);
    if (platform::getSpecialFolderPath(desktopCsidl, folder) && folder[0] != '\0') {
        removed = removeLink(folder, product.product);
    }
    char programs[kPathBufferSize];
    char uninstallLink[kPathBufferSize];
    clearBuffer(programs, sizeof programs);
    if (!platform::getSpecialFolderPath(programsCsidl, programs) || programs[0] == '\0' ||
        !joinPath(folder, sizeof folder, programs, product.product, platform::isDbcsLeadByte) ||
        !copyText(uninstallLink, sizeof uninstallLink, "Uninstall ") ||
        !appendText(uninstallLink, sizeof uninstallLink, product.product)) {
        return removed;
    }
    removed = removeLink(folder, product.product) && removed;
    removed = removeLink(folder, uninstallLink) && removed;
    const uint32_t attributes = platform::getFileAttributes(folder);
    if (attributes != platform::kInvalidFileAttributes &&
        (attributes & platform::kFileAttributeReparsePoint) == 0) {
        platform::removeDirectory(folder);
    }
    return removed;
}

bool removeKey(platform::RegistryRoot root, const char* key) {
    const long status = platform::regDeleteKey(platform::rootKey(root), key);
    return status == 0 || status == kNotFound;
}

} // namespace

bool removeShortcuts(const ProductDescription& product) {
    const bool user =
        removeShortcutsIn(product, platform::kCsidlDesktopDirectory, platform::kCsidlPrograms);
    const bool machine = removeShortcutsIn(product, platform::kCsidlCommonDesktopDirectory,
                                           platform::kCsidlCommonPrograms);
    return user && machine;
}

bool removeRegistryKeys(const ProductDescription& product) {
    char applicationKey[kPathBufferSize];
    char uninstallKey[kPathBufferSize];
    char documentKey[kPathBufferSize];
    char iconKey[kPathBufferSize];
    const bool hasDocument = product.documentProgId[0] != '\0';
    if (!productKeys(product, applicationKey, uninstallKey) ||
        !copyText(documentKey, sizeof documentKey, "SOFTWARE\\Classes\\") ||
        !appendText(documentKey, sizeof documentKey, product.documentProgId) ||
        !joinPath(iconKey, sizeof iconKey, documentKey, "DefaultIcon", platform::isDbcsLeadByte)) {
        return false;
    }
    bool removed = true;
    const platform::RegistryRoot roots[] = {platform::kHkeyLocalMachine,
                                            platform::kHkeyCurrentUser};
    for (platform::RegistryRoot root : roots) {
        removed = removeKey(root, uninstallKey) && removed;
        removed = removeKey(root, applicationKey) && removed;
        if (hasDocument) {
            removed = removeKey(root, iconKey) && removed;
            removed = removeKey(root, documentKey) && removed;
        }
    }
    return removed;
}
