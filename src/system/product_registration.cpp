#include "system/product_registration.h"

#include <string.h>

#include "common/bounded_text.h"
#include "platform/platform.h"
#include "system/directory_utils.h"
#include "system/registry_access.h"
#include "system/shortcuts.h"

namespace {

constexpr uint32_t kInstallPathPauseMilliseconds = 500;

// The paths registration records, each in 260 bytes.
struct ProductPaths {
    char target[kPathBufferSize];
    char program[kPathBufferSize];
    char uninstaller[kPathBufferSize];
    char applicationKey[kPathBufferSize];
    char uninstallKey[kPathBufferSize];
};

bool composePaths(const char* targetDirectory, const ProductDescription& product,
                  ProductPaths* paths) {
    return joinPath(paths->target, kPathBufferSize, targetDirectory, "",
                    platform::isDbcsLeadByte) &&
           joinPath(paths->program, kPathBufferSize, paths->target, product.program,
                    platform::isDbcsLeadByte) &&
           joinPath(paths->uninstaller, kPathBufferSize, paths->target, kProductUninstallerFileName,
                    platform::isDbcsLeadByte) &&
           productKeys(product, paths->applicationKey, paths->uninstallKey);
}

// The type's icon is the program's first one, cleared and set again with a
// notice after each write so that the shell drops what it cached; the
// type's previous owner is remembered unless it is the product already.
void registerDocumentType(const ProductDescription& product, const ProductPaths& paths,
                          platform::RegistryRoot root) {
    char key[kPathBufferSize];
    char icon[kPathBufferSize];
    if (!copyText(key, sizeof key, "SOFTWARE\\Classes\\") ||
        !appendText(key, sizeof key, product.documentProgId) ||
        !appendText(key, sizeof key, "\\DefaultIcon") ||
        !copyText(icon, sizeof icon, paths.program) || !appendText(icon, sizeof icon, ",0")) {
        return;
    }
    writeRegistryValue({root, key, ""}, "");
    platform::changeNotify(platform::kShcneAssocChanged, platform::kShcnfFlush);
    writeRegistryValue({root, key, ""}, icon);
    platform::changeNotify(platform::kShcneAssocChanged, platform::kShcnfFlush);

    char previous[kPathBufferSize];
    clearBuffer(previous, sizeof previous);
    if (!copyText(key, sizeof key, "Software\\Classes\\") ||
        !appendText(key, sizeof key, product.documentExtension)) {
        return;
    }
    readRegistryValue({root, key, ""}, "", previous);
    if (strcmp(previous, product.documentProgId) != 0) {
        writeRegistryValue({root, paths.applicationKey, "strdocument"}, previous);
    }
}

bool shortcutFolder(int csidl, char* folder) {
    clearBuffer(folder, kPathBufferSize);
    return platform::getSpecialFolderPath(csidl, folder) && folder[0] != '\0';
}

ExitCode createProductShortcuts(ShortcutRequest shortcuts, const ProductDescription& product,
                                const ProductPaths& paths, bool machineWide) {
    char folder[kPathBufferSize];
    if (shortcuts.desktop &&
        (!shortcutFolder(machineWide ? platform::kCsidlCommonDesktopDirectory
                                     : platform::kCsidlDesktopDirectory,
                         folder) ||
         !createLink(folder, product.product, paths.program, product.product))) {
        return kExitShortcut;
    }
    if (!shortcuts.startMenu) {
        return kExitSuccess;
    }
    char programs[kPathBufferSize];
    char uninstallLink[kPathBufferSize];
    const bool made =
        shortcutFolder(machineWide ? platform::kCsidlCommonPrograms : platform::kCsidlPrograms,
                       programs) &&
        joinPath(folder, sizeof folder, programs, product.product, platform::isDbcsLeadByte) &&
        copyText(uninstallLink, sizeof uninstallLink, "Uninstall ") &&
        appendText(uninstallLink, sizeof uninstallLink, product.product) &&
        createDirectoryPath(folder) &&
        createLink(folder, product.product, paths.program, product.product) &&
        createLink(folder, uninstallLink, paths.uninstaller, product.product);
    return made ? kExitSuccess : kExitShortcut;
}

// The first value decides the root; the rest must follow it there.
bool writeUninstallEntry(const ProductDescription& product, const ProductPaths& paths,
                         platform::RegistryRoot* root) {
    char command[kPathBufferSize];
    char quiet[kPathBufferSize];
    if (!copyQuoted(command, sizeof command, paths.uninstaller) ||
        !copyText(quiet, sizeof quiet, command) || !appendText(quiet, sizeof quiet, " /S")) {
        return false;
    }
    const char* key = paths.uninstallKey;
    if (*root == platform::kHkeyLocalMachine &&
        !writeRegistryValue({*root, key, "DisplayName"}, product.product)) {
        *root = platform::kHkeyCurrentUser;
    }
    const platform::RegistryRoot r = *root;
    const struct {
        const char* name;
        const char* text;
    } texts[] = {
        {"DisplayName", product.product},  {"DisplayIcon", paths.program},
        {"InstallLocation", paths.target}, {"UninstallString", command},
        {"QuietUninstallString", quiet},   {"UninstallPath", paths.uninstaller},
    };
    for (const auto& text : texts) {
        if (!writeRegistryValue({r, key, text.name}, text.text)) {
            return false;
        }
    }
    if ((product.version[0] != '\0' &&
         !writeRegistryValue({r, key, "DisplayVersion"}, product.version)) ||
        (product.publisher[0] != '\0' &&
         !writeRegistryValue({r, key, "Publisher"}, product.publisher))) {
        return false;
    }
    return writeRegistryDword({r, key, "EstimatedSize"}, product.estimatedSizeKib) &&
           writeRegistryDword({r, key, "NoModify"}, 1) &&
           writeRegistryDword({r, key, "NoRepair"}, 1);
}

} // namespace

