// The operating-system layer: every call the logic makes to the OS goes
// through the operations declared in platform/operations.def. Their
// semantics are those of the Win32 calls they are named after. They are
// bound through one table, `platform::operations`, which starts out holding
// the real implementation of the build: src/platform/win32 forwards to
// Win32, src/platform/posix is a stand-in that maps Windows-style paths onto
// the host file system. Tests and fuzzers replace entries by name
// (`platform::operations.openStream = ...`) to fail, watch or fence calls.
//
// This header holds the records, handles and constants the operations use.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace platform {

// FindResourceA ... LockResource: a missing resource yields no bytes, size 0.
struct ResourceBytes {
    const unsigned char* bytes;
    uint32_t size;
};

// A plain file handle (CreateFileA). Null is the invalid handle value.
typedef struct FileObject* FileHandle;

// A search handle (FindFirstFileA). Null is the invalid handle value.
typedef struct FindObject* FindHandle;

typedef struct StreamObject* Stream;

// A thread doing work beside the main one. Null when none was started.
typedef struct WorkerObject* Worker;

// An auto-reset event between two threads. Null when none was made.
typedef struct SignalObject* Signal;

enum SeekOrigin { kSeekSet = 0, kSeekEnd = 2 };

typedef struct RegistryKeyObject* RegistryKey;
enum RegistryRoot { kHkeyLocalMachine, kHkeyCurrentUser };

constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;

constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegDwordBigEndian = 5;
constexpr uint32_t kRegMultiSz = 7;

// GetLastError codes that the logic tells apart.
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorBadExeFormat = 193;
constexpr uint32_t kErrorElevationRequired = 740;

// SetErrorMode: no "insert a disk" box, no "file not found" box.
constexpr uint32_t kSemFailCriticalErrors = 0x0001;
constexpr uint32_t kSemNoOpenFileErrorBox = 0x8000;

// GetFileAttributesA.
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kFileAttributeReparsePoint = 0x400;

constexpr int kCsidlPrograms = 0x0002;
constexpr int kCsidlDesktopDirectory = 0x0010;
constexpr int kCsidlCommonPrograms = 0x0017;
constexpr int kCsidlCommonDesktopDirectory = 0x0019;
constexpr int kCsidlLocalAppData = 0x001c;
constexpr int kCsidlProgramFiles = 0x0026;

constexpr int32_t kShcneAssocChanged = 0x08000000;
constexpr uint32_t kShcnfFlush = 0x1000;

// The link object's IShellLinkA and IPersistFile interfaces.
typedef struct ShellLinkObject* ShellLink;
typedef struct PersistFileObject* PersistFile;

// One entry per operation.
struct Operations {
#define VEM_OPERATION(result, name, parameters, failure) result(*name) parameters;
#include "platform/operations.def"
#undef VEM_OPERATION
};

// The table in force; defined, full of the real implementation, by
// operations_win32.cpp or operations_posix.cpp.
extern Operations operations;

// The logic calls `platform::createDirectory(path)`: each name is a
// reference to its entry, resolved at compile time, so a call costs one
// indirect call and nothing more.
#define VEM_OPERATION(result, name, parameters, failure)                                           \
    inline result(*&name) parameters = operations.name;
#include "platform/operations.def"
#undef VEM_OPERATION

} // namespace platform
