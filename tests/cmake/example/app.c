/* The example's program: prints the DLL's greeting and the data file that
 * lies in data\ beside the program; exits with 0 when both are there. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

__declspec(dllimport) const char* greeting(void);

int main(void) {
    char path[MAX_PATH];
    char line[128] = "";
    FILE* file;
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    char* slash = strrchr(path, '\\');
    if (length == 0 || length >= sizeof path || slash == NULL ||
        (size_t)(slash - path) + sizeof "\\data\\greeting.txt" > sizeof path) {
        return 2;
    }
    strcpy(slash, "\\data\\greeting.txt");
    file = fopen(path, "r");
    if (file == NULL || fgets(line, sizeof line, file) == NULL) {
        return 3;
    }
    fclose(file);
    printf("%s; %s", greeting(), line);
    return 0;
}
