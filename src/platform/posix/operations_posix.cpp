// The table of operations, filled with the POSIX stand-in.
#include "platform/posix/posix_impl.h"

platform::Operations platform::operations = {
#define VEM_OPERATION(result, name, parameters, failure) posix::name,
#include "platform/operations.def"
#undef VEM_OPERATION
};
