#include "payload/temp_files.h"

#include "common/bounded_text.h"
#include "payload/busy_retry.h"
#include "platform/platform.h"

namespace {

// How often the work directory's name may be found taken before the run
// gives up; each time costs one more reserved name.
constexpr int kWorkDirectoryAttempts = 8;

} // namespace

bool getTempDirectory(char* directory) {
    clearBuffer(directory, kPathBufferSize);
    const uint32_t length = platform::getTempPath(kPathBufferSize, directory);
    // A length of 260 or more means the path did not fit; the buffer then
    // holds nothing usable.
    if (length == 0 || length >= kPathBufferSize) {
        clearBuffer(directory, kPathBufferSize);
        return false;
    }
    return true;
}

bool makeTempFileName(const char* directory, char* name) {
    clearBuffer(name, kPathBufferSize);
    // Unique number 0: the platform picks the number and creates the empty
    // file before returning, so no other process can be handed this name.
    if (platform::getTempFileName(directory, kTempPrefix, 0, name) == 0) {
        clearBuffer(name, kPathBufferSize);
        return false;
    }
    return true;
}

bool writePayloadResource(const char* path, platform::ResourceBytes* payload) {
    const platform::ResourceBytes resource =
        platform::loadResource(kPayloadResourceType, kPayloadResourceId);
    *payload = {resource.bytes, 0};
    platform::FileHandle file = platform::createFileForWriting(path);
    if (file == nullptr) {
        return false;
    }
    // A short write is not reported here: the decoder is handed what reached
    // the file, meets a cut stream, and the run ends with the archive error.
    uint32_t written = 0;
    if (resource.bytes != nullptr && resource.size != 0 &&
        platform::writeFile(file, resource.bytes, resource.size, &written)) {
        payload->size = written < resource.size ? written : resource.size;
    }
    platform::closeFile(file);
    return true;
}

bool createWorkDirectory(const char* directory, char* workDirectory, bool* directoryCreated) {
    *directoryCreated = false;
    // The reserving file is replaced by a directory of the same name. In the
    // moment between the two another run's name service may hand out the
    // freed name and create its file there: the name is then theirs, left as
    // it is, and a fresh one is reserved.
    for (int attempt = 0; attempt < kWorkDirectoryAttempts; ++attempt) {
        if (!makeTempFileName(directory, workDirectory)) {
            return false;
        }
        deleteFileWhenFree(workDirectory);
        // Only this run's user, SYSTEM and the administrators may enter it:
        // run as SYSTEM, the temporary directory is one where every user may
        // create files, and no one else must be able to put a file (a DLL)
        // beside the entry that is started from here.
        *directoryCreated =
            retryWhileBusy([&] { return platform::createPrivateDirectory(workDirectory); });
        if (*directoryCreated) {
            return true;
        }
        const uint32_t error = platform::getLastError();
        if (error != platform::kErrorAlreadyExists && error != platform::kErrorFileExists) {
            return true;
        }
    }
    return true;
}
