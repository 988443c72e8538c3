// Every operation of platform.h as one list, so that the forwarding layers
// (the POSIX binding and the tests' fake) are generated rather than written
// out twice. X(result, name, parameters, arguments, failure value).
#pragma once

#include "platform/platform.h"

#define VEM_PLATFORM_OPERATIONS(X)                                                                 \
    X(bool, isDbcsLeadByte, (unsigned char c), (c), false)                                         \
    X(bool, createProcess, (const char* applicationName), (applicationName), false)                \
    X(platform::ResourceBytes, loadResource, (const char* type, uint16_t id), (type, id),          \
      (platform::ResourceBytes{nullptr, 0}))                                                       \
    X(void, releaseResource, (platform::ResourceBytes resource), (resource), (void)0)              \
    X(void*, allocateMemory, (size_t size), (size), nullptr)                                       \
    X(void*, reallocateMemory, (void* block, size_t size), (block, size), nullptr)                 \
    X(void, freeMemory, (void* block), (block), (void)0)                                           \
    X(uint32_t, getTempPath, (uint32_t bufferLength, char* buffer), (bufferLength, buffer), 0u)    \
    X(uint32_t, getTempFileName,                                                                   \
      (const char* directory, const char* prefix, uint32_t unique, char* out),                     \
      (directory, prefix, unique, out), 0u)                                                        \
    X(platform::FileHandle, createFileForWriting, (const char* path), (path), nullptr)             \
    X(bool, writeFile,                                                                             \
      (platform::FileHandle file, const void* data, uint32_t size, uint32_t* written),             \
      (file, data, size, written), false)                                                          \
    X(bool, closeFile, (platform::FileHandle file), (file), false)                                 \
    X(bool, deleteFile, (const char* path), (path), false)                                         \
    X(bool, createDirectory, (const char* path), (path), false)                                    \
    X(platform::FindHandle, findFirstFile, (const char* pattern), (pattern), nullptr)              \
    X(bool, findClose, (platform::FindHandle find), (find), false)                                 \
    X(uint32_t, getLastError, (), (), 0u)                                                          \
    X(platform::Stream, openStream, (const char* path, const char* mode), (path, mode), nullptr)   \
    X(size_t, readStream, (void* buffer, size_t itemSize, size_t count, platform::Stream stream),  \
      (buffer, itemSize, count, stream), size_t{0})                                                \
    X(size_t, writeStream,                                                                         \
      (const void* buffer, size_t itemSize, size_t count, platform::Stream stream),                \
      (buffer, itemSize, count, stream), size_t{0})                                                \
    X(bool, seekStream, (platform::Stream stream, int64_t offset, platform::SeekOrigin origin),    \
      (stream, offset, origin), false)                                                             \
    X(int64_t, tellStream, (platform::Stream stream), (stream), int64_t{-1})                       \
    X(bool, closeStream, (platform::Stream stream), (stream), false)                               \
    X(platform::RegistryKey, rootKey, (platform::RegistryRoot root), (root), nullptr)              \
    X(long, regCreateKey,                                                                          \
      (platform::RegistryKey root, const char* subKey, uint32_t access,                            \
       platform::RegistryKey* key),                                                                \
      (root, subKey, access, key), 5L)                                                             \
    X(long, regQueryValue,                                                                         \
      (platform::RegistryKey key, const char* valueName, uint32_t* type, unsigned char* data,      \
       uint32_t* size),                                                                            \
      (key, valueName, type, data, size), 2L)                                                      \
    X(long, regSetValue,                                                                           \
      (platform::RegistryKey key, const char* valueName, uint32_t type, const unsigned char* data, \
       uint32_t size),                                                                             \
      (key, valueName, type, data, size), 5L)                                                      \
    X(long, regCloseKey, (platform::RegistryKey key), (key), 6L)                                   \
    X(bool, getSpecialFolderPath, (int csidl, char* out), (csidl, out), false)                     \
    X(void, changeNotify, (int32_t event, uint32_t flags), (event, flags), (void)0)                \
    X(void, sleepMilliseconds, (uint32_t milliseconds), (milliseconds), (void)0)                   \
    X(void, comInitialize, (), (), (void)0)                                                        \
    X(long, createShellLink, (platform::ShellLink * link), (link), -2147221164L)                   \
    X(long, shellLinkSetPath, (platform::ShellLink link, const char* path), (link, path),          \
      -2147467259L)                                                                                \
    X(long, shellLinkSetDescription, (platform::ShellLink link, const char* description),          \
      (link, description), -2147467259L)                                                           \
    X(long, shellLinkQueryPersistFile,                                                             \
      (platform::ShellLink link, platform::PersistFile * persist), (link, persist), -2147467262L)  \
    X(void, shellLinkRelease, (platform::ShellLink link), (link), (void)0)                         \
    X(long, persistFileSave, (platform::PersistFile persist, const uint16_t* path, bool remember), \
      (persist, path, remember), -2147467259L)                                                     \
    X(void, persistFileRelease, (platform::PersistFile persist), (persist), (void)0)               \
    X(int, multiByteToWideChar, (const char* text, uint16_t* out, int outLength),                  \
      (text, out, outLength), 0)
