#include "app/run_main.h"

#include "app/deployment_command_line.h"
#include "app/description_resource.h"
#include "app/install_target.h"
#include "app/run_options.h"
#include "common/bounded_text.h"
#include "payload/busy_retry.h"
#include "payload/lzma_stage.h"
#include "payload/package_archive.h"
#include "payload/temp_files.h"
#include "platform/platform.h"
#include "system/product_registration.h"
#include "system/registration.h"

namespace {

// Starts the designated entry with its path in quotes as the command line,
// so that a blank in the path does not split it into arguments, and with the
// error mode it would have had without us (it is inherited). Process
// creation starts programs only: one that needs elevation cannot be created
// by this unelevated process, and a file that is no program (an .msi, a
// .bat) cannot be created at all. The shell starts both the way Explorer
// would, asking the user for consent where elevation is needed.
bool startEntry(const char* path, uint32_t errorMode) {
    char commandLine[kPathBufferSize + 2];
    if (!copyQuoted(commandLine, sizeof commandLine, path)) {
        return false;
    }
    platform::setErrorMode(errorMode);
    if (platform::createProcess(path, commandLine)) {
        return true;
    }
    const uint32_t error = platform::getLastError();
    return (error == platform::kErrorElevationRequired || error == platform::kErrorBadExeFormat) &&
           platform::shellExecute(path);
}

// Steps shared by both modes: the resource into the first temporary file,
// the second reserved, the payload's decode into the second started, the
// first deleted.
ExitCode preparePayload(ArchiveFile* file, char* tempDirectory) {
    char firstTempFile[kPathBufferSize];
    platform::ResourceBytes payload = {nullptr, 0};
    if (!getTempDirectory(tempDirectory)) {
        return kExitTempDirectory;
    }
    if (!makeTempFileName(tempDirectory, firstTempFile)) {
        return kExitTempFileName;
    }
    if (!writePayloadResource(firstTempFile, &payload)) {
        return kExitTempFileCreate;
    }
    if (!makeTempFileName(tempDirectory, file->path)) {
        return kExitTempFileName;
    }
    // The decode goes on beside what follows; the first file is not read.
    startPayloadDecode(file, payload);
    deleteFileWhenFree(firstTempFile);
    return kExitSuccess;
}

// `product` is null for a setup without a description.
ExitCode installFrom(ArchiveFile* file, const RunOptions& options,
                     const ProductDescription* product, bool machineWide) {
    char unusedLaunchPath[kPathBufferSize];
    const ExitCode result =
        unpackPackage(file, options.targetDirectory, UnpackMode::kInstall, unusedLaunchPath);
    releaseDecodedArchive(&file->archive);
    if (result != kExitSuccess) {
        return result;
    }
    const ShortcutRequest shortcuts = {options.desktopShortcut, options.startMenuShortcuts};
    if (product != nullptr) {
        return registerProduct(options.targetDirectory, shortcuts, *product, machineWide);
    }
    return registerApplication(options.targetDirectory, shortcuts);
}

// Deployment tools take 0 for success; a described setup may ask for 1.
ExitCode outcome(ExitCode result, const ProductDescription* product) {
    if (product == nullptr || result != kExitSuccess ||
        (product->flags & kDescriptionSuccessCodeOne) != 0) {
        return result;
    }
    return kExitDescribedSuccess;
}

ExitCode extractAndLaunchFrom(ArchiveFile* file, const char* tempDirectory, RunOptions* options,
                              uint32_t entryErrorMode) {
    char workDirectory[kPathBufferSize];
    bool created = false;
    if (!createWorkDirectory(tempDirectory, workDirectory, &created)) {
        return kExitTempFileName;
    }
    // A directory this run did not make may belong to someone else: nothing
    // is unpacked into it, which ends the run as a failed entry output would.
    if (!created) {
        return kExitEntryOutput;
    }
    copyText(options->targetDirectory, kPathBufferSize, workDirectory);
    char launchPath[kPathBufferSize];
    const ExitCode result =
        unpackPackage(file, options->targetDirectory, UnpackMode::kExtractAndLaunch, launchPath);
    // The started program gets the memory the archive took.
    releaseDecodedArchive(&file->archive);
    if (result != kExitSuccess) {
        return result;
    }
    // An archive that designates nothing is unpacked and nothing is started.
    if (launchPath[0] != '\0' && !startEntry(launchPath, entryErrorMode)) {
        return kExitEntryStart;
    }
    return kExitSuccess;
}

} // namespace

ExitCode runMain(const char* tail, uint32_t entryErrorMode) {
    // Read before anything is written: a broken description writes nothing.
    ProductDescription description;
    const DescriptionStatus status = loadProductDescription(&description);
    if (status == DescriptionStatus::kMalformed) {
        return kExitArchiveCorrupt;
    }
    const ProductDescription* product =
        status == DescriptionStatus::kPresent ? &description : nullptr;
    bool targetTooLong = false;
    bool machineWide = false;
    RunOptions options = product != nullptr ? parseDescribedRunOptions(tail, product->product,
                                                                       &machineWide, &targetTooLong)
                                            : parseRunOptions(tail, &targetTooLong);
    if (options.installMode && !prepareInstallTarget(options.targetDirectory, targetTooLong)) {
        return kExitTargetDirectory;
    }
    char tempDirectory[kPathBufferSize];
    ArchiveFile file = {};
    ExitCode result = preparePayload(&file, tempDirectory);
    if (result == kExitSuccess) {
        result = options.installMode
                     ? installFrom(&file, options, product, machineWide)
                     : extractAndLaunchFrom(&file, tempDirectory, &options, entryErrorMode);
        result = outcome(result, product);
    }
    // Wherever the run ended, the archive file is whole (or emptied) before
    // it does, as a run that writes it at once would leave it.
    finishArchiveFile(&file);
    releaseDecodedArchive(&file.archive);
    return result;
}
