// The main sequence: parse, choose the mode, run its steps in order and
// return the exit code of the first that fails.
#pragma once

#include "common/exit_code.h"

ExitCode runMain(const char* tail);
