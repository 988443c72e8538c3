// The install target as the command line gives it, made ready for the
// install before anything else is touched.
#pragma once

// Refuses a target that names no directory (empty, or blanks only) or does
// not fit every path made from it, makes a relative one absolute in place
// (from the current directory, as any Windows program reads a relative
// path; the registry must never record a path that means nothing later),
// then makes sure it exists, creating it level by level. False: exit code 3.
// `target` holds 260 bytes.
bool prepareInstallTarget(char* target, bool targetTooLong);
