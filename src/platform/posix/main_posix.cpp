// The process entry on POSIX: the arguments are joined with single blanks
// into one command line, as Windows hands a program its command line, so a
// quoted target is written with its quotes: vemsetup '"/tmp/apps"' /d
#include <string>

#include "app/entry.h"

int main(int argc, char** argv) {
    // The program's own name is quoted, so that blanks in it do not leak
    // into the tail.
    std::string commandLine = std::string("\"") + (argc > 0 ? argv[0] : "vemsetup") + "\"";
    for (int i = 1; i < argc; ++i) {
        commandLine += std::string(" ") + argv[i];
    }
    return vemsetupMain(commandLine.c_str());
}
