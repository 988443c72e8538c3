// Binds the platform operations to the POSIX stand-in.
#include "platform/posix/posix_impl.h"

#define VEM_FORWARD(result, name, parameters, arguments, failure)                                  \
    result platform::name parameters {                                                             \
        return posix::name arguments;                                                              \
    }
VEM_PLATFORM_OPERATIONS(VEM_FORWARD)
#undef VEM_FORWARD
