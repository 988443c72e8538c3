// The POSIX stand-ins for the registry, shell and shell-link operations of
// platform.h, with the same signatures and Win32 status conventions.
//
// Registry: each root is a REGEDIT4 text file under
// $XDG_DATA_HOME/vemsetup/registry/ (default ~/.local/share/...). A store that
// cannot be written refuses keys opened for writing with ERROR_ACCESS_DENIED,
// which is how a user without rights under HKEY_LOCAL_MACHINE looks.
// A .reg file without any write permission bit counts as unwritable even for
// root, as the read-only attribute does on Windows.
//
// Shell: special folders are host directories (the desktop is
// $XDG_DESKTOP_DIR or ~/Desktop; the start-menu programs folder lives under
// $XDG_DATA_HOME/vemsetup). Links are saved as real .lnk files.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

namespace posix {

platform::RegistryKey rootKey(platform::RegistryRoot root);
long regCreateKey(platform::RegistryKey root, const char* subKey, uint32_t access,
                  platform::RegistryKey* key);
long regQueryValue(platform::RegistryKey key, const char* valueName, uint32_t* type,
                   unsigned char* data, uint32_t* size);
long regSetValue(platform::RegistryKey key, const char* valueName, uint32_t type,
                 const unsigned char* data, uint32_t size);
long regCloseKey(platform::RegistryKey key);

bool getSpecialFolderPath(int csidl, char* out);
void changeNotify(int32_t event, uint32_t flags);
void sleepMilliseconds(uint32_t milliseconds);

void comInitialize();
long createShellLink(platform::ShellLink* link);
long shellLinkSetPath(platform::ShellLink link, const char* path);
long shellLinkSetDescription(platform::ShellLink link, const char* description);
long shellLinkQueryPersistFile(platform::ShellLink link, platform::PersistFile* persist);
void shellLinkRelease(platform::ShellLink link);
long persistFileSave(platform::PersistFile persist, const uint16_t* path, bool remember);
void persistFileRelease(platform::PersistFile persist);

} // namespace posix
