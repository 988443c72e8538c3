// Temporary names, plain file handles, directories and searches on Win32.
#include "platform/platform.h"

#include <string.h>
#include <windows.h>

#include "platform/win32/open_rewrite.h"

namespace platform::win32 {

namespace {

// Our null handle is Win32's INVALID_HANDLE_VALUE. CreateFileA and
// FindFirstFileA never hand out a null handle, so null stays free for
// "no handle".
HANDLE toWin32(FileHandle file) {
    return file == NULL ? INVALID_HANDLE_VALUE : file;
}

FileHandle fromWin32(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? NULL : static_cast<FileHandle>(handle);
}

} // namespace

uint32_t getTempPath(uint32_t bufferLength, char* buffer) {
    // Newer Windows gives SYSTEM a temporary folder of its own that other
    // users cannot enter (C:\Windows\SystemTemp) through GetTempPath2A,
    // and everyone else what GetTempPathA gives. Looked up at run time, so
    // that older systems still start.
    typedef DWORD(WINAPI * GetTempPathFunction)(DWORD, LPSTR);
    const FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTempPath2A");
    GetTempPathFunction getTempPath2 = NULL;
    memcpy(&getTempPath2, &found, sizeof getTempPath2);
    DWORD length = getTempPath2 != NULL ? getTempPath2(bufferLength, buffer)
                                        : GetTempPathA(bufferLength, buffer);
    // A buffer that is too small gets nothing useful and the call returns the
    // size it would need, terminator included: report that as a failure.
    if (length >= bufferLength) {
        if (bufferLength > 0) {
            buffer[0] = '\0';
        }
        return 0;
    }
    return length;
}

uint32_t getTempFileName(const char* directory, const char* prefix, uint32_t unique, char* out) {
    return GetTempFileNameA(directory, prefix, unique, out);
}

FileHandle createFileForWriting(const char* path) {
    return fromWin32(openForRewrite(path, GENERIC_WRITE, 0));
}

bool writeFile(FileHandle file, const void* data, uint32_t size, uint32_t* written) {
    if (written != NULL) {
        *written = 0;
    }
    if (file == NULL) {
        return false;
    }
    // Without an OVERLAPPED record, older Windows requires the count pointer.
    DWORD count = 0;
    BOOL ok = WriteFile(toWin32(file), data, size, &count, NULL);
    if (written != NULL) {
        *written = count;
    }
    return ok != FALSE;
}

bool closeFile(FileHandle file) {
    if (file == NULL) {
        return false;
    }
    return CloseHandle(toWin32(file)) != FALSE;
}

bool deleteFile(const char* path) {
    return DeleteFileA(path) != FALSE;
}

bool createDirectory(const char* path) {
    return CreateDirectoryA(path, NULL) != FALSE;
}

uint32_t getFileAttributes(const char* path) {
    return GetFileAttributesA(path);
}

uint32_t getFullPathName(const char* path, uint32_t bufferLength, char* buffer) {
    return GetFullPathNameA(path, bufferLength, buffer, NULL);
}

bool moveFileReplacing(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != FALSE;
}

FindHandle findFirstFile(const char* pattern) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    return find == INVALID_HANDLE_VALUE ? NULL : static_cast<FindHandle>(find);
}

bool findClose(FindHandle find) {
    if (find == NULL) {
        return false;
    }
    return FindClose(find) != FALSE;
}

uint32_t getLastError() {
    return GetLastError();
}

} // namespace platform::win32
