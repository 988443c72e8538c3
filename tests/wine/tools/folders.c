/* Prints the folders the stub works in, as the stub finds them, one per
 * line: "temp=", "desktop=" and "programs=" followed by the Windows path. */
#include <shlobj.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

static int printFolder(const char* label, int csidl) {
    char path[MAX_PATH];
    LPITEMIDLIST items = NULL;
    int found;
    memset(path, 0, sizeof path);
    if (FAILED(SHGetSpecialFolderLocation(NULL, csidl, &items)) || items == NULL) {
        return 0;
    }
    found = SHGetPathFromIDListA(items, path) != FALSE;
    CoTaskMemFree(items);
    if (found) {
        printf("%s=%s\n", label, path);
    }
    return found;
}

int main(void) {
    char temp[MAX_PATH + 1];
    DWORD length;
    memset(temp, 0, sizeof temp);
    length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) {
        return 1;
    }
    printf("temp=%s\n", temp);
    if (!printFolder("desktop", CSIDL_DESKTOPDIRECTORY) ||
        !printFolder("programs", CSIDL_PROGRAMS)) {
        return 1;
    }
    return fflush(stdout) == 0 ? 0 : 1;
}
