#include "app/entry.h"

#include "app/command_line.h"
#include "app/run_main.h"

int vemsetupMain(const char* commandLine) {
    return runMain(commandLineTail(commandLine));
}
