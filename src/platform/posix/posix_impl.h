// The POSIX stand-in: one function in namespace posix for each platform
// operation, with the same signature. bind_posix.cpp forwards to them; the
// tests' fake wraps them.
#pragma once

#include "platform/platform_operations.h"

namespace posix {
#define VEM_DECLARE(result, name, parameters, arguments, failure) result name parameters;
VEM_PLATFORM_OPERATIONS(VEM_DECLARE)
#undef VEM_DECLARE
} // namespace posix
