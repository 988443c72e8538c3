// Finds the command-line tail: the process command line without the
// program's own name and the blanks after it.
#pragma once

const char* commandLineTail(const char* commandLine);
