// Process start-up helpers and process creation on Win32.
#include "platform/platform.h"
#include "platform/win32/system_library.h"

#include <shellapi.h>
#include <string.h>
#include <windows.h>

namespace platform::win32 {

namespace {

typedef BOOL(WINAPI* ShellExecuteExFunction)(SHELLEXECUTEINFOA*);

} // namespace

// Every path walk asks for each of its bytes; no code page has a lead
// byte below 0x80, so those are answered without a call.
bool isDbcsLeadByte(unsigned char c) {
    return c >= 0x80 && IsDBCSLeadByte(c) != FALSE;
}

uint32_t setErrorMode(uint32_t mode) {
    return SetErrorMode(mode);
}

bool createProcess(const char* applicationName, const char* commandLine) {
    // The DLL directory set at start-up would pass on to the child; the
    // entry gets the search order it has when the user starts it.
    SetDllDirectoryA(NULL);
    // CreateProcessA may write to its command line, so it gets a copy. The
    // caller's line is a quoted path: 262 bytes at most.
    char line[MAX_PATH + 2];
    const size_t length = strlen(commandLine);
    if (length >= sizeof(line)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    memcpy(line, commandLine, length + 1);
    // Every field but the size stays zero: default window, default desktop,
    // no redirected standard handles. The size is 68 bytes on 32-bit Windows.
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof(process));
    // The started program outlives us; its handles are left to process exit
    // rather than closed, since nothing here waits on or talks to it.
    return CreateProcessA(applicationName, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                          &process) != FALSE;
}

bool shellExecute(const char* path) {
    // As for process creation: nothing the shell starts inherits our DLL
    // directory.
    SetDllDirectoryA(NULL);
    const ShellExecuteExFunction execute =
        systemFunction<ShellExecuteExFunction>("shell32.dll", "ShellExecuteExA");
    if (execute == NULL) {
        return false;
    }
    // The shell may hand the start to COM objects.
    comInitialize();
    SHELLEXECUTEINFOA info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    // No error box of the shell's own, and the start is complete before
    // the call returns, since the process ends right after it.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpFile = path;
    info.nShow = SW_SHOWNORMAL;
    return execute(&info) != FALSE;
}

} // namespace platform::win32
