// A fresh directory per test, used as TMPDIR and removed afterwards.
#pragma once

#include <string>
#include <vector>

#include "test_payloads.h"

class ScopedTempDir {
  public:
    ScopedTempDir();
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Points TMPDIR at a directory for the lifetime of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();

  private:
    std::string name_;
    std::string old_;
    bool had_;
};

// Points everything a run of the stub touches into `root`: TMPDIR at
// root/temp (made here), the registry stores and start menu under root/data,
// the desktop at root/Desktop, HOME at root.
class ScopedRunEnvironment {
  public:
    explicit ScopedRunEnvironment(const ScopedTempDir& root);

  private:
    ScopedEnv temp_, data_, desktop_, home_;
};

void writeBytes(const std::string& path, const Bytes& bytes);
Bytes readBytes(const std::string& path);
bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
// Names in a directory, sorted, without "." and "..".
std::vector<std::string> listDirectory(const std::string& path);
