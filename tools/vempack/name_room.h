// Whether an entry name leaves room for the folder a setup unpacks it into.
#pragma once

#include <cstddef>
#include <string>

namespace vempack {

// Windows' path limit for the ANSI calls the stub makes, terminator excluded.
constexpr std::size_t kMaxPathLength = 259;
// C:\Users\<name>\AppData\Local\Temp\vemXXXX.tmp\ with a user name of about
// twenty characters: where an extract usually unpacks.
constexpr std::size_t kUsualWorkDirectoryLength = 60;
// The shortest folder any entry can land in: a drive's root, "C:\".
constexpr std::size_t kShortestDestinationLength = 3;

// Characters left for the destination folder (its final backslash
// included) by a stored name of `nameLength` bytes; negative when none.
long destinationRoom(std::size_t nameLength);

// Refuses a name that no destination could hold, and warns about one that
// a usual work directory cannot: its extract would fail there. `shown` is
// the name as messages show it, `path` the host file.
void checkNameRoom(const std::string& stored, const std::string& shown, const std::string& path);

} // namespace vempack
