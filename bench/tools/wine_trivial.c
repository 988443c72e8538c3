/* A Windows program that does nothing: its run time under Wine is Wine's
 * own start-up and shut-down, which the benchmark subtracts from the
 * installers' times. A GUI-subsystem program like the stub, with the same
 * C runtime. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    return 0;
}
