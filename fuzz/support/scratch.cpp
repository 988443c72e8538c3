#include "scratch.h"

#include <stdio.h>
#include <stdlib.h>

namespace scratch {

void fail(const char* what, const std::string& detail) {
    fprintf(stderr, "fuzz target: %s: %s\n", what, detail.c_str());
    abort();
}

} // namespace scratch
