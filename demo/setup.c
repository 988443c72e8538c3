/* Demo setup program, the designated entry of the demo payload. It leaves a
 * marker file "Setup.ran" beside its own executable, so a test can see that
 * the stub started it and where. */
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#define PATH_SEPARATOR '\\'
#else
#include <unistd.h>
#define PATH_SEPARATOR '/'
#endif

#define PATH_CAPACITY 4096

static const char kMarkerName[] = "Setup.ran";

/* Writes the full path of this executable into path; 0 on failure. */
static int ownPath(char* path, size_t capacity) {
#ifdef _WIN32
    DWORD length = GetModuleFileNameA(NULL, path, (DWORD)capacity);
    return length > 0 && length < capacity;
#else
    ssize_t length = readlink("/proc/self/exe", path, capacity - 1);
    if (length <= 0) {
        return 0;
    }
    path[length] = '\0';
    return 1;
#endif
}

int main(void) {
    char path[PATH_CAPACITY];
    char* separator;
    FILE* marker;

    if (!ownPath(path, sizeof path)) {
        return 2;
    }
    separator = strrchr(path, PATH_SEPARATOR);
    if (separator == NULL || (size_t)(separator + 1 - path) + sizeof kMarkerName > sizeof path) {
        return 3;
    }
    memcpy(separator + 1, kMarkerName, sizeof kMarkerName);

    marker = fopen(path, "wb");
    if (marker == NULL) {
        return 4;
    }
    fputs("Vemlo Reader demo setup ran.\n", marker);
    return fclose(marker) == 0 ? 0 : 5;
}
