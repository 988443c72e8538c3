/* Starts one program with an exact command line and exits with its exit
 * code. Usage: launch COMMAND-LINE-FILE
 *
 * The command line is read from a file, byte for byte, because anything
 * passed as an argument would be split and quoted again on its way through
 * wine and the C runtime, and the stub parses its command line itself. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

/* Exit codes of the launcher itself, above every code the stub returns. */
enum { kUsage = 101, kCommandFile = 102, kCreateProcess = 103, kWait = 104 };

/* The longest command line CreateProcessA accepts is 32767 characters. */
static char commandLine[32768];

static int readCommandLine(const char* path) {
    FILE* file = fopen(path, "rb");
    size_t length;
    if (file == NULL) {
        return 0;
    }
    length = fread(commandLine, 1, sizeof commandLine - 1, file);
    /* A file that fills the whole buffer may have been cut: refuse it. */
    if (ferror(file) || length == sizeof commandLine - 1 || length == 0) {
        fclose(file);
        return 0;
    }
    fclose(file);
    commandLine[length] = '\0';
    return strlen(commandLine) == length; /* no zero byte inside */
}

int main(int argc, char** argv) {
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    DWORD exitCode = 0;

    if (argc != 2) {
        fputs("usage: launch COMMAND-LINE-FILE\n", stderr);
        return kUsage;
    }
    if (!readCommandLine(argv[1])) {
        fprintf(stderr, "launch: cannot read a command line from %s\n", argv[1]);
        return kCommandFile;
    }
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    memset(&process, 0, sizeof process);
    /* No application name: the program is the first word of the command
     * line, exactly as when a user or a shell starts it. */
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "launch: CreateProcessA failed (%lu)\n", (unsigned long)GetLastError());
        return kCreateProcess;
    }
    CloseHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.hProcess, &exitCode)) {
        CloseHandle(process.hProcess);
        return kWait;
    }
    CloseHandle(process.hProcess);
    return (int)exitCode;
}