bool machineRootWritable() {
    platform::RegistryKey key = nullptr;
    const char* list = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    if (platform::regCreateKey(platform::rootKey(platform::kHkeyLocalMachine), list,
                               platform::kKeySetValue, &key) != 0 ||
        key == nullptr) {
        return false;
    }
    platform::regCloseKey(key);
    return true;
}

bool isMachineWide(InstallScope scope) {
    return scope == InstallScope::kMachine ||
           (scope == InstallScope::kAny && machineRootWritable());
}

bool productKeys(const ProductDescription& product, char* applicationKey, char* uninstallKey) {
    const bool application = copyText(applicationKey, kPathBufferSize, "Software\\") &&
                             (product.publisher[0] == '\0' ||
                              (appendText(applicationKey, kPathBufferSize, product.publisher) &&
                               appendText(applicationKey, kPathBufferSize, "\\"))) &&
                             appendText(applicationKey, kPathBufferSize, product.product);
    return application && copyText(uninstallKey, kPathBufferSize, kUninstallKeyPrefix) &&
           appendText(uninstallKey, kPathBufferSize, product.id);
}

ExitCode registerProduct(const char* targetDirectory, ShortcutRequest shortcuts,
                         const ProductDescription& product, bool machineWide) {
    ProductPaths paths;
    clearBuffer(&paths, sizeof paths);
    if (!composePaths(targetDirectory, product, &paths)) {
        return kExitRegistryWrite;
    }
    platform::RegistryRoot root =
        machineWide ? platform::kHkeyLocalMachine : platform::kHkeyCurrentUser;
    if (product.documentExtension[0] != '\0') {
        registerDocumentType(product, paths, root);
    }
    const ExitCode created = createProductShortcuts(shortcuts, product, paths, machineWide);
    if (created != kExitSuccess) {
        return created;
    }
    if (!writeUninstallEntry(product, paths, &root)) {
        return kExitRegistryWrite;
    }
    platform::sleepMilliseconds(kInstallPathPauseMilliseconds);
    if (!writeRegistryValue({root, paths.applicationKey, "InstallPath"}, paths.target)) {
        return kExitRegistryWrite;
    }
    return kExitSuccess;
}
