// Telling a symbolic link or a junction from the file or folder it leads to.
#include "platform/platform.h"

#include <windows.h>

#include "common/character_walk.h"
#include "platform/win32/system_library.h"

namespace platform::win32 {

namespace {

typedef DWORD(WINAPI* GetFinalPathFunction)(HANDLE, LPSTR, DWORD, DWORD);

// Where the file system really puts `path`, links resolved, into `out`
// (MAX_PATH * 2 bytes); false when it cannot say.
bool finalPath(GetFinalPathFunction getFinalPath, const char* path, char* out, DWORD size) {
    // No access asked: this only looks. Backup semantics opens a folder.
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD length = getFinalPath(file, out, size, 0);
    CloseHandle(file);
    return length != 0 && length < size;
}

} // namespace

bool isLink(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    // Windows marks symbolic links and junctions as reparse points, and Wine
    // marks a folder that is a link on the host.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return true;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    // Wine marks no file that is a link on the host: such a file resolves to
    // a place other than its folder's place and its own name. (Vista and
    // later; older systems are judged by the attribute alone.)
    const GetFinalPathFunction getFinalPath =
        systemFunction<GetFinalPathFunction>("kernel32.dll", "GetFinalPathNameByHandleA");
    const size_t separator = lastBackslash(path, platform::isDbcsLeadByte);
    if (getFinalPath == NULL || separator == kNoBackslash || separator >= MAX_PATH) {
        return false;
    }
    char folder[MAX_PATH];
    memcpy(folder, path, separator);
    folder[separator] = '\0';
    char resolvedFolder[MAX_PATH * 2];
    char resolvedFile[MAX_PATH * 2];
    if (!finalPath(getFinalPath, separator == 0 ? "\\" : folder, resolvedFolder,
                   sizeof resolvedFolder) ||
        !finalPath(getFinalPath, path, resolvedFile, sizeof resolvedFile)) {
        return false;
    }
    const size_t folderLength = lstrlenA(resolvedFolder);
    // A drive root comes back with its backslash, any other folder without.
    const size_t nameAt = folderLength > 0 && resolvedFolder[folderLength - 1] == '\\'
                              ? folderLength
                              : folderLength + 1;
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, resolvedFolder,
                          static_cast<int>(folderLength), resolvedFile,
                          static_cast<int>(folderLength)) != CSTR_EQUAL ||
           lstrlenA(resolvedFile) <= static_cast<int>(nameAt) ||
           CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, resolvedFile + nameAt, -1,
                          path + separator + 1, -1) != CSTR_EQUAL;
}

} // namespace platform::win32
