// Opening a file to be rewritten from its start.
#pragma once

#include <windows.h>

namespace platform::win32 {

// CreateFileA with CREATE_ALWAYS, less the truncation of a file that is
// empty already (as the reserved temporary files are): truncating it is
// still work for the file system, and on Linux under Wine it makes ext4
// flush the file at close. Any other file is emptied, as CREATE_ALWAYS
// would. INVALID_HANDLE_VALUE on failure.
HANDLE openForRewrite(const char* path, DWORD access, DWORD share);

} // namespace platform::win32
