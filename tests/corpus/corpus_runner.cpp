// The stub's main sequence with its payload read from a file instead of its
// resource, so that one build can run every corpus file as the stub would.
// Launches are only logged: nothing a payload holds is ever started.
// Usage: vemsetup_corpus_runner PAYLOAD [COMMAND-LINE-TAIL]
#include "app/run_main.h"
#include "fake_platform.h"
#include "temp_dir.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    fake::reset();
    fake::setResource(readBytes(argv[1]));
    return runMain(argc > 2 ? argv[2] : "");
}
