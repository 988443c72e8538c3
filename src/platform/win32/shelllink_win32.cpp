// COM and the shell's link object. ShellLink is the IShellLinkA pointer and
// PersistFile the IPersistFile pointer of the same object.
#include "platform/platform.h"
#include "platform/win32/system_library.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <windows.h>

static_assert(sizeof(WCHAR) == sizeof(uint16_t), "link paths are passed as UTF-16 units");

namespace platform::win32 {

namespace {

IShellLinkA* toWin32(ShellLink link) {
    return reinterpret_cast<IShellLinkA*>(link);
}

IPersistFile* toWin32(PersistFile persist) {
    return reinterpret_cast<IPersistFile*>(persist);
}

typedef HRESULT(WINAPI* CoInitializeFunction)(LPVOID);
typedef HRESULT(WINAPI* CoCreateInstanceFunction)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);

} // namespace

void comInitialize() {
    // S_FALSE (already initialised) is as good as S_OK; a thread in another
    // apartment model still gets in-process objects.
    const CoInitializeFunction initialize =
        systemFunction<CoInitializeFunction>("ole32.dll", "CoInitialize");
    if (initialize != NULL) {
        (void)initialize(NULL);
    }
}

long createShellLink(ShellLink* link) {
    *link = NULL;
    IShellLinkA* created = NULL;
    const CoCreateInstanceFunction create =
        systemFunction<CoCreateInstanceFunction>("ole32.dll", "CoCreateInstance");
    if (create == NULL) {
        return REGDB_E_CLASSNOTREG;
    }
    HRESULT result = create(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                            reinterpret_cast<void**>(&created));
    if (SUCCEEDED(result) && created != NULL) {
        *link = reinterpret_cast<ShellLink>(created);
    }
    return result;
}

long shellLinkSetPath(ShellLink link, const char* path) {
    return toWin32(link)->SetPath(path);
}

long shellLinkSetDescription(ShellLink link, const char* description) {
    return toWin32(link)->SetDescription(description);
}

long shellLinkQueryPersistFile(ShellLink link, PersistFile* persist) {
    *persist = NULL;
    IPersistFile* queried = NULL;
    HRESULT result =
        toWin32(link)->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&queried));
    if (SUCCEEDED(result) && queried != NULL) {
        *persist = reinterpret_cast<PersistFile>(queried);
    }
    return result;
}

void shellLinkRelease(ShellLink link) {
    if (link != NULL) {
        toWin32(link)->Release();
    }
}

long persistFileSave(PersistFile persist, const uint16_t* path, bool remember) {
    return toWin32(persist)->Save(reinterpret_cast<LPCOLESTR>(path), remember ? TRUE : FALSE);
}

void persistFileRelease(PersistFile persist) {
    if (persist != NULL) {
        toWin32(persist)->Release();
    }
}

int multiByteToWideChar(const char* text, uint16_t* out, int outLength) {
    return MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<LPWSTR>(out), outLength);
}

} // namespace platform::win32
