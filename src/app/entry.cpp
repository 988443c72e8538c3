#include "app/entry.h"

#include "app/command_line.h"
#include "app/run_main.h"
#include "platform/platform.h"

int vemsetupMain(const char* commandLine) {
    // First of all: a lookup on a drive without a medium (a card reader, a
    // floppy letter in a path) would otherwise open a "There is no disk in
    // the drive" box, and a silent run would wait for a click forever. The
    // entry started at the end gets the mode the process was given back.
    const uint32_t entryErrorMode =
        platform::setErrorMode(platform::kSemFailCriticalErrors | platform::kSemNoOpenFileErrorBox);
    return runMain(commandLineTail(commandLine), entryErrorMode);
}
