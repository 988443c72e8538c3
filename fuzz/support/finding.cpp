#include "support/finding.h"

#include <stdio.h>
#include <stdlib.h>

namespace finding {

void fail(const char* what, const std::string& detail) {
    fprintf(stderr, "fuzz target: %s: %s\n", what, detail.c_str());
    abort();
}

} // namespace finding
