// The table of operations, filled with the Win32 implementation.
#include "platform/platform.h"

namespace platform::win32 {
#define VEM_OPERATION(result, name, parameters, failure) result name parameters;
#include "platform/operations.def"
#undef VEM_OPERATION
} // namespace platform::win32

platform::Operations platform::operations = {
#define VEM_OPERATION(result, name, parameters, failure) platform::win32::name,
#include "platform/operations.def"
#undef VEM_OPERATION
};
