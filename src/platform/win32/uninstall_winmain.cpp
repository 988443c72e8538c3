// Process entry of the uninstaller: narrows where DLLs may come from, then
// hands the command line to the logic and exits with its outcome.
#include "platform/win32/dll_search.h"
#include "uninstall/uninstall.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    platform::win32::hardenDllSearch();
    ExitProcess(static_cast<UINT>(uninstallMain(GetCommandLineA())));
}
