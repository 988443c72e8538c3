// Fuzzes the REGEDIT4 reader of the registry stand-in: whatever text it
// accepts must come back from its own writer as text that reads back to
// the same keys and values and is written out again unchanged.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "platform/posix/regedit_format.h"
#include "support/scratch.h"

namespace {

bool sameValues(const posix::RegeditKey& a, const posix::RegeditKey& b) {
    if (a.path != b.path || a.values.size() != b.values.size()) {
        return false;
    }
    for (size_t i = 0; i < a.values.size(); ++i) {
        const posix::RegeditValue& x = a.values[i];
        const posix::RegeditValue& y = b.values[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    posix::RegeditStore parsed;
    if (!posix::parseRegedit(reinterpret_cast<const char*>(data), size, parsed)) {
        return 0;
    }
    const std::string written = posix::serializeRegedit(parsed);

    posix::RegeditStore reread;
    if (!posix::parseRegedit(written.data(), written.size(), reread)) {
        scratch::fail("the writer's own text is refused", written);
    }
    if (reread.keys.size() != parsed.keys.size()) {
        scratch::fail("keys were lost or added on the way", written);
    }
    for (posix::RegeditKey& key : parsed.keys) {
        const posix::RegeditKey* again = posix::regeditFindKey(reread, key.path);
        if (again == nullptr || !sameValues(key, *again)) {
            scratch::fail("a key reads back differently", key.path);
        }
    }
    if (posix::serializeRegedit(reread) != written) {
        scratch::fail("writing the text read back is not stable", written);
    }
    return 0;
}
