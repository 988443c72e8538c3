/* Demo stand-in for the uninstaller that the demo payload installs. */
#include <stdio.h>

int main(void) {
    puts("Vemlo Reader uninstaller (demo): nothing to remove.");
    return 0;
}
