// The process exit codes: the stub's only report. The first failure wins.
#pragma once

enum ExitCode : int {
    kExitSuccess = 1,
    // Success of a described setup, unless its description asks for 1.
    kExitDescribedSuccess = 0,
    kExitTargetDirectory = 3, // install mode: target missing and cannot be created
    kExitTempDirectory = 4,   // the temporary directory cannot be obtained
    kExitTempFileName = 5,    // a temporary name cannot be obtained
    kExitTempFileCreate = 7,  // the first temporary file cannot be created
    kExitArchiveOpen = 8,     // the second temporary file cannot be opened
    kExitArchiveCorrupt = 9,  // no package magic, or a record that cannot be read whole
    kExitRegistryWrite = 10,  // a required registry value could be written under no root
    kExitShortcut = 12,       // a requested shortcut step failed
    kExitEntryOutput = 14,    // an entry's output file cannot be created
    kExitEntryStart = 14,     // the designated entry could not be started
};
