// Scratch directories, whole files and environment variables for tests and
// fuzz targets. Nothing here depends on a test framework: failures throw
// std::runtime_error, which a test reports and a fuzz target turns into an
// abort.
#pragma once

#include <deque>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A fresh directory under $VEMSETUP_TEST_TMP, else $TMPDIR, else /tmp, its
// path resolved so that no symbolic link is part of it; removed with
// everything in it when the object goes.
class ScopedTempDir {
  public:
    explicit ScopedTempDir(const char* tag = "vemtest");
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Sets one variable for the lifetime of the object, then puts it back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::string old_;
    bool had_;
};

// Everything a run of the stub touches, pointed into `root`: TMPDIR at
// root/temp (made here), the registry stores and start menu under
// root/data, the desktop at root/Desktop (made here), HOME at root. As
// "NAME=value" texts for a child process.
std::vector<std::string> runEnvironment(const std::string& root);

// The same for this process, for the lifetime of the object.
class ScopedRunEnvironment {
  public:
    explicit ScopedRunEnvironment(const ScopedTempDir& root);

  private:
    std::deque<ScopedEnv> variables_;
};

void writeBytes(const std::string& path, const Bytes& bytes);
Bytes readBytes(const std::string& path);
Bytes toBytes(const std::string& text);
bool fileExists(const std::string& path); // symbolic links count, followed or not
bool isDirectory(const std::string& path);
void makeDirectory(const std::string& path);
void removeTree(const std::string& path);
// Names in a directory, sorted, without "." and "..".
std::vector<std::string> listDirectory(const std::string& path);
// Every path under `root`, relative to it and sorted, with a '/' after each
// directory; symbolic links are listed, not followed.
std::vector<std::string> listTree(const std::string& root);
