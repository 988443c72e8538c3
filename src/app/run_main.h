// The main sequence: parse, choose the mode, run its steps in order and
// return the exit code of the first that fails.
#pragma once

#include "common/exit_code.h"

#include <stdint.h>

// `entryErrorMode` is the error mode that the started entry inherits: the
// one the process had before it set its own.
ExitCode runMain(const char* tail, uint32_t entryErrorMode = 0);
