// The registry stand-in keeps each root in a text file in the REGEDIT4 export
// format, so that a store can be read, edited and compared with ordinary tools:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software\Vemlo Software]
//   @="default value"
//   "Text"="C:\\Apps\\"
//   "Count"=dword:0000002a
//   "Blob"=hex:01,02,ff
//   "Path"=hex(2):25,00
//
// Only the POSIX stand-in uses this, never the stub, so it may use the C++
// standard containers: they keep the parser short and obviously bounded.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

namespace posix {

struct RegeditValue {
    std::string name; // empty: the key's default value
    uint32_t type;
    std::vector<unsigned char> data;
};

struct RegeditKey {
    std::string path; // full path, first level is the root, e.g. "HKEY_LOCAL_MACHINE\Software"
    std::vector<RegeditValue> values;
};

struct RegeditStore {
    std::vector<RegeditKey> keys;
    // ASCII-lower-cased path -> index into keys: the registry ignores case.
    std::map<std::string, size_t> index;
};

// Key path for a lookup: ASCII letters lower-cased, as the registry compares.
std::string regeditFoldCase(const std::string& text);

// Whether the format can hold a key at `path`: not empty, no empty level, no
// line break and no leading '-' (the format's deletion marker).
bool regeditPathHoldable(const std::string& path);

// The key at `path` (case ignored), or null.
RegeditKey* regeditFindKey(RegeditStore& store, const std::string& path);

// The key at `path`, created with every missing ancestor when absent; newly
// made levels keep the case given here. *created tells whether anything was
// added. Null for a path the format cannot hold.
RegeditKey* regeditAddKey(RegeditStore& store, const std::string& path, bool* created);

// The value named `name` (case ignored; "" is the default value), or null.
RegeditValue* regeditFindValue(RegeditKey& key, const char* name);

// Stores a value, replacing one of the same name (whose case is kept).
void regeditSetValue(RegeditKey& key, const char* name, uint32_t type, const unsigned char* data,
                     size_t size);

// Reads REGEDIT4 text into `store` (which is cleared first). False only when
// the text does not begin with the REGEDIT4 signature line; lines that make no
// sense are skipped. Never reads outside [text, text + length).
bool parseRegedit(const char* text, size_t length, RegeditStore& store);

// The REGEDIT4 text for `store`, keys in tree order (parents first, case
// ignored), values in the order they were first set.
std::string serializeRegedit(const RegeditStore& store);

} // namespace posix
