// Process start-up helpers and process creation on Win32.
#include "platform/platform.h"

#include <string.h>
#include <windows.h>

namespace platform::win32 {

bool isDbcsLeadByte(unsigned char c) {
    return IsDBCSLeadByte(c) != FALSE;
}

bool createProcess(const char* applicationName) {
    // Every field but the size stays zero: default window, default desktop,
    // no redirected standard handles. The size is 68 bytes on 32-bit Windows.
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof(process));
    // The started program outlives us; its handles are left to process exit
    // rather than closed, since nothing here waits on or talks to it.
    return CreateProcessA(applicationName, NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                          &process) != FALSE;
}

} // namespace platform::win32
