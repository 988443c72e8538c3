#include "app/install_target.h"

#include "common/bounded_text.h"
#include "platform/platform.h"
#include "system/directory_utils.h"

namespace {

// Registration appends "\Vemlo Reader.exe" (17 characters) to the target,
// and every path must stay within 259 characters.
constexpr size_t kMaxTargetLength = 242;

bool targetFits(const char* target) {
    size_t length = boundedLength(target, kPathBufferSize);
    if (endsWithBackslash(target, platform::isDbcsLeadByte)) {
        --length;
    }
    return length <= kMaxTargetLength;
}

// An empty target would be joined to "\Vemlo Reader.exe": the root of the
// current drive.
bool isBlank(const char* text) {
    for (; *text != '\0'; ++text) {
        if (static_cast<unsigned char>(*text) > ' ') {
            return false;
        }
    }
    return true;
}

// "C:\Apps" and "\\server\share\Apps" name one place whatever the current
// directory is; "Apps", "\Apps" and "C:Apps" do not.
bool isFullyQualified(const char* path) {
    const bool driveLetter =
        (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
    return (path[0] == '\\' && path[1] == '\\') ||
           (driveLetter && path[1] == ':' && path[2] == '\\');
}

bool makeFullPath(char* target) {
    char full[kPathBufferSize];
    clearBuffer(full, sizeof full);
    const uint32_t length = platform::getFullPathName(target, sizeof full, full);
    return length != 0 && length < sizeof full && copyText(target, kPathBufferSize, full);
}

} // namespace

bool prepareInstallTarget(char* target, bool targetTooLong) {
    if (targetTooLong || isBlank(target)) {
        return false;
    }
    if (!isFullyQualified(target) && !makeFullPath(target)) {
        return false;
    }
    if (!targetFits(target)) {
        return false;
    }
    return directoryExists(target) || createDirectoryPath(target);
}
