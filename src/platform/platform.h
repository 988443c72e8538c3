// The operating-system layer: every call the logic makes to the OS goes
// through these plain functions. Their semantics are those of the Win32 calls
// they are named after; src/platform/win32 forwards to Win32, src/platform/posix
// is a stand-in that maps Windows-style paths onto the host file system, and
// tests may link a fake that fails chosen calls.
//
// Texts are 8-bit ANSI strings; paths use the backslash as separator.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace platform {

// ---- Process -------------------------------------------------------------

// IsDBCSLeadByte for the ANSI code page.
bool isDbcsLeadByte(unsigned char c);

// CreateProcessA(applicationName, NULL, NULL, NULL, FALSE, 0, NULL, NULL,
// {cb = 68}, &pi). The handles received are neither used nor closed.
bool createProcess(const char* applicationName);

// ---- Module resources ------------------------------------------------------

// FindResourceA(NULL, MAKEINTRESOURCE(id), type), SizeofResource,
// LoadResource, LockResource. A missing resource yields no bytes and size 0.
struct ResourceBytes {
    const unsigned char* bytes;
    uint32_t size;
};
ResourceBytes loadResource(const char* type, uint16_t id);
// Tells the system that the resource's pages will not be read again, so
// they leave the process's resident memory; the bytes stay valid.
void releaseResource(ResourceBytes resource);

// ---- Memory ----------------------------------------------------------------

// Heap blocks for payload data; null when the block cannot be had.
void* allocateMemory(size_t size);
// Grows or shrinks a block, keeping its contents; null (and the old block
// untouched) when it cannot. A null block is allocated afresh.
void* reallocateMemory(void* block, size_t size);
void freeMemory(void* block);

// ---- Files and directories ---------------------------------------------------

// GetTempPathA: the length copied (without terminator), 0 on failure. The
// path ends in a backslash.
uint32_t getTempPath(uint32_t bufferLength, char* buffer);

// GetTempFileNameA with unique number 0: makes a unique name
// "<dir>\<prefix><hex>.tmp", creates the empty file exclusively and returns
// the number used; 0 on failure. `out` holds 260 bytes.
uint32_t getTempFileName(const char* directory, const char* prefix, uint32_t unique, char* out);

// A plain file handle (CreateFileA). Null is the invalid handle value.
typedef struct FileObject* FileHandle;

// CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL).
FileHandle createFileForWriting(const char* path);
// WriteFile: true when the call succeeded; *written receives the count.
bool writeFile(FileHandle file, const void* data, uint32_t size, uint32_t* written);
bool closeFile(FileHandle file);

// DeleteFileA.
bool deleteFile(const char* path);
// CreateDirectoryA(path, NULL): false also when it exists already.
bool createDirectory(const char* path);

// FindFirstFileA / FindClose. Null is the invalid handle value.
typedef struct FindObject* FindHandle;
FindHandle findFirstFile(const char* pattern);
bool findClose(FindHandle find);

// GetLastError.
uint32_t getLastError();

// ---- Buffered byte streams (the C library's FILE over a mapped path) -------

typedef struct StreamObject* Stream;
enum SeekOrigin { kSeekSet = 0, kSeekEnd = 2 };

// fopen with "rb", "wb+" or "rb+"; null on failure.
Stream openStream(const char* path, const char* mode);
// fread / fwrite: the number of whole items moved.
size_t readStream(void* buffer, size_t itemSize, size_t count, Stream stream);
size_t writeStream(const void* buffer, size_t itemSize, size_t count, Stream stream);
// fseek / ftell, 64-bit; seekStream is true on success, tellStream is -1 on failure.
bool seekStream(Stream stream, int64_t offset, SeekOrigin origin);
int64_t tellStream(Stream stream);
bool closeStream(Stream stream);

// ---- Registry ----------------------------------------------------------------

typedef struct RegistryKeyObject* RegistryKey;
enum RegistryRoot { kHkeyLocalMachine, kHkeyCurrentUser };

// The predefined key of a root (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER).
RegistryKey rootKey(RegistryRoot root);

constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;

constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegDwordBigEndian = 5;
constexpr uint32_t kRegMultiSz = 7;

// RegCreateKeyExA(root, subKey, 0, NULL, 0, access, NULL, &key, NULL): every
// missing level is created. Returns the status (0 = success); *key is set on
// success and left alone otherwise.
long regCreateKey(RegistryKey root, const char* subKey, uint32_t access, RegistryKey* key);
// RegQueryValueExA(key, name, NULL, type, data, size). With data null only
// the type and size are reported. Status 0 = success.
long regQueryValue(RegistryKey key, const char* valueName, uint32_t* type, unsigned char* data,
                   uint32_t* size);
// RegSetValueExA(key, name, 0, type, data, size).
long regSetValue(RegistryKey key, const char* valueName, uint32_t type, const unsigned char* data,
                 uint32_t size);
long regCloseKey(RegistryKey key);

// ---- Shell -------------------------------------------------------------------

constexpr int kCsidlPrograms = 0x0002;
constexpr int kCsidlDesktopDirectory = 0x0010;

// SHGetSpecialFolderLocation(NULL, csidl, &pidl) then
// SHGetPathFromIDListA(pidl, out); the item list is released. `out` holds
// 260 bytes and is left as it was when the folder cannot be located.
bool getSpecialFolderPath(int csidl, char* out);

constexpr int32_t kShcneAssocChanged = 0x08000000;
constexpr uint32_t kShcnfFlush = 0x1000;
// SHChangeNotify(event, flags, NULL, NULL).
void changeNotify(int32_t event, uint32_t flags);

// Sleep.
void sleepMilliseconds(uint32_t milliseconds);

// ---- COM and the shell's link object -------------------------------------------

// CoInitialize(NULL).
void comInitialize();

typedef struct ShellLinkObject* ShellLink;
typedef struct PersistFileObject* PersistFile;

// CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER,
// IID_IShellLinkA): the HRESULT; *link set when it succeeds (>= 0).
long createShellLink(ShellLink* link);
long shellLinkSetPath(ShellLink link, const char* path);
long shellLinkSetDescription(ShellLink link, const char* description);
// QueryInterface(IID_IPersistFile).
long shellLinkQueryPersistFile(ShellLink link, PersistFile* persist);
void shellLinkRelease(ShellLink link);
// IPersistFile::Save(path, remember).
long persistFileSave(PersistFile persist, const uint16_t* path, bool remember);
void persistFileRelease(PersistFile persist);

// MultiByteToWideChar(CP_ACP, 0, text, -1, out, outLength): the count of
// UTF-16 units written, terminator included; 0 on failure.
int multiByteToWideChar(const char* text, uint16_t* out, int outLength);

} // namespace platform
