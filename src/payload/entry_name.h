// Decides whether an archive entry's name stays inside the destination.
#pragma once

// False for a name that is empty, absolute, drive-qualified, climbs with
// "..", names an alternate data stream or a device (CON, NUL, COM1 ...), or
// holds a character that Windows refuses in file names. Names with inner
// levels ("docs\a.txt") are accepted; both '\' and '/' separate levels,
// because Windows treats them alike.
bool isSafeEntryName(const char* name);
