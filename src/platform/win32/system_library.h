// Functions of advapi32, shell32 and ole32, looked up on first use. Only
// install mode needs them; extract-and-launch mode then never pays for
// loading the shell and COM, which is a good part of a small run's time.
#pragma once

#include <string.h>
#include <windows.h>

namespace platform::win32 {

// The named function of a DLL from the system directory, loaded once and
// kept for the life of the process; null when either cannot be had.
FARPROC systemProcedure(const char* library, const char* name);

template <typename Function> Function systemFunction(const char* library, const char* name) {
    const FARPROC found = systemProcedure(library, name);
    Function function = NULL;
    // Function pointers of different types cannot be cast into each other
    // without a warning; their bits can be copied.
    memcpy(&function, &found, sizeof function);
    return function;
}

} // namespace platform::win32
