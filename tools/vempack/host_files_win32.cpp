// Windows versions of the host file calls.
#include "host_files.h"

#include "error.h"
#include "host_files_win32.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace vempack {

std::wstring wideText(const std::string& utf8) {
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    }
    return wide;
}

std::string utf8Text(const std::wstring& wide) {
    const int size = static_cast<int>(wide.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
    }
    return text;
}

std::vector<std::string> commandLineArguments(int, char**) {
    // Messages hold UTF-8 too.
    ::SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        args.push_back(utf8Text(wide[i]));
    }
    ::LocalFree(wide);
    return args;
}

int createExclusive(const std::string& path) {
    return ::_wopen(wideText(path).c_str(),
                    _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}

void writeWhole(int fd, const Bytes& bytes, const std::string& what) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const unsigned piece =
            static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        const int n = ::_write(fd, bytes.data() + done, piece);
        if (n <= 0) {
            fail("cannot write " + what + ": " + std::strerror(errno));
        }
        done += static_cast<std::size_t>(n);
    }
}

bool closeFile(int fd) {
    return ::_close(fd) == 0;
}

unsigned long currentProcessId() {
    return ::GetCurrentProcessId();
}

bool stderrIsTerminal() {
    return ::_isatty(::_fileno(stderr)) != 0;
}

std::string executablePath() {
    wchar_t path[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, 32768);
    return length == 0 || length >= 32768 ? std::string() : utf8Text(std::wstring(path, length));
}

bool stubBesideExecutable() {
    return true;
}

} // namespace vempack
