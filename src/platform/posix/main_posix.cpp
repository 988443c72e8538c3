// The process entry on POSIX: the arguments are joined with single blanks
// into one command line, as Windows hands a program its command line, so a
// quoted target is written with its quotes: vemsetup '"/tmp/apps"' /d
#include <stdlib.h>
#include <string.h>

#include "app/entry.h"

namespace {

char* append(char* at, const char* text) {
    const size_t length = strlen(text);
    memcpy(at, text, length);
    return at + length;
}

} // namespace

int main(int argc, char** argv) {
    const char* program = argc > 0 ? argv[0] : "vemsetup";
    size_t length = strlen(program) + 3;
    for (int i = 1; i < argc; ++i) {
        length += strlen(argv[i]) + 1;
    }
    char* commandLine = static_cast<char*>(malloc(length));
    if (commandLine == nullptr) {
        abort(); // a few bytes short: nothing at all can run
    }
    // The program's own name is quoted, so that blanks in it do not leak
    // into the tail.
    char* at = append(commandLine, "\"");
    at = append(at, program);
    at = append(at, "\"");
    for (int i = 1; i < argc; ++i) {
        at = append(at, " ");
        at = append(at, argv[i]);
    }
    *at = '\0';
    const int result = vemsetupMain(commandLine);
    free(commandLine);
    return result;
}
