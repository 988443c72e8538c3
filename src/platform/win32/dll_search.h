// Setup programs are started from download folders, where a stranger's
// file named like a system DLL may lie next to us: DLLs loaded by name must
// come from the system directory, never from ours or the current one.
#pragma once

namespace platform::win32 {

// Called first thing by each program's entry.
void hardenDllSearch();

} // namespace platform::win32
