// Process entry of the Windows program: narrows where DLLs may come from,
// then hands the command line to the logic and exits with its result.
#include "app/entry.h"

#include "platform/win32/dll_search.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    platform::win32::hardenDllSearch();
    // The full command line, program name included: the logic finds the
    // tail itself, with the quoting rules of the ANSI code page.
    ExitProcess(static_cast<UINT>(vemsetupMain(GetCommandLineA())));
}
