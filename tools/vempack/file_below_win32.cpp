// Extraction on Windows: each level made and checked in turn, and never
// written through a symbolic link or junction.
#include "file_io.h"

#include "error.h"
#include "host_files_win32.h"

#include <windows.h>

namespace vempack {
namespace {

std::string quotedPath(const std::string& path) {
    return "'" + path + "'";
}

std::string lastError() {
    return "Windows error " + std::to_string(::GetLastError());
}

// A level that exists must be what it claims, and no link.
void checkLevel(const std::string& path, bool folder) {
    const DWORD attributes = ::GetFileAttributesW(wideText(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (folder) {
            fail("cannot open the directory " + quotedPath(path) + ": " + lastError());
        }
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        fail("refusing to write through the link " + quotedPath(path));
    }
    if (((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder) {
        fail("refusing to write " + quotedPath(path) + ", which is not a " +
             (folder ? "directory" : "regular file"));
    }
}

} // namespace

void writeFileBelow(const std::string& directory, const std::vector<std::string>& levels,
                    const Bytes& bytes) {
    const std::string target = pathBelow(directory, levels);
    checkLevel(directory, true);
    std::string at = directory;
    for (std::size_t i = 0; i + 1 < levels.size(); ++i) {
        at += "\\" + levels[i];
        if (!::CreateDirectoryW(wideText(at).c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            fail("cannot create the directory " + quotedPath(at) + ": " + lastError());
        }
        checkLevel(at, true);
    }
    const std::string file = at + "\\" + levels.back();
    checkLevel(file, false);
    // The link itself, were one planted since the check, not its target.
    const HANDLE handle =
        ::CreateFileW(wideText(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        fail("cannot create " + quotedPath(target) + ": " + lastError());
    }
    std::size_t done = 0;
    bool written = true;
    while (written && done < bytes.size()) {
        const DWORD piece =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        written =
            ::WriteFile(handle, bytes.data() + done, piece, &wrote, nullptr) && wrote == piece;
        done += wrote;
    }
    const bool closed = ::CloseHandle(handle) != 0;
    if (!written || !closed) {
        fail("cannot write " + quotedPath(target) + ": " + lastError());
    }
}

} // namespace vempack
