/* Demo stand-in for the application that the demo payload installs. */
#include <stdio.h>

int main(int argc, char** argv) {
    fputs("Vemlo Reader (demo): ", stdout);
    puts(argc > 1 ? argv[1] : "no document");
    return 0;
}
